#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, with AddressSanitizer and
# UndefinedBehaviorSanitizer) into build-fuzz/ and runs each in turn.
#
#   tools/fuzz.sh SECONDS [TARGET...]
#
# SECONDS is the time given to each target (default 60); TARGET names limit
# the run (default: every tools/fuzz/fuzz_*.cpp). Each target keeps its
# corpus in tools/fuzz/corpus-TARGET, seeded on the first run; findings land
# in build-fuzz/findings/ and the log of each run in build-fuzz/logs/.
# The exit status is 1 when any target found something.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-60}
shift || true
build=${TV_FUZZ_BUILD_DIR:-$root/build-fuzz}
max_len=${TV_FUZZ_MAX_LEN:-65536}

# shellcheck source=deps.sh
source "$root/tools/deps.sh"
# clang 14 with its runtime libraries (libFuzzer and the sanitizers).
tv_need_packages clang libclang-rt-14-dev cmake ninja-build

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTV_BUILD_FUZZ=ON -DTV_SANITIZE=ON \
  -DTV_BUILD_TESTS=OFF -DTV_BUILD_BENCH=OFF >/dev/null

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for src in "$root"/tools/fuzz/fuzz_*.cpp; do
    targets+=("$(basename "$src" .cpp)")
  done
fi
ninja -C "$build" -j2 "${targets[@]}"

