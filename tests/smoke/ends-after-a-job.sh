#!/usr/bin/env bash
# A logout, a Ctrl+C or a closed terminal after a job: brevalto-pro runs a
# preview with SANE's test backend under Xvfb, then gets SIGTERM, SIGINT or
# SIGHUP. Each time it must close as on any other close (exit code 0) and
# leave its preferences behind in a new user's empty config folder.
set -uo pipefail
exe=$1
sane=$2
work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill -9 "$app_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
for tool in Xvfb xdotool; do
  command -v $tool >/dev/null || { echo "$tool is not installed"; exit 1; }
done
unset QT_QPA_PLATFORM
export SANE_CONFIG_DIR=$sane

fail() {
  echo "FAILED ($1): $2"
  echo "--- program output"
  cat "$work/app.log" 2>/dev/null
  exit 1
}

wait_for() {
  local tries=$(($1 * 10))
  shift
  for ((i = 0; i < tries; i++)); do
    eval "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

# -noreset: see tests/e2e/new-user-session.sh.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
wait_for 10 '[ -s "$work/display" ]' || fail start "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(head -n1 "$work/display")"

window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1; }
open_windows() { xdotool search --onlyvisible --classname '^brevalto-pro$' 2>/dev/null | grep -c .; }

for signal in TERM INT HUP; do
  home=$work/$signal
  mkdir -p "$home/config" "$home/temp"
  export HOME=$home XDG_CONFIG_HOME=$home/config TEMP=$home/temp
  "$exe" >>"$work/app.log" 2>&1 &
  app_pid=$!
  wait_for 15 '[ -n "$(window "^Brevalto Pro$")" ]' || fail $signal "the main window never appeared"
  main=$(window "^Brevalto Pro$")
  sleep 0.5
  # File > Preview by its keys.
  xdotool windowfocus --sync "$main" 2>/dev/null
  before=$(open_windows)
  xdotool key alt+f
  wait_for 5 '[ "$(open_windows)" -gt "$before" ]' || fail $signal "Alt+F opened no menu"
  xdotool key r
  wait_for 30 '[ -s "$TEMP/Brevalto.bmp" ]' || fail $signal "the preview never arrived in $TEMP/Brevalto.bmp"
  # The job ends with the preview drawn; give the scanner's threads their end too.
  sleep 1
  kill -0 "$app_pid" || fail $signal "the program died during the preview"
  kill -$signal "$app_pid"
  wait_for 15 '! kill -0 $app_pid' || fail $signal "SIG$signal did not end the program"
  wait "$app_pid"
  status=$?
  app_pid=""
  [ $status -eq 0 ] || fail $signal "SIG$signal after a preview ended the program with exit code $status"
  conf="$XDG_CONFIG_HOME/Quellmark/Brevalto Pro.conf"
  grep -q '^WWidth=' "$conf" 2>/dev/null || fail $signal "no preferences saved after SIG$signal: $(cat "$conf" 2>&1)"
done
echo "after a preview SIGTERM, SIGINT and SIGHUP each closed the program with 0 and saved its preferences"
