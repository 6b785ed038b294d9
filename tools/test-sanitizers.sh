#!/usr/bin/env bash
# Builds the program and its tests a second time with AddressSanitizer and
# UndefinedBehaviorSanitizer (in ./build-asan) and runs the whole suite there;
# any report fails the run. Expects tools/setup.sh to have run.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DBREVALTO_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j"$(nproc)"
# Leak checking stays off: fontconfig and the X libraries keep caches for
# the life of the process, which it would report at every exit.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-asan --output-on-failure -j2 --timeout 900