# A few hand-written sources per family, so the first run starts from real
# syntax. The first byte of a classifier input picks the code page (even:
# GBK, odd: UTF-8).
seed() {  # seed CORPUS NAME BYTES...
  local dir=$1 name=$2
  shift 2
  printf "$@" >"$dir/seed-$name"
}
seed_corpus() {  # seed_corpus TARGET DIR
  local t=$1 dir=$2
  case $t in
    fuzz_classify_cfamily)
      seed "$dir" c1 '\0int x = 1; // note\r\n/* block\n  still */ y++;\n\n"a//b" /* c */ d;\n'
      seed "$dir" c2 '\1char *s = "/*"; x /*/ y\n  "multi\n line" // z\n/* \xd6\xd0\xce\xc4 */\n'
      seed "$dir" c3 '\0a = "x"; /* open\n\n */ b = "y\x1a"; // hidden\n' ;;
    fuzz_classify_sql)
      seed "$dir" s1 '\0SELECT 1 -- note\n/* a\n b */ SELECT 2;\n-- a /*/\n'
      seed "$dir" s2 "\\1UPDATE t SET x = '--' /* c */ WHERE y;\r\n/*/ z\n*/\n" ;;
    fuzz_classify_pascal)
      seed "$dir" p1 '\0{ note }\n{ begin\n path a//b }\nend } x := 1;\n(* c *)\nx := 1; // n\n'
      seed "$dir" p2 '\0{ \xb0}\n(* open\n{ x\n*) y\n}\n' ;;
    fuzz_classify_basic)
      seed "$dir" b1 "\\0' note\nx = 1 ' note\nMsgBox \"it's\"\nMsgBox \"it's\" ' n\nREM x\n"
      seed "$dir" b2 "\\1y = \"a\" & \"b'c\" ' \"q\"\n\t \n" ;;
    fuzz_classify_asm)
      seed "$dir" a1 "\\0; note\n    ; note\nmov ax, 1 ; note\n\t; x\n\t  ; y\n db 'a;b'\n"
      seed "$dir" a2 '\1  \t\n\t \n;\n' ;;
    fuzz_line_reader)
      seed "$dir" l1 '\x05a\r\nb\rc\n\r\n\n\x1ad\n'
      seed "$dir" l2 '\x4012345678901234567890123456789\r\n12345678901234567890\r'
      { printf '\x90'; head -c 60000 /dev/zero | tr '\0' 'x'; printf '\r\nend'; } \
        >"$dir/seed-long" ;;
    fuzz_ini)
      seed "$dir" i1 '\0\0[OTHER]\r\nShowProcPercent=1\r\n[CURRENT PATH]\r\nPath1= /a b \r\n'
      seed "$dir" i2 '\1\0\xef\xbb\xbf[S]\nk="v"\n[s\n ; c\nTYPE\n=x\n' ;;
    # First byte: the reader (0 dsp, 1 vcproj, 2 bpr, 3 vbp, 4 vbg, 5 dpr,
    # 6 csproj), plus 0x80 for UTF-8; a NUL ends a .bpr or .vbg and begins
    # the file it names.
    fuzz_project_files)
      seed "$dir" dsp '\0SOURCE=.\\Src\\Core\\ENGINE.CPP\r\nSOURCE=.\\main.h\r\n  \tSOURCE=.\\MAIN.H\r\nSOURCE=.\\util.c\r\nSOURCE="..\\q.cpp"\r\nSOURCE=.\\SRC\\missing\\Gone.cpp\r\nSOURCE=.\\..\\x.cpp\nSOURCE=.\\'
      seed "$dir" dsp-gbk '\0SOURCE=.\\\xd6\xd0\xce\xc4.cpp\r\nSOURCE=.\\\x81\\.h\r\nSOURCE=.\\\xff.h\n'
      seed "$dir" vcproj '\x81\xef\xbb\xbf<Files>\r\n\t\t\tRelativePath=".\\unit1.CPP">\r\n\t\tRelativePath=".\\src\\MAIN.cpp"\r\nRelativePath="\xe6\x96\x87.h">\r\nRelativePath=\r\nRelativePath="x.h"\n'
      seed "$dir" bpr '\2<PROJECT>\r\n<MAINSOURCE value="App.res"/>\r\n<MAINSOURCE value="main.cpp"/>\r\n\0#include <vcl.h>\r\nUSEFORM("Unit1.cpp", Form1);\r\n\tUSEUNIT("src\\MAIN.cpp");\r\nUSEUNIT(none);\r\nUSEFORM("a"b".cpp");\r\n'
      seed "$dir" bpr-sub '\2<MAINSOURCE value="Sub\\main.CPP"/>\n'
      seed "$dir" bpr-quote-outside-mainsource 'A"main.cpp"\n<MAINSOURCE"MAIN.cpp"'
      seed "$dir" vbp '\x83Type=Exe\r\nForm=Form1.frm\r\nModule=Module1; module1.BAS\r\nClass=C; Sub\\..\\class1.cls \r\nUserControl=ctl1.ctl\r\nForm=Form1.txt\r\nModule=NoSemicolon.bas\r\n'
      seed "$dir" vbg '\4VBGROUP 5.0\r\nStartupProject=a.vbp\r\nProject=SUB\\b.VBP\r\nProject=missing.vbp\r\n\0Form=Form1.frm\r\nModule=M; mod.bas\r\n'
      seed "$dir" dpr '\5program P;\r\nuses\r\n  Unit1 in \x27Unit1.pas\x27 {Form1},\r\n  U2 in \x27 src\\u2.PAS \x27;\r\n// unit3.pas\r\n{$R *.res}\r\n'
      seed "$dir" csproj '\x86\t<File RelPath = "Form1.cs" />\r\n<File RelPath="App.ico"/>\r\nRelPath = " form1.CS "\r\nRelPath="x.cs\n' ;;
    # First byte: 0 GBK, 1 UTF-8.
    fuzz_selection_files)
      seed "$dir" s1 '\0[Selected Files]\r\nTotalFileNum=5\r\nFile1= /src/a.cpp \r\nFile3=\t"/src/q.h"\r\nfile2=/x/readme.txt\r\nFile01=/zero.c\r\nFile4=\r\nFile6=/beyond.c\r\n[Selected Folder]\r\nTotalFolderNum=1\r\nFolder1=\r\n'
      seed "$dir" s2 '\1\xef\xbb\xbf[selected files]\nTotalFileNum = +3x\nFILE2=/b/\xe4\xb8\xad.cs\nFile2=/dup.cs\nFile1=  \n [Selected Folder]\nTotalFolderNum=-1\nFolder1=/tmp/\n'
      seed "$dir" s3 '\0[Selected Files]\nTotalFileNum=2147483648\nFile1=\xd6\xd0\xce\xc4.pas\nFile999999999=/far.sql\nFile2=\x81\nFile3 = \x27/a b.bas\x27\n[Selected Files]\nFile4=/second.c\n' ;;
    # First byte, low four bits modulo 5: 0 the cells of a report row
    # (strings ended by a backslash and one more byte), 1 a workbook path,
    # 2 SQL, 3 a connection string, 4 statements divided by NUL bytes (high
    # bits: 1 header row, 2 read-only, 4 commit).
    fuzz_excel_driver)
      seed "$dir" row '\0a.c\\ 10\\ 6 (60.00%%)\\ 2\\ 2\\ 25.00%%'
      seed "$dir" row-quote "\\0it's \\xe4\\xb8\\xad.c\\\\ +7x\\\\ \\t 18446744073709551616\\\\ \\\\ -3\\\\ 0.00%%'"
      seed "$dir" path '\1/home/u/report.xls'
      seed "$dir" path-odd '\1/tmp/a b;c=d/\xe4\xb8\xad.xls '
      seed "$dir" sql-insert "\\2INSERT INTO Exceldemo (\\xe6\\x96\\x87,[a b]) VALUES (' it''s ',-1.5e3, +.5, 7.);"
      seed "$dir" sql-create '\2create table [T 1] (a text(255), b Int, c varchar ( 10 ), d memo)'
      seed "$dir" sql-range '\2INSERT INTO t VALUES (1e999)'
      seed "$dir" conn '\3DRIVER={MICROSOFT EXCEL DRIVER (*.XLS)};DSN=\x27\x27;FIRSTROWHASNAMES=1;READONLY=FALSE;CREATE_DB="/tmp/x.xls";DBQ=/tmp/x.xls'
      seed "$dir" conn-odd '\3 dbq = \x27a;b\x27 ;;junk; readonly=0 ;x={unclosed'
      seed "$dir" run '\x54CREATE TABLE t (a TEXT, b NUMBER)\0INSERT INTO t VALUES (\x27x\x27, 1)\0INSERT INTO t (b, a) VALUES (2, \x27y\x27)\0INSERT INTO t VALUES (1, \x27x\x27)\0CREATE TABLE T (c TEXT)\0INSERT INTO nowhere VALUES (1)'
      seed "$dir" run-read-only '\x24CREATE TABLE t (a TEXT)' ;;
  esac
  # One long line of the family's markers, so long lines are there from the start.
  case $t in
    fuzz_classify_*)
      { printf '\0'; for _ in $(seq 2000); do printf 'x = "a/*b" // c { (* \x27 ; -- '; done
        printf '\n'; } >"$dir/seed-long" ;;
  esac
}

