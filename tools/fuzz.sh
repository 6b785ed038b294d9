#!/usr/bin/env bash
# Builds the fuzz targets with clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer (in ./build-fuzz) and runs each for the given
# number of seconds (default 60), starting from its corpus in tests/fuzz/corpus.
# New inputs go to build-fuzz/corpus-<target>; a crashing input is written to
# build-fuzz/ and the script fails. Keep such an input in tests/fuzz/corpus/<target>
# once it is fixed, so every test run replays it.
#   tools/fuzz.sh [seconds] [target...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(picture tiff update_description version_block settings)

# clang only recommends its runtime libraries (libFuzzer and the sanitizers),
# so they are asked for by name.
"$here/tools/install-packages.sh" clang libclang-rt-14-dev

sanitizers="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_FLAGS="$sanitizers -fsanitize=fuzzer-no-link" \
  -DCMAKE_CXX_FLAGS="$sanitizers -fsanitize=fuzzer-no-link" \
  -DCMAKE_EXE_LINKER_FLAGS="$sanitizers" \
  -DBREVALTO_FUZZ=ON -DBREVALTO_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target $(printf 'fuzz_%s ' "${targets[@]}")

export QT_QPA_PLATFORM=offscreen
status=0
for t in "${targets[@]}"; do
  work="build-fuzz/corpus-$t"
  mkdir -p "$work"
  echo "== fuzz_$t for ${seconds}s"
  if ! (cd build-fuzz && ./tests/fuzz/fuzz_$t -max_total_time="$seconds" -max_len=65536 \
          -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
          "../$work" "../tests/fuzz/corpus/$t" 2>&1 | tail -25); then
    status=1
  fi
done
exit $status
