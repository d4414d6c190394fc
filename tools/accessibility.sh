#!/usr/bin/env bash
# Drives the real window from outside as a screen reader or voice control
# would, over AT-SPI under a virtual X display and a private accessibility
# bus: tools/accessibility.sh
# Counts examples/, reads the totals, presses the buttons that open dialogs
# (each press must answer at once) and the items of the directory button's
# menu and of the list's menu by their texts. Exit status 1 on any failure.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/tools/deps.sh"
tv_need_packages "${TV_BUILD_PACKAGES[@]}" "${TV_SCREENSHOT_PACKAGES[@]}" dbus at-spi2-core \
  python3-pyatspi
build=${TV_BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target tallyvane >/dev/null
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME=$home LANG=zh_CN.UTF-8 QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
export TALLYVANE_SETTINGS=$home/Setup.ini
# The window, its bus and the checker share one private session bus.
xvfb-run -a -s "-screen 0 1280x1024x24" dbus-run-session -- bash -c '
  /usr/libexec/at-spi-bus-launcher --launch-immediately & bus=$!
  "$1" "$2" >"$HOME/window.log" 2>&1 & window=$!
  status=0
  /usr/bin/python3 "$3" || status=$?
  kill "$window" "$bus" 2>/dev/null || true
  exit $status' _ "$build/tallyvane" "$root/examples" "$root/tools/accessibility/check.py" 2>&1 |
  grep -v -e '^dbus-daemon' -e 'SpiRegistry daemon'
