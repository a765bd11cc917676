#!/usr/bin/env bash
# Prints the lines of the tests (tests/ and fuzz/) against the lines of the program (src/, qt/,
# sim/, the command line cli/ and the Windows serial code win32/, whose tests are counted too),
# counting git-tracked C++ files without blank lines and without lines that are only a //
# comment, and their ratio (aim: 0.25 to 0.35). Benchmarks and tools are neither.
set -euo pipefail
cd "$(dirname "$0")/.."
count() {
  git ls-files -- "$@" | grep -E '\.(cpp|h|hpp|cc)$' | tr '\n' '\0' |
    xargs -0 -r cat | grep -Ev '^[[:space:]]*(//.*)?$' | wc -l
}
tests=$(count tests fuzz)
code=$(count src qt sim cli win32)
echo "tests/ + fuzz/:          $tests lines"
echo "program (src/ qt/ sim/ cli/ win32/): $code lines"
awk -v t="$tests" -v c="$code" 'BEGIN { printf "ratio:                   %.2f (aim 0.25 to 0.35)\n", (c ? t / c : 0) }'
