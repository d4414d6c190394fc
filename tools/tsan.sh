#!/usr/bin/env bash
# Builds the core's test executables with ThreadSanitizer into build-tsan/
# and runs the run and platform tests under it. Not part of ./test.sh.
#
#   tools/tsan.sh [GTEST_FILTER]
#
# The window's tests (tests/ui) are left out: they need Qt, whose Debian
# libraries are not instrumented, so ThreadSanitizer would report races
# inside Qt that are not there. GTEST_FILTER limits the tests that run
# (default: all of them). Each executable's output is kept in
# build-tsan/logs/. The exit status is 1 when a test fails or
# ThreadSanitizer reports anything.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
filter=${1:-*}
build=${TV_TSAN_BUILD_DIR:-$root/build-tsan}
run=(runs platform)

# shellcheck source=deps.sh
source "$root/tools/deps.sh"
tv_need_packages cmake ninja-build libgtest-dev libgmock-dev
# clang when it is there (with its sanitizer runtime), else gcc's libtsan.
if command -v clang++ >/dev/null; then
  tv_need_packages libclang-rt-14-dev
  export CC=clang CXX=clang++
else
  tv_need_packages g++ libtsan2
  export CC=gcc CXX=g++
fi

flags="-fsanitize=thread -fno-omit-frame-pointer -g -O1"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTV_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" >/dev/null

# One executable per test folder, as CMakeLists.txt makes them.
targets=()
for dir in "$root"/tests/*/; do
  name=$(basename "$dir")
  case $name in ui | data) continue ;; esac
  if [ -n "$(find "$dir" -name '*.cpp' -print -quit)" ]; then
    targets+=("tallyvane_${name}_tests")
  fi
done
ninja -C "$build" -j2 "${targets[@]}"

# Without address-space randomisation where the system allows it: older
# ThreadSanitizer runtimes cannot map their shadow memory beside a heavily
# randomised layout.
norandom=()
if setarch "$(uname -m)" -R true 2>/dev/null; then
  norandom=(setarch "$(uname -m)" -R)
fi

mkdir -p "$build/logs"
failed=0
for name in "${run[@]}"; do
  exe="$build/tallyvane_${name}_tests"
  log="$build/logs/$name.log"
  echo "== tallyvane_${name}_tests under ThreadSanitizer" >&2
  rc=0
  TSAN_OPTIONS="halt_on_error=0 exitcode=66 second_deadlock_stack=1 ${TSAN_OPTIONS:-}" \
    TALLYVANE_SETTINGS=/nonexistent/tallyvane-test-settings.ini \
    "${norandom[@]}" "$exe" --gtest_filter="$filter" >"$log" 2>&1 || rc=$?
  reports=$(grep -c '^WARNING: ThreadSanitizer' "$log" || true)
  summary=$(grep -E '^\[  (PASSED|FAILED) ' "$log" | tr '\n' ' ' || true)
  echo "   exit $rc, ThreadSanitizer reports: $reports, ${summary:-no test summary}" >&2
  if [ "$rc" -ne 0 ] || [ "$reports" -ne 0 ]; then
    failed=1
    grep -E '^(WARNING: ThreadSanitizer|SUMMARY: ThreadSanitizer|\[  FAILED  \])' "$log" |
      sort | uniq -c >&2 || true
    echo "   log: $log" >&2
  fi
done
exit "$failed"
