#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
# Sourced by run.sh and test.sh; safe to run again.
set -euo pipefail

tv_need_packages() {
  local missing=()
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
      missing+=("$pkg")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}" >&2
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
      "${missing[@]}" >/dev/null
  fi
}

# Compiler, build tools, test and benchmark libraries, Qt 6 for the window
# with Qt's own Chinese texts (qt6-translations-l10n), nlohmann-json for the
# JSON report and libgit2 for walks that honour .gitignore files.
TV_BUILD_PACKAGES=(g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev
  libbenchmark-dev qt6-base-dev libgl-dev qt6-translations-l10n nlohmann-json3-dev
  libgit2-dev)
# poppler-utils reads the printed PDF back; the CJK font prints its headers.
# The checkers of the installed desktop files and manual page, and what
# CPack needs to build the .deb (dpkg-shlibdeps in dpkg-dev, and file); git
# says which files a walk that honours ignore files must keep.
TV_TEST_PACKAGES=(python3 python3-xlrd poppler-utils fonts-wqy-microhei
  desktop-file-utils appstream man-db lintian dpkg-dev file git)
# A virtual display and a CJK font, to take pictures of the window.
TV_SCREENSHOT_PACKAGES=(xvfb xauth fonts-wqy-microhei)
