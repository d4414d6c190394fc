#!/usr/bin/env bash
# Takes a picture of the window and of each of its dialogs, driven through
# the real commands under a virtual X display:
#   tools/screenshots.sh OUTDIR [--manual]
# Fails when no CJK font is installed or any picture is blank. With --manual
# it also copies every picture manual/Help.html shows into manual/pictures/.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=$(mkdir -p "${1:?usage: tools/screenshots.sh OUTDIR}" && cd "$1" && pwd)
. "$root/tools/deps.sh"
tv_need_packages "${TV_BUILD_PACKAGES[@]}" "${TV_SCREENSHOT_PACKAGES[@]}"
if ! fc-list ':lang=zh' family | grep -q .; then
  echo "screenshots: no CJK font is installed (fonts-wqy-microhei)" >&2
  exit 1
fi
build=${TV_BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target tallyvane_screenshots >/dev/null
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
HOME=$home LANG=zh_CN.UTF-8 QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$build/tallyvane_screenshots" "$out" "$root/examples"
rm -f "$out/Setup.ini"
echo "Pictures in $out:"
ls "$out"
if [ "${2:-}" = "--manual" ]; then
  for picture in $(grep -o 'src="pictures/[^"]*"' "$root/manual/Help.html" | sed 's/^src="pictures\///; s/"$//' | sort -u); do
    if [ ! -f "$out/$picture" ]; then
      echo "screenshots: the manual shows $picture, which was not taken" >&2
      exit 1
    fi
    cp "$out/$picture" "$root/manual/pictures/$picture"
  done
  echo "The manual's pictures are in $root/manual/pictures."
fi
