#!/usr/bin/env bash
# The virtual scanner that tools/start.sh offers when no scanner is attached,
# through its own SANE configuration: a page shows colours (not one solid
# colour), and its document feeder delivers more than one sheet in a job.
#
# Usage: virtual-scanner.sh <source folder>
set -uo pipefail
src=$1
config=$(sed -n 's/^ *export SANE_CONFIG_DIR="\$here\/\(.*\)"$/\1/p' "$src/tools/start.sh")
[ -n "$config" ] || { echo "FAILED: tools/start.sh names no SANE configuration of its own"; exit 1; }
export SANE_CONFIG_DIR=$src/$config
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

device=$(timeout 30 scanimage -L 2>/dev/null | sed -n 's/^device `\(test:[^'"'"']*\)'"'"'.*/\1/p' | head -n1)
[ -n "$device" ] || { echo "FAILED: no virtual scanner with SANE_CONFIG_DIR=$SANE_CONFIG_DIR"; exit 1; }

timeout 60 scanimage -d "$device" --mode Color --resolution 25 --format=pnm >page.pnm 2>scan.log ||
  { echo "FAILED: the flatbed scan failed: $(cat scan.log)"; exit 1; }
colours=$(convert page.pnm -unique-colors txt:- | grep -c '^[0-9]')
[ "$colours" -ge 3 ] || { echo "FAILED: the page has $colours colour(s), a solid sheet"; exit 1; }

timeout 120 scanimage -d "$device" --mode Color --resolution 25 --source "Automatic Document Feeder" \
  --batch=sheet%d.pnm >feeder.log 2>&1
sheets=$(find . -name 'sheet*.pnm' | grep -c .)
[ "$sheets" -ge 3 ] || { echo "FAILED: the feeder gave $sheets sheet(s): $(cat feeder.log)"; exit 1; }
echo "the virtual scanner of $config shows $colours colours; its feeder gave $sheets sheets"
