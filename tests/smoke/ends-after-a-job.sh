#!/usr/bin/env bash
# A logout, a Ctrl+C or a closed terminal after a job: brevalto-pro runs a
# preview with SANE's test backend under Xvfb, then gets SIGTERM, SIGINT or
# SIGHUP. Each time it must close as on any other close (exit code 0) and
# leave its preferences behind in a new user's empty config folder.
set -uo pipefail
exe=$1
sane=$2

# shellcheck source=tests/screen/screen-lib.sh
. "$(dirname "$0")/../screen/screen-lib.sh"
export SANE_CONFIG_DIR=$sane
start_display none

for signal in TERM INT HUP; do
  step=SIG$signal
  home=$work/$signal
  mkdir -p "$home/config" "$home/temp"
  export HOME=$home XDG_CONFIG_HOME=$home/config TEMP=$home/temp
  conf="$XDG_CONFIG_HOME/Quellmark/Brevalto Pro.conf"
  "$exe" >>"$work/app.log" 2>&1 &
  app_pid=$!
  wait_for 15 '[ -n "$(window "^Brevalto Pro$")" ]' || fail "the main window never appeared"
  main=$(window "^Brevalto Pro$")
  sleep 0.5
  # File > Preview by its keys.
  xdotool windowfocus --sync "$main" 2>/dev/null
  keys_menu alt+f r
  wait_for 30 '[ -s "$TEMP/Brevalto.bmp" ]' || fail "the preview never arrived in $TEMP/Brevalto.bmp"
  # The job ends with the preview drawn; give the scanner's threads their end too.
  sleep 1
  kill -0 "$app_pid" || fail "the program died during the preview"
  kill -$signal "$app_pid"
  wait_for 15 '! kill -0 $app_pid' || fail "SIG$signal did not end the program"
  wait "$app_pid"
  status=$?
  app_pid=""
  [ $status -eq 0 ] || fail "SIG$signal after a preview ended the program with exit code $status"
  grep -q '^WWidth=' "$conf" 2>/dev/null || fail "no preferences saved after SIG$signal: $(cat "$conf" 2>&1)"
done
echo "after a preview SIGTERM, SIGINT and SIGHUP each closed the program with 0 and saved its preferences"
