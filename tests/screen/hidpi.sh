#!/usr/bin/env bash
# The real brevalto-pro scaled by QT_SCALE_FACTOR 2 and 1.5 under openbox:
# the window grows by the factor, clicks at the scaled places of the layout
# reach their controls (the preview appears in the pane, a scanned page in
# the list), and at factor 2 the rulers and the preview are drawn at the
# screen's resolution, not as pictures of half the size blown up into 2 x 2
# blocks.
#
# Usage: hidpi.sh <brevalto-pro> <screenshot folder>
exe=$1
shots=$2
# shellcheck source=tests/screen/screen-lib.sh
. "$(dirname "$0")/screen-lib.sh"

dest="$work/Scans"
mkdir -p "$dest"
printf '[General]\nSave=1\nDestination=%s\nFormat=0\nFileName=page\nResolution=1\n' "$dest" >"$conf"

# Room for the whole window at factor 2 (1580 x 1104 and its frame).
start_display openbox 1920x1200

# A crop of the screen made only of 2 x 2 blocks is a half-size picture
# enlarged: sampling it down and up again changes nothing.
blocky() {
  import -window root -crop "$1" +repage "$work/crop.png" 2>/dev/null
  convert "$work/crop.png" -sample 50% -sample 200% "$work/blocks.png"
  [ "$(compare -metric AE "$work/crop.png" "$work/blocks.png" null: 2>&1)" = "0" ]
}

for factor in 2 1.5; do
  step=factor-$factor
  rm -f "$TEMP/Brevalto.bmp"
  export QT_SCALE_FACTOR=$factor
  start_program
  unset QT_SCALE_FACTOR
  s() { awk -v v="$1" -v f="$factor" 'BEGIN { printf "%d", v * f }'; }
  near() { local d=$(($1 - $2)); [ ${d#-} -le 3 ]; }
  near "$ww" "$(s 790)" && near "$wh" "$(s 552)" ||
    fail "at factor $factor the window's client area is ${ww}x${wh}, expected about $(s 790)x$(s 552)"

  # The pane starts at 286, 67 of the client area; the top ruler is the 15
  # rows above it, the left ruler the 15 columns left of it.
  blank=$(pixel $(at "$(s 426)" "$(s 207)"))
  xdotool mousemove --sync $(at "$(s 38)" "$(s 381)") click 1  # Preview
  wait_for 30 '[ -s "$TEMP/Brevalto.bmp" ]' || fail "a click on the scaled Preview button started no preview"
  wait_for 10 '[ "$(pixel $(at "$(s 426)" "$(s 207)"))" != "$blank" ]' || fail "the preview never appeared in the pane"
  sleep 0.5
  shot "$step"
  if [ "$factor" = 2 ]; then
    blocky "$(s 270)x$(s 14)+$((wx + $(s 288)))+$((wy + $(s 51)))" && fail "the top ruler is a half-size picture enlarged"
    blocky "$(s 14)x$(s 400)+$((wx + $(s 270)))+$((wy + $(s 68)))" && fail "the left ruler is a half-size picture enlarged"
    blocky "$(s 200)x$(s 150)+$((wx + $(s 326)))+$((wy + $(s 107)))" && fail "the preview is a half-size picture enlarged"
  fi

  # A page scanned now shows in the list at the scaled place of its thumbnail.
  before=$(ls "$dest" | grep -c .)
  focus_main
  keys_menu alt+f n
  wait_for 30 '[ "$(ls "$dest" | grep -c .)" -gt "$before" ]' || fail "File > Scan wrote no page into $dest"
  wait_for 10 '[ "$(pixel $(at "$(s 658)" "$(s 97)"))" != "#FFFFFF" ]' || fail "the page never showed in the list"
  sleep 0.5
  # (The list draws an enlarged thumbnail smoothly, not in blocks; the
  # thumbnail's own pixels are checked by the thumbnail tests.)
  shot "$step-scanned"
  end_program
done
echo "placed and drawn right at factors 2 and 1.5; screenshots in $shots"
