# The X session the tests of the real brevalto-pro share: a private Xvfb
# display, with or without a reparenting window manager (openbox), and the
# means to judge what the screen and the window manager show: screenshot
# pixels, window titles as the window manager reads them, outer window sizes,
# files.
#
# A test sources this file after setting:
#   exe     the brevalto-pro executable
#   shots   a folder for screenshots (emptied); unset: no screenshots
# and calls start_display [openbox|none] before anything else.
set -uo pipefail

for tool in Xvfb xdotool xprop xwininfo import; do
  command -v "$tool" >/dev/null || { echo "FAILED: $tool is not installed (see tools/setup.sh)"; exit 1; }
done

# A user may have exported another platform (offscreen); these tests look at X.
unset QT_QPA_PLATFORM QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR

work=$(mktemp -d)
shots=${shots:-}
if [ -n "$shots" ]; then
  rm -rf "$shots"
  mkdir -p "$shots"
fi
export HOME=$work XDG_CONFIG_HOME=$work/config TEMP=$work/temp SANE_CONFIG_DIR=$work/sane
mkdir -p "$XDG_CONFIG_HOME/Quellmark" "$TEMP" "$SANE_CONFIG_DIR"
conf="$XDG_CONFIG_HOME/Quellmark/Brevalto Pro.conf"

# SANE's virtual scanner with its colour bars instead of a black sheet, so
# that a page and the screenshots show something.
echo test >"$SANE_CONFIG_DIR/dll.conf"
echo 'test-picture "Color pattern"' >"$SANE_CONFIG_DIR/test.conf"

