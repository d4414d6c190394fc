#!/usr/bin/env bash
# Builds Tallyvane and runs it. With no arguments it opens the window on the
# bundled sample tree (or, without a display, writes its report from the
# command line); any arguments are passed to the program.
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
  if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    # The window, counting the sample tree at once.
    exec build/tallyvane examples
  fi
  echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): counting examples/ from the command line instead." >&2
  build/tallyvane -d examples -o build/examples-report.htm
  echo "Report: $(pwd)/build/examples-report.htm"
  exit 0
fi
exec build/tallyvane "$@"
