#!/usr/bin/env bash
# A new user's first two sessions with the real brevalto-pro, driven only by
# the mouse and the keyboard (xdotool) on a private Xvfb display, with SANE's
# virtual "test" scanner:
#
#   preview, pick "A5 ", drag the frame's corner, choose 100 dpi, JPEG, a file
#   name and a destination that does not exist yet (answer Yes to create it),
#   scan, open the page in the viewer and close it, rename it, scan a second
#   page and delete it with Del, switch the units to millimetres and keep the
#   choices in the preferences (OK with Enter), try the dialog once more and
#   leave it with Esc, leave through File > Exit;
#   then start again and scan through File > Sca&n, which must use the choices
#   the first session left behind.
#
# Everything is checked on disk: the pages in the destination folder, their
# format and size, and the preferences file. A screenshot of every step goes to
# the folder given as second argument.
#
# Usage: new-user-session.sh <brevalto-pro> <screenshot folder>
set -uo pipefail
exe=$1
shots=$2

command -v file >/dev/null || { echo "FAILED: file is not installed (see tools/setup.sh)"; exit 1; }

# The shared X session: a private display, a new user's folders, SANE's
# virtual scanner with its colour bars; here without a window manager.
# shellcheck source=tests/screen/screen-lib.sh
. "$(dirname "$0")/../screen/screen-lib.sh"
start_display none

dest="$work/Scans/June"  # its parent exists, the folder itself not yet
mkdir -p "$work/Scans"

# The window's part of the screen only.
shot() { import -window root -crop 800x600+0+0 +repage "$shots/$1.png" 2>/dev/null; }

# Opens a drop-down list with a click, types the start of an item as a user
# picking with the keyboard would, and takes it with Enter.
pick() {
  local x=$1 y=$2 text=$3 before
  before=$(open_windows)
  click "$x" "$y"
  wait_for 5 '[ "$(open_windows)" -gt "$before" ]' || fail "the list at $x,$y did not open"
  xdotool type --delay 60 "$text"
  xdotool key Return
  wait_for 5 '[ "$(open_windows)" -eq "$before" ]' || fail "the list at $x,$y did not close after picking '$text'"
}

# Opens a menu of the menu bar with a click and clicks one of its items.
menu_click() {
  local before
  before=$(open_windows)
  click $(at $1 $2)
  wait_for 5 '[ "$(open_windows)" -gt "$before" ]' || fail "the menu at $1,$2 did not open"
  click $(at $3 $4)
}

# Without a window manager nobody gives the focus back to the main window when
# a dialog closes; a desktop would.
focus_main() { xdotool windowfocus --sync "$main" 2>/dev/null; sleep 0.1; }

# The files of a folder matching a pattern, one a line.
files() { find "$1" -maxdepth 1 -type f -name "$2" -printf '%f\n' 2>/dev/null | sort; }
count() { files "$1" "$2" | grep -c .; }

# A file is complete once `file` calls it a JPEG and its size stays put.
jpeg_done() {
  local a b
  file -b "$1" | grep -q '^JPEG image data' || return 1
  a=$(stat -c %s "$1"); sleep 0.1; b=$(stat -c %s "$1")
  [ "$a" = "$b" ]
}
jpeg_size() { file -b "$1" | grep -o ', [0-9]*x[0-9]*,' | tr -d ', '; }

expect_stored() {
  local got
  got=$(stored "$1")
  [ "$got" = "$2" ] || fail "preference $1 is '$got', expected '$2'"
}

