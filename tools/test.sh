#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite through ctest.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/tools/setup.sh"
cd "$here"
ctest --test-dir build --output-on-failure -j2 --timeout 600
