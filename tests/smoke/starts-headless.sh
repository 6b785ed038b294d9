#!/usr/bin/env bash
# Starts brevalto-pro on Qt's offscreen platform and ends it with SIGTERM.
set -euo pipefail
exe=$1
sane=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work XDG_CONFIG_HOME=$work/config TEMP=$work/temp SANE_CONFIG_DIR=$sane QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_CONFIG_HOME" "$TEMP"
"$exe" & pid=$!
sleep 2
kill -0 $pid || { echo "program ended on its own"; wait $pid; exit 1; }
kill -TERM $pid
wait $pid
echo "started headless and closed with 0"