near() { local d=$(($1 - $2)); [ ${d#-} -le "$3" ]; }

# Without a window manager the client sits where xdotool says.
start_program() {
  "$exe" >>"$work/app.log" 2>&1 &
  app_pid=$!
  wait_for 15 '[ -n "$(window "^Brevalto Pro$")" ]' || fail "the main window never appeared"
  main=$(window "^Brevalto Pro$")
  # Where the window sits; every position below is relative to it.
  eval "$(xdotool getwindowgeometry --shell "$main")"
  wx=$X wy=$Y
  [ "$WIDTH" -ge 790 ] && [ "$HEIGHT" -ge 552 ] || fail "main window is ${WIDTH}x${HEIGHT}, smaller than its design size"
  sleep 0.3
}

# Positions in the main window, from its layout: the left column is 253 pixels
# wide, the middle one 344; inside the "Preview" group the pane (279 x 422)
# starts after the left ruler and below the top ruler (at() takes them).
size_combo=$(echo 160 209) resolution_combo=$(echo 160 181) format_combo=$(echo 160 305)
file_name_field=$(echo 150 277) destination_field=$(echo 140 333)
preview_button=$(echo 38 381) scan_button=$(echo 120 381)
pane_x=286 pane_y=67
list_first=$(echo 658 97) list_pitch=120  # the list's first icon and its grid
rename_button=$(echo 649 37)
settings_menu=$(echo 65 8) preferences_item=$(echo 100 29)
# In the settings dialog, from its fixed positions.
units_combo=$(echo 168 75) save_box=$(echo 30 129)

pane() { at $((pane_x + $1)) $((pane_y + $2)); }

began=$(date +%s)

# ---------------------------------------------------------------------------
step=01-first-start
start_program
shot "$step"

step=02-preview
# The pane shows grey until the preview is drawn.
blank=$(pixel $(pane 140 140))
click $(at $preview_button)
wait_for 15 '[ -s "$TEMP/Brevalto.bmp" ]' || fail "no preview file $TEMP/Brevalto.bmp"
wait_for 15 '[ "$(pixel $(pane 140 140))" != "$blank" ]' || fail "the preview never appeared in the pane"
bed_width=$(file -b "$TEMP/Brevalto.bmp" | grep -o '[0-9]* x [0-9]*' | head -n1 | cut -d' ' -f1)
[ -n "$bed_width" ] && [ "$bed_width" -gt 0 ] || fail "the preview file is no bitmap: $(file -b "$TEMP/Brevalto.bmp")"
sleep 0.2
shot "$step"

# Pane pixels per inch after the preview: the bed's width fills the pane's 279.
step=03-size-A5
pick $(at $size_combo) "A5"
shot "$step"

step=04-drag-frame
# A5 is 5.8 x 8.3 in; its bottom-right handle, and where the user drops it.
read -r hx hy < <(awk -v w="$bed_width" 'BEGIN { s = 279 / w * 100; printf "%d %d\n", 5.8 * s - 1, 8.3 * s - 1 }')
to_x=140 to_y=200
xdotool mousemove --sync $(pane "$hx" "$hy") mousedown 1
for f in 1 2 3 4; do
  xdotool mousemove --sync $(pane $((hx + (to_x - hx) * f / 4)) $((hy + (to_y - hy) * f / 4)))
  sleep 0.05
done
xdotool mouseup 1
sleep 0.2
shot "$step"

step=05-choices
pick $(at $resolution_combo) "100"
pick $(at $format_combo) "J"
click $(at $file_name_field); xdotool key ctrl+a; xdotool type --delay 20 "letter"
click $(at $destination_field); xdotool key ctrl+a; xdotool type --delay 10 "$dest"
sleep 0.2
shot "$step"

step=06-scan
click $(at $scan_button)
wait_for 10 '[ -n "$(window "^Destination directory$")" ]' || fail "no question about creating $dest"
shot "$step-question"
xdotool key Return  # Yes
wait_for 20 '[ "$(count "$dest" "letter_*.jpg")" -eq 1 ]' || fail "no letter_*.jpg in $dest: $(ls -A "$dest" 2>&1)"
page1="$dest/$(files "$dest" "letter_*.jpg")"
wait_for 10 'jpeg_done "$page1"' || fail "$page1 is no JPEG: $(file -b "$page1")"
# The dropped frame is 140 x 200 pane pixels; at 100 dpi, like the preview,
# that is 140 x 200 pixels of the bed's width over the pane's 279 (SANE's test
# scanner rounds the area to whole millimetres: up to 4 pixels).
read -r want_w want_h < <(awk -v w="$bed_width" -v x="$to_x" -v y="$to_y" 'BEGIN { printf "%d %d\n", x * w / 279, y * w / 279 }')
got=$(jpeg_size "$page1")
near "${got%x*}" "$want_w" 5 && near "${got#*x}" "$want_h" 5 ||
  fail "the page is $got pixels; the dropped frame asks for about ${want_w}x${want_h}"
wait_for 10 '[ "$(pixel $(at $list_first))" != "#FFFFFF" ]' || fail "the page never showed in the list"
shot "$step"

step=07-viewer
xdotool mousemove --sync $(at $list_first) click --repeat 2 --delay 80 1
wait_for 10 '[ -n "$(window "^Previewing\.\.\. letter_.*\.jpg$")" ]' || fail "a double click on the page did not open the viewer"
sleep 0.3
shot "$step"
xdotool key Escape
wait_for 5 'gone "^Previewing"' || fail "Esc did not close the viewer"
[ -n "$(stored PWidth)" ] || fail "the viewer did not store its size when it closed"

step=08-rename
focus_main
click $(at $list_first)
sleep 0.2
click $(at $rename_button)
sleep 0.5
xdotool key ctrl+a
xdotool type --delay 20 "june-letter.jpg"
shot "$step"
xdotool key Return
wait_for 5 '[ -f "$dest/june-letter.jpg" ] && [ ! -e "$page1" ]' || fail "not renamed: $(ls -A "$dest")"

step=09-second-page
click $(at $scan_button)
wait_for 20 '[ "$(count "$dest" "letter_*.jpg")" -eq 1 ]' || fail "no second page in $dest: $(ls -A "$dest")"
page2="$dest/$(files "$dest" "letter_*.jpg")"
wait_for 10 'jpeg_done "$page2"' || fail "$page2 is no JPEG"
read -r lx ly <<<"$list_first"
second=$(at "$lx" $((ly + list_pitch)))
wait_for 10 '[ "$(pixel $second)" != "#FFFFFF" ]' || fail "the second page never showed in the list"
shot "$step"

step=10-delete
click $second
sleep 0.2
xdotool key Delete
wait_for 5 '[ -n "$(window "^Image deleting$")" ]' || fail "Del did not ask whether to delete the page"
shot "$step"
xdotool key Return  # Yes
wait_for 5 '[ ! -e "$page2" ]' || fail "Del and Yes did not delete $page2"
[ -f "$dest/june-letter.jpg" ] || fail "deleting the second page took the first one as well"

step=11-preferences
focus_main
menu_click $settings_menu $preferences_item
wait_for 5 '[ -n "$(window "^Settings$")" ]' || fail "Settings > Preferences... did not open the dialog"
dialog=$(window "^Settings$")
eval "$(xdotool getwindowgeometry --shell "$dialog")"
pick $((X + ${units_combo% *})) $((Y + ${units_combo#* })) "(mm"
click $((X + ${save_box% *})) $((Y + ${save_box#* }))
sleep 0.2
shot "$step"
xdotool key Return  # OK
wait_for 5 'gone "^Settings"' || fail "Enter did not close the settings dialog"
expect_stored Units 1
expect_stored Save 1

step=12-preferences-esc
# Alt+S, P opens it again; a change left with Esc is forgotten.
focus_main
keys_menu alt+s p
wait_for 5 '[ -n "$(window "^Settings$")" ]' || fail "Alt+S, P did not open the dialog"
dialog=$(window "^Settings$")
eval "$(xdotool getwindowgeometry --shell "$dialog")"
pick $((X + ${units_combo% *})) $((Y + ${units_combo#* })) "(in"
shot "$step"
xdotool key Escape
wait_for 5 'gone "^Settings"' || fail "Esc did not close the settings dialog"
expect_stored Units 1

step=13-exit
end_program
expect_stored Size 0  # the drag made it "Custom"
expect_stored Resolution 1
expect_stored Format 1
expect_stored FileName letter
expect_stored Destination "$dest"
[ -n "$(stored WWidth)" ] || fail "the window size was not stored"

# ---------------------------------------------------------------------------
step=14-second-start
start_program
shot "$step"

step=15-scan-from-menu
focus_main
keys_menu alt+f n
wait_for 20 '[ "$(count "$dest" "letter_*.jpg")" -eq 1 ]' ||
  fail "File > Sca&n did not scan a letter_*.jpg into the restored destination: $(ls -A "$dest")"
page3="$dest/$(files "$dest" "letter_*.jpg")"
wait_for 10 'jpeg_done "$page3"' || fail "$page3 is no JPEG: $(file -b "$page3")"
wait_for 10 '[ "$(pixel $(at $list_first))" != "#FFFFFF" ]' || fail "the page never showed in the list"
shot "$step"

step=16-second-exit
end_program
# The second session changed nothing: what it writes back is what it restored.
expect_stored Units 1
expect_stored Resolution 1
expect_stored Format 1
expect_stored FileName letter
expect_stored Destination "$dest"
[ "$(count "$dest" "*")" -eq 2 ] || fail "expected june-letter.jpg and one new page, found: $(ls -A "$dest")"

echo "new user session passed in $(($(date +%s) - began)) s; screenshots in $shots"
