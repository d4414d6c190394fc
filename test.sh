#!/usr/bin/env bash
# Builds and runs every test: once in an optimised build and once under
# AddressSanitizer and UndefinedBehaviorSanitizer. Non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
. tools/deps.sh
tv_need_packages "${TV_BUILD_PACKAGES[@]}" "${TV_TEST_PACKAGES[@]}"

jobs=$(nproc)
run_suite() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir"
  (cd "$dir" && ctest --output-on-failure -j "$jobs")
}

echo "== Optimised build"
run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "== AddressSanitizer and UndefinedBehaviorSanitizer"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DTV_SANITIZE=ON -DTV_BUILD_BENCH=OFF
