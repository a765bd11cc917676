#!/usr/bin/env bash
# Builds the fuzz targets (clang 14, libFuzzer) and runs each one briefly from its seed corpus:
# FUZZ_SMOKE_SECONDS seconds each (default 6, so about half a minute for all five). Exits
# non-zero when any target crashes, leaks, hangs or breaks one of its expectations; the input
# that did it is kept in build-fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
VT_WITH_FUZZ=1 scripts/install-deps.sh
dir=$(fuzz/build.sh)
seconds=${FUZZ_SMOKE_SECONDS:-6}
mkdir -p "$dir/artifacts"
# Status files need room for a few units; everything else is a few replies or lines.
max_len_for() { case $1 in fuzz_status_files) echo 65536 ;; *) echo 8192 ;; esac; }
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=()
for fuzzer in "$dir"/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  work="$dir/smoke-corpus/$name"   # new inputs go here; the checked-in seeds stay as they are
  rm -rf "$work"; mkdir -p "$work"
  dict=(); [ -f "fuzz/dicts/$name.dict" ] && dict=(-dict="fuzz/dicts/$name.dict")
  log="$dir/smoke-$name.log"
  if "$fuzzer" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len="$(max_len_for "$name")" \
      -artifact_prefix="$dir/artifacts/$name-" -print_final_stats=1 "${dict[@]}" \
      "$work" "fuzz/seeds/$name" >"$log" 2>&1; then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*' || echo '?')
    echo "fuzz smoke: $name ok ($runs runs, coverage $cov)"
  else
    echo "fuzz smoke: $name FAILED (log: $log)"
    grep -E 'ERROR|expectation failed|SUMMARY|Test unit written' "$log" | head -20 || true
    failed+=("$name")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz smoke failed: ${failed[*]}"
  exit 1
fi
