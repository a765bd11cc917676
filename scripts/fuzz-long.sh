#!/usr/bin/env bash
# Long fuzzing runs: each fuzz target (or those named as arguments, e.g. fuzz_status_files)
# runs for FUZZ_SECONDS seconds (default 600) on a corpus kept between runs in
# build-fuzz/corpus/<target>, seeded from fuzz/seeds/<target>. FUZZ_JOBS targets run at once
# (default 1). Prints one line per target: executions, coverage, features, corpus, outcome;
# the logs are in build-fuzz/logs/, crashing inputs in build-fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
VT_WITH_FUZZ=1 scripts/install-deps.sh
dir=$(fuzz/build.sh)
seconds=${FUZZ_SECONDS:-600}
jobs=${FUZZ_JOBS:-1}
mkdir -p "$dir/artifacts" "$dir/logs"
# Status files need room for a few units; everything else is a few replies or lines.
max_len_for() { case $1 in fuzz_status_files) echo 65536 ;; *) echo 8192 ;; esac; }
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in "$dir"/fuzz_*; do [ -x "$f" ] && targets+=("$(basename "$f")"); done
fi

run_one() {
  local name=$1
  local corpus="$dir/corpus/$name"
  mkdir -p "$corpus"
  local dict=(); [ -f "fuzz/dicts/$name.dict" ] && dict=(-dict="fuzz/dicts/$name.dict")
  local log="$dir/logs/$name.log"
  local outcome=ok
  local started=$SECONDS
  "$dir/$name" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len="$(max_len_for "$name")" \
    -artifact_prefix="$dir/artifacts/$name-" -print_final_stats=1 "${dict[@]}" \
    "$corpus" "fuzz/seeds/$name" >"$log" 2>&1 || outcome=FAILED
  local took=$((SECONDS - started))
  local runs cov ft corp
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*' || echo '?')
  ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*' || echo '?')
  corp=$(ls "$corpus" | wc -l)
  echo "$name: ${took}s, $runs executions, coverage $cov edges, $ft features, corpus $corp, $outcome"
}

pids=()
for t in "${targets[@]}"; do
  run_one "$t" &
  pids+=($!)
  if [ ${#pids[@]} -ge "$jobs" ]; then wait "${pids[0]}" || true; pids=("${pids[@]:1}"); fi
done
for p in "${pids[@]}"; do wait "$p" || true; done
found=()
for t in "${targets[@]}"; do
  grep -q 'ERROR: \|expectation failed' "$dir/logs/$t.log" 2>/dev/null && found+=("$t")
done
if [ ${#found[@]} -gt 0 ]; then
  echo "findings in: ${found[*]} (see $dir/logs/)"
  exit 1
fi