xvfb_pid="" wm_pid="" app_pid="" step="set-up"
cleanup() {
  [ -n "$app_pid" ] && kill -9 "$app_pid" 2>/dev/null
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

shot() { [ -z "$shots" ] || import -window root "$shots/$1.png" 2>/dev/null; }

fail() {
  echo "FAILED at step '$step': $*"
  shot "FAILED-$step"
  echo "--- program output"
  cat "$work/app.log" 2>/dev/null
  echo "--- preferences"
  cat "$conf" 2>/dev/null
  echo "--- display server (${DISPLAY:-none}, $(kill -0 "$xvfb_pid" 2>/dev/null && echo running || echo "not running"))"
  cat "$work/xvfb.log" 2>/dev/null
  if [ -n "$wm_pid" ]; then
    echo "--- window manager"
    cat "$work/wm.log" 2>/dev/null
  fi
  [ -z "$shots" ] || echo "--- screenshots in $shots"
  exit 1
}

# Polls a condition (a shell command) for up to $1 seconds.
wait_for() {
  local seconds=$1
  shift
  local tries=$((seconds * 10))
  for ((i = 0; i < tries; i++)); do
    eval "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

# A private display (1280 x 1024 unless $2 says otherwise), and a
# reparenting window manager on it unless "none" is asked for. Xvfb picks a
# free display number itself and writes it down. -noreset: by default the
# server resets whenever its last client leaves, which every short xdotool
# call here does, and a client that connects during such a reset is dropped;
# the program's second start was once lost that way.
start_display() {
  if [ "${1:-openbox}" = openbox ] && ! command -v openbox >/dev/null; then
    echo "FAILED: openbox is not installed (see tools/setup.sh)"
    exit 1
  fi
  Xvfb -displayfd 3 -screen 0 "${2:-1280x1024}x24" -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  wait_for 10 '[ -s "$work/display" ]' || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  export DISPLAY=":$(head -n1 "$work/display")"
  if [ "${1:-openbox}" = openbox ]; then
    openbox --sm-disable >"$work/wm.log" 2>&1 &
    wm_pid=$!
    wait_for 10 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' || fail "openbox did not start"
  fi
}

# The client window of the program's visible window whose title matches.
window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1; }
gone() { [ -z "$(window "$1")" ]; }

# The title as the window manager reads it (_NET_WM_NAME, else WM_NAME).
title_of() {
  local t
  t=$(xprop -id "$1" _NET_WM_NAME 2>/dev/null | sed -n 's/^_NET_WM_NAME([A-Z0-9_]*) = "\(.*\)"$/\1/p')
  [ -n "$t" ] || t=$(xprop -id "$1" WM_NAME 2>/dev/null | sed -n 's/^WM_NAME([A-Z0-9_]*) = "\(.*\)"$/\1/p')
  printf '%s' "$t"
}

# The outermost window below the root that holds a client: the window
# manager's frame, or the client itself without one.
frame_of() {
  local w=$1 parent root
  root=$(xwininfo -root | sed -n 's/^xwininfo: Window id: \(0x[0-9a-f]*\).*/\1/p')
  while :; do
    parent=$(xwininfo -children -id "$w" | sed -n 's/^ *Parent window id: \(0x[0-9a-f]*\).*/\1/p')
    [ -z "$parent" ] || [ "$parent" = "$root" ] && break
    w=$parent
  done
  printf '%s' "$w"
}

# "WIDTHxHEIGHT" of a window as xwininfo reports it.
size_of() {
  xwininfo -id "$1" | awk '/^  Width:/ { w = $2 } /^  Height:/ { h = $2 } END { print w "x" h }'
}
outer_size() { size_of "$(frame_of "$1")"; }

# Where a window and its frame lie on the screen, as WxH+X+Y.
window_geometry() {
  xwininfo -id "$(frame_of "$1")" |
    awk '/Absolute upper-left X:/ { x = $4 } /Absolute upper-left Y:/ { y = $4 } /^  Width:/ { w = $2 } /^  Height:/ { h = $2 }
         END { print w "x" h "+" x "+" y }'
}

# The colour of one screen pixel, as #RRGGBB.
pixel() { import -window root -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null | grep -o '#[0-9A-Fa-f]\{6\}' | head -n1; }

click() { xdotool mousemove --sync "$1" "$2" click 1; }

# The program's visible windows; an open menu or list is one more.
open_windows() { xdotool search --onlyvisible --classname '^brevalto-pro$' 2>/dev/null | grep -c .; }

# Opens a menu by its Alt key and picks an item by its letter.
keys_menu() {
  local before
  before=$(open_windows)
  xdotool key "$1"
  wait_for 5 '[ "$(open_windows)" -gt "$before" ]' || fail "$1 opened no menu"
  xdotool key "$2"
}

focus_main() { xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main" 2>/dev/null; sleep 0.2; }

stored() { sed -n "s/^$1=//p" "$conf" 2>/dev/null; }

# Starts the program and waits for its main window; sets main (the client
# window) and wx, wy, ww, wh (its client area on the screen).
start_program() {
  "$exe" >>"$work/app.log" 2>&1 &
  app_pid=$!
  wait_for 20 '[ -n "$(window "^Brevalto Pro$")" ]' || fail "the main window never appeared"
  main=$(window "^Brevalto Pro$")
  sleep 1  # the window manager places and frames it; the window settles
  client_geometry
}

# xwininfo's absolute position: xdotool's counts the frame's offset twice
# under a reparenting window manager.
client_geometry() {
  read -r wx wy ww wh < <(xwininfo -id "$main" | awk '/Absolute upper-left X:/ { x = $4 } /Absolute upper-left Y:/ { y = $4 }
    /^  Width:/ { w = $2 } /^  Height:/ { h = $2 } END { print x, y, w, h }')
}

end_program() {
  focus_main
  keys_menu alt+f x
  wait_for 10 '! kill -0 $app_pid' || fail "File > Exit (Alt+F, X) did not end the program"
  wait "$app_pid"
  local status=$?
  app_pid=""
  [ "$status" -eq 0 ] || fail "the program ended with exit code $status"
}

# Positions in the main window's client area.
at() { echo $((wx + $1)) $((wy + $2)); }
