#!/usr/bin/env bash
# Builds Tallyvane and runs it. With no arguments it counts the bundled
# sample tree; any arguments are passed to the program.
set -euo pipefail
cd "$(dirname "$0")"
. tools/deps.sh
tv_need_packages "${TV_BUILD_PACKAGES[@]}"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
echo "Building tallyvane in build/ ..." >&2
# Quiet when the build succeeds; its whole output when it does not.
if ! log=$(cmake --build build --target tallyvane 2>&1); then
  printf '%s\n' "$log" >&2
  exit 1
fi
if [ $# -eq 0 ]; then
  build/tallyvane -d examples -o build/examples-report.htm
  echo "Report: $(pwd)/build/examples-report.htm"
  exit 0
fi
exec build/tallyvane "$@"
