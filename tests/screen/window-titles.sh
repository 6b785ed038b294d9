#!/usr/bin/env bash
# Every window and message box of the real brevalto-pro, as a reparenting
# window manager (openbox) shows its title: exactly the window's caption,
# with nothing added (no " — Brevalto Pro").
#
# Usage: window-titles.sh <brevalto-pro> <screenshot folder>
exe=$1
shots=$2
# shellcheck source=tests/screen/screen-lib.sh
. "$(dirname "$0")/screen-lib.sh"

dest="$work/Scans"  # does not exist yet: the scan asks whether to create it
printf '[General]\nSave=1\nDestination=%s\nFormat=0\nFileName=page\nResolution=0\n' "$dest" >"$conf"

expect_title() {
  local id got
  id=$(window "$1")
  [ -n "$id" ] || fail "no window titled like '$1'"
  got=$(title_of "$id")
  [ "$got" = "$2" ] || fail "the window manager shows the title '$got', expected exactly '$2'"
  shot "$step"
}

start_display openbox

step=main
start_program
expect_title "^Brevalto Pro" "Brevalto Pro"

step=about
focus_main
keys_menu alt+h o
wait_for 10 '[ -n "$(window "^About Brevalto")" ]' || fail "Help > About did not open the About window"
sleep 0.3
expect_title "^About Brevalto" "About Brevalto"
xdotool key Escape
wait_for 5 'gone "^About Brevalto"' || fail "Esc did not close the About window"

step=settings
focus_main
keys_menu alt+s p
wait_for 10 '[ -n "$(window "^Settings")" ]' || fail "Settings > Preferences did not open the dialog"
sleep 0.3
expect_title "^Settings" "Settings"
xdotool key Escape
wait_for 5 'gone "^Settings"' || fail "Esc did not close the settings dialog"

step=message-box
focus_main
keys_menu alt+f n
wait_for 10 '[ -n "$(window "^Destination directory")" ]' || fail "File > Scan asked nothing about $dest"
sleep 0.3
expect_title "^Destination directory" "Destination directory"
xdotool key Return  # Yes: create it and scan
wait_for 30 'ls "$dest"/page_*.bmp' || fail "no page scanned into $dest"
page=$(basename "$(ls "$dest"/page_*.bmp | head -n1)")

step=viewer
focus_main
client_geometry
wait_for 10 '[ "$(pixel $(at 658 97))" != "#FFFFFF" ]' || fail "the page never showed in the list"
xdotool mousemove --sync $(at 658 97) click --repeat 2 --delay 80 1
wait_for 10 '[ -n "$(window "^Previewing")" ]' || fail "a double click on the page did not open the viewer"
sleep 0.3
expect_title "^Previewing" "Previewing... $page"
xdotool key Escape
wait_for 5 'gone "^Previewing"' || fail "Esc did not close the viewer"

step=exit
end_program
echo "every title reads exactly its caption; screenshots in $shots"
