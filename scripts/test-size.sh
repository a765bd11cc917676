#!/usr/bin/env bash
# Prints the lines of the tests (tests/ and fuzz/) against the lines of the program (src/, qt/
# and sim/), counting git-tracked C++ files without blank lines and without lines that are only
# a // comment, and their ratio (aim: 0.25 to 0.35). The command-line program (cli/) and the
# Windows serial code (win32/) are shown beside it, outside the ratio.
set -euo pipefail
cd "$(dirname "$0")/.."
count() {
  git ls-files -- "$@" | grep -E '\.(cpp|h|hpp|cc)$' | tr '\n' '\0' |
    xargs -0 -r cat | grep -Ev '^[[:space:]]*(//.*)?$' | wc -l
}
tests=$(count tests fuzz)
code=$(count src qt sim)
echo "tests/ + fuzz/:          $tests lines"
echo "program (src/ qt/ sim/): $code lines"
awk -v t="$tests" -v c="$code" 'BEGIN { printf "ratio:                   %.2f (aim 0.25 to 0.35)\n", (c ? t / c : 0) }'
echo "outside the ratio:       cli/ $(count cli) lines, win32/ $(count win32) lines"
