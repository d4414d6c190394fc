#!/usr/bin/env bash
# End-to-end benchmark: builds the program, generates (once, seeded) a tree of
# 20,000 files and 100 MB of mixed sources under build/e2e, and times a
# command-line run against `find | xargs wc -l`, and cloc and ohcount when
# installed. Prints medians and ratios. E2E_FILES, E2E_BYTES and E2E_RUNS
# change the size and the number of runs.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/deps.sh
tv_need_packages "${TV_BUILD_PACKAGES[@]}"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target tallyvane >/dev/null
mkdir -p build/e2e
python3 bench/e2e.py build/tallyvane build/e2e
