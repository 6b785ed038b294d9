#!/usr/bin/env bash
# Instructions executed by the post-scan handling of one page (BMP output):
# one repetition of bench_postscan under callgrind, counting only inside the
# window's post-scan handler (the page painting and the scan job around it
# are left out).
#   bench/callgrind.sh [bmp|tiff|jpg]
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=${BREVALTO_BENCH_BUILD:-$src/build-bench}
format=${1:-bmp}
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBREVALTO_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target bench_postscan
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
valgrind --tool=callgrind --callgrind-out-file="$out/callgrind.out" \
  --collect-atstart=no --toggle-collect='Tfrm_Main::VintaSoftTwainPostScan(int)' \
  "$build/bench/bench_postscan" --reps 1 --format "$format" >"$out/stdout" 2>"$out/stderr" ||
  { cat "$out/stderr"; exit 1; }
grep -v '^ROW' "$out/stdout" || true
# Two handler calls ran (one warm-up, one timed); the total covers both.
total=$(callgrind_annotate "$out/callgrind.out" 2>/dev/null | awk '/PROGRAM TOTALS/ {gsub(",", "", $1); print $1; exit}')
echo "post-scan handling ($format), 2 pages: total Ir $total"
echo "per page: $((total / 2)) Ir"
if [[ -n ${CALLGRIND_KEEP:-} ]]; then cp "$out/callgrind.out" "$CALLGRIND_KEEP"; fi
echo "largest inclusive costs below the handler:"
callgrind_annotate --inclusive=yes "$out/callgrind.out" >"$out/annotated" 2>/dev/null || true
grep -E '^ *[0-9,]+ \(' "$out/annotated" | grep -v '(100.0%)' | head -25 | cut -c1-220 || true
