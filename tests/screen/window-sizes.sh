#!/usr/bin/env bash
# Window sizes under a reparenting window manager (openbox), as its frames
# measure them: the main window and the viewer come back at the outer size
# they were left at, start after start; a stored size beyond the screen comes
# back no larger than the screen.
#
# Usage: window-sizes.sh <brevalto-pro> <screenshot folder>
exe=$1
shots=$2
# shellcheck source=tests/screen/screen-lib.sh
. "$(dirname "$0")/screen-lib.sh"

dest="$work/Scans"
mkdir -p "$dest"
printf '[General]\nSave=1\nDestination=%s\nFormat=0\nFileName=page\nResolution=0\n' "$dest" >"$conf"

# Scans one page and opens it in the viewer; sets viewer (its client window).
scan_and_view() {
  local before
  before=$(ls "$dest" | grep -c .)
  focus_main
  keys_menu alt+f n
  wait_for 30 '[ "$(ls "$dest" | grep -c .)" -gt "$before" ]' || fail "no page scanned into $dest"
  client_geometry
  wait_for 10 '[ "$(pixel $(at 658 97))" != "#FFFFFF" ]' || fail "the page never showed in the list"
  xdotool mousemove --sync $(at 658 97) click --repeat 2 --delay 80 1
  wait_for 10 '[ -n "$(window "^Previewing")" ]' || fail "a double click on the page did not open the viewer"
  viewer=$(window "^Previewing")
  sleep 1
}
close_viewer() {
  xdotool windowactivate --sync "$viewer" 2>/dev/null
  xdotool key Escape
  wait_for 5 'gone "^Previewing"' || fail "Esc did not close the viewer"
}

start_display openbox
read -r screen_w screen_h < <(xwininfo -root | awk '/^  Width:/ { w = $2 } /^  Height:/ { h = $2 } END { print w, h }')

# ---------------------------------------------------------------------------
step=first-start
start_program
main_outer=$(outer_size "$main")
[ "$main_outer" != "$(size_of "$main")" ] || fail "openbox put no frame around the main window"
scan_and_view
viewer_outer=$(outer_size "$viewer")
shot "$step"
close_viewer
[ "$(stored PWidth)x$(stored PHeight)" = "$viewer_outer" ] ||
  fail "the viewer stored $(stored PWidth)x$(stored PHeight); its frame measured $viewer_outer"
end_program
[ "$(stored WWidth)x$(stored WHeight)" = "$main_outer" ] ||
  fail "the main window stored $(stored WWidth)x$(stored WHeight); its frame measured $main_outer"

for run in second third; do
  step=$run-start
  start_program
  got=$(outer_size "$main")
  [ "$got" = "$main_outer" ] || fail "the main window left at $main_outer came back at $got"
  scan_and_view
  got=$(outer_size "$viewer")
  shot "$step"
  [ "$got" = "$viewer_outer" ] || fail "the viewer left at $viewer_outer came back at $got"
  close_viewer
  end_program
  [ "$(stored WWidth)x$(stored WHeight)" = "$main_outer" ] || fail "stored $(stored WWidth)x$(stored WHeight) this time"
done

# ---------------------------------------------------------------------------
# Sizes far beyond the screen, as a damaged or foreign preferences file may hold.
step=beyond-the-screen
sed -i -e 's/^WWidth=.*/WWidth=40000/' -e 's/^WHeight=.*/WHeight=40000/' \
  -e 's/^PWidth=.*/PWidth=2147483647/' -e 's/^PHeight=.*/PHeight=2147483647/' "$conf"
within_screen() {
  local w=${1%x*} h=${1#*x}
  [ "$w" -le "$screen_w" ] && [ "$h" -le "$screen_h" ]
}
start_program
got=$(outer_size "$main")
within_screen "$got" || fail "WWidth=40000 gave a main window of $got on a ${screen_w}x${screen_h} screen"
began=$(date +%s)
scan_and_view
got=$(outer_size "$viewer")
shot "$step"
within_screen "$got" || fail "PWidth=2147483647 gave a viewer of $got on a ${screen_w}x${screen_h} screen"
close_viewer
end_program
within_screen "$(stored WWidth)x$(stored WHeight)" || fail "stored $(stored WWidth)x$(stored WHeight) again"
within_screen "$(stored PWidth)x$(stored PHeight)" || fail "stored a viewer of $(stored PWidth)x$(stored PHeight) again"

echo "outer sizes kept over three starts ($main_outer, viewer $viewer_outer) and fitted to the screen; screenshots in $shots"
