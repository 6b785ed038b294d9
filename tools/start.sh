#!/usr/bin/env bash
# Sets up, builds and starts Brevalto Pro. When SANE finds no real scanner,
# the program starts with SANE's virtual "test" scanner so it can scan at once.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/tools/setup.sh"
if [ -z "${SANE_CONFIG_DIR:-}" ]; then
  if ! timeout 20 scanimage -L 2>/dev/null | grep -q "^device"; then
    echo "No scanner found; using SANE's virtual test scanner."
    export SANE_CONFIG_DIR="$here/sane-config/start"
  fi
fi
exec "$here/build/app/brevalto-pro"
