#!/usr/bin/env bash
# Starts brevalto-pro under Xvfb with SANE's test backend, waits for its main
# window, then asks it to end with SIGTERM: it must close normally (exit code
# 0) and leave its preferences behind.
set -euo pipefail
exe=$1
sane=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work XDG_CONFIG_HOME=$work/config TEMP=$work/temp SANE_CONFIG_DIR=$sane
# The program must come up on the X server, whatever platform a user exported.
unset QT_QPA_PLATFORM
mkdir -p "$XDG_CONFIG_HOME" "$TEMP"
command -v xvfb-run >/dev/null || { echo "xvfb-run is not installed"; exit 1; }
command -v xdotool >/dev/null || { echo "xdotool is not installed"; exit 1; }

# -noreset: the server would otherwise reset each time the polling xdotool
# leaves as its last client, and drop the program if it connects just then.
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bash -c '
  set -u
  "$1" & pid=$!
  found=""
  for _ in $(seq 1 150); do
    found=$(xdotool search --onlyvisible --name "^Brevalto Pro$" 2>/dev/null | head -n1 || true)
    [ -n "$found" ] && break
    sleep 0.1
  done
  if [ -z "$found" ]; then echo "main window never appeared"; kill -9 $pid; exit 1; fi
  sleep 0.5
  kill -0 $pid || { echo "program died after showing its window"; exit 1; }
  kill -TERM $pid
  wait $pid
' _ "$exe"
status=$?
[ $status -eq 0 ] || { echo "exit code $status"; exit 1; }
conf="$XDG_CONFIG_HOME/Quellmark/Brevalto Pro.conf"
[ -f "$conf" ] || { echo "no preferences written to $conf"; exit 1; }
grep -q '^WWidth=' "$conf" || { echo "window size not stored"; cat "$conf"; exit 1; }
echo "started, showed its window, closed with 0 and stored its preferences"
