#!/usr/bin/env bash
# install_test.sh BUILD SOURCE [deb]: an install into a staging folder runs
# and validates as the build does; with "deb", the .deb holds every file.
set -euo pipefail
trap 'echo "failed at line $LINENO" >&2' ERR
build=$1 source=$2 t=$(mktemp -d)
trap 'rm -rf "$t"' EXIT
if [ "${3:-}" = deb ]; then
  cpack --config "$build/CPackConfig.cmake" -B "$t" >/dev/null
  DESTDIR=$t/root cmake --install "$build" --prefix /usr >/dev/null
  comm -23 <(cd "$t/root" && find . -type f | sort) \
    <(dpkg-deb -c "$t/tallyvane_3.7.0-1_amd64.deb" | awk '{print $6}' | sort) >"$t/missing"
  [ ! -s "$t/missing" ] || { cat "$t/missing" >&2; exit 1; }
  exit 0
fi
DESTDIR=$t cmake --install "$build" --prefix /usr/local >/dev/null
bin=$t/usr/local/bin share=$t/usr/local/share
env -u TALLYVANE_SETTINGS HOME="$t/home" XDG_CONFIG_HOME="$t/config" \
  "$bin/tallyvane" -d "$source/examples" -o "$t/installed.csv"
TALLYVANE_SETTINGS=$t/built.ini "$build/tallyvane" -d "$source/examples" -o "$t/built.csv"
cmp "$t/installed.csv" "$t/built.csv"
test -f "$t/config/tallyvane/Setup.ini"
test ! -e "$bin/Setup.ini"
"$bin/tallyvane" --help | grep -qxF "User manual: $share/doc/tallyvane/Help.html"
desktop-file-validate "$share/applications/org.tallyvane.Tallyvane.desktop"
appstreamcli validate --no-net "$share/metainfo/org.tallyvane.Tallyvane.metainfo.xml" >/dev/null
warnings=$(MANWIDTH=80 man --warnings -l "$share/man/man1/tallyvane.1.gz" 2>&1 >/dev/null)
[ -z "$warnings" ] || { echo "$warnings" >&2; exit 1; }
completion=$share/bash-completion/completions/tallyvane
bash -n "$completion"
# After -d only folders are offered: the manual's pictures, not Help.html.
bash -c '. "$1" && f=$(complete -p tallyvane) && f=${f#*-F } && COMP_WORDS=(tallyvane -d "$2/") &&
  COMP_CWORD=2 && ${f%% *} && [ "${COMPREPLY[*]}" = "$2/pictures" ]' _ "$completion" "$share/doc/tallyvane"
