#!/usr/bin/env bash
# Builds the benchmarks in Release (in build-bench) and runs each, then prints
# the table of figures. Needs cjpeg/djpeg (libjpeg-turbo-progs), ImageMagick and the
# DejaVu fonts (fonts-dejavu-core).
#   bench/run.sh [--reps N]
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=${BREVALTO_BENCH_BUILD:-$src/build-bench}
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBREVALTO_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target brevalto_bench brevalto-pro
rows=$(mktemp)
trap 'rm -f "$rows"' EXIT
for program in bench_postscan bench_thumbnail bench_viewer bench_preview bench_feeder bench_startup bench_blankpage; do
  echo "== $program"
  "$build/bench/$program" "$@" | while IFS= read -r line; do
    case $line in
      ROW$'\t'*) printf '%s\n' "${line#ROW$'\t'}" >>"$rows" ;;
      *) printf '   %s\n' "$line" ;;
    esac
  done
done
echo
{
  printf '#\twhat\tours\tanchor\tratio\ttarget\tmet\n'
  cat "$rows"
} | column -t -s $'\t'
