#!/usr/bin/env bash
# The progress bar in the status bar's second panel, as the screen shows it
# during a slow job of SANE's virtual scanner and after it: some of the bar
# during the job, all of it once the job is done (the bar keeps its value).
# A screenshot of the window in the middle of the job goes to the folder.
#
# Usage: progress-panel.sh <brevalto-pro> <screenshot folder>
exe=$1
shots=$2
# shellcheck source=tests/screen/screen-lib.sh
. "$(dirname "$0")/screen-lib.sh"

# Small reads with a pause after each: a preview of the whole bed takes
# several seconds.
cat >"$SANE_CONFIG_DIR/test.conf" <<'CONF'
test-picture "Color pattern"
read-limit true
read-limit-size 4096
read-delay true
read-delay-duration 30000
CONF

start_display openbox

# Pixels of the bar's filled part in panel 1 (x 250 to 400 of the status bar
# along the window's bottom edge) of the screenshot $1: the style's highlight
# is blue, the rest of the status bar grey or green. The most in any row.
bar_pixels() {
  convert "$1" -crop "146x15+$((wx + 252))+$((wy + wh - 17))" -depth 8 txt:- 2>/dev/null |
    awk '/^[0-9]/ { split($1, at, "[,:]"); split($0, parts, "srgb\\("); split(parts[2], c, "[,)]")
                   if (c[3] > c[1] + 40 && c[3] > c[2]) n[at[2]]++ }
         END { best = 0; for (y in n) if (n[y] > best) best = n[y]; print best }'
}
screen_now() { import -window root "$work/now.png" 2>/dev/null; }

step=before-the-job
start_program
screen_now
before=$(bar_pixels "$work/now.png")
# An empty bar is its frame alone (one pixel of it may be blue).
[ "$before" -le 2 ] || fail "the bar shows $before filled pixels before any job"

step=during-the-job
began=$(date +%s)
xdotool mousemove --sync $(at 38 381) click 1  # Preview
seen=0
for _ in $(seq 1 100); do
  [ -s "$TEMP/Brevalto.bmp" ] && break
  screen_now
  seen=$(bar_pixels "$work/now.png")
  if [ "$seen" -gt 4 ] && [ "$seen" -lt 130 ]; then
    # The window as this screenshot shows it, frame included.
    convert "$work/now.png" -crop "$(window_geometry "$main")" +repage "$shots/during-the-job.png"
    break
  fi
  sleep 0.2
done
[ "$seen" -gt 4 ] || fail "no progress showed in the status bar's second panel during the job"
elapsed=$(($(date +%s) - began))

step=after-the-job
wait_for 60 '[ -s "$TEMP/Brevalto.bmp" ]' || fail "the preview never finished"
sleep 1
screen_now
after=$(bar_pixels "$work/now.png")
shot "$step"
[ "$after" -ge 120 ] || fail "after the job the bar shows $after filled pixels, expected the whole bar"
end_program
echo "the bar showed $seen pixels ${elapsed}s into the job and $after after it; screenshots in $shots"
