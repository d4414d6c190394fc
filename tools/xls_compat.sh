#!/usr/bin/env bash
# Opens Excel reports with LibreOffice and Gnumeric. The office suites are not
# dependencies of the test suite, so these checks live apart from ctest: this
# script installs the suites, builds tallyvane_xls_compat (tests/excel/compat)
# into build/ and runs it. Arguments are passed to the test program.
#
# TV_XLS_COMPAT_BUILD_DIR chooses another build folder than build/.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${TV_XLS_COMPAT_BUILD_DIR:-$root/build}

# shellcheck source=deps.sh
source "$root/tools/deps.sh"
tv_need_packages "${TV_BUILD_PACKAGES[@]}" gnumeric libreoffice-calc-nogui

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
# Quiet when the build succeeds; its whole output when it does not.
if ! log=$(cmake --build "$build" --target tallyvane_xls_compat 2>&1); then
  printf '%s\n' "$log" >&2
  exit 1
fi
exec "$build/tallyvane_xls_compat" "$@"