mkdir -p "$build/findings" "$build/logs"
summary=()
found=0
for t in "${targets[@]}"; do
  corpus="$root/tools/fuzz/corpus-${t#fuzz_}"
  mkdir -p "$corpus"
  seed_corpus "$t" "$corpus"  # the seeds are rewritten; the rest of the corpus grows
  log="$build/logs/$t.log"
  echo "== $t: ${seconds}s" >&2
  rm -f "$build/findings/$t-"*
  rc=0
  "$build/$t" "$corpus" -max_total_time="$seconds" -max_len="$max_len" -timeout=20 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/findings/$t-" \
    >"$log" 2>&1 || rc=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  files=$(find "$corpus" -type f | wc -l)
  findings=$(find "$build/findings" -name "$t-*" -type f | wc -l)
  [ "$rc" -ne 0 ] && [ "$findings" -eq 0 ] && findings="exit $rc"
  [ "$findings" != 0 ] && found=1
  summary+=("$(printf '%-24s %12s execs  %6s corpus files  findings: %s' \
    "$t" "${execs:-?}" "$files" "$findings")")
done

echo
echo "Fuzzing summary (${seconds}s per target; logs in $build/logs):"
printf '%s\n' "${summary[@]}"
if [ "$found" -ne 0 ]; then
  echo "Findings:"
  find "$build/findings" -type f | sort
  exit 1
fi
