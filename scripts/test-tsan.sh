#!/usr/bin/env bash
# Builds the test programs that run threads with ThreadSanitizer into build-tsan/ and runs them:
# the window's worker and its hand-overs to the GUI thread (offscreen Qt), the site's sender
# against a PostgreSQL server of the test program's own (scripts/pg-test-server.sh), twenty
# benches writing and sending at once (the events' ids), and the core's pieces that several
# threads share (the session log, the trace). Any report fails the run.
# scripts/tsan-suppressions.txt names only other projects' libraries, each with its reason.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
dir=build-tsan
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVT_WITH_BENCH=OFF "${launcher[@]}" \
  -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" >/dev/null
cmake --build "$dir" -j"$(nproc)" --target test_qt test_site test_platform test_serial

export TSAN_OPTIONS="halt_on_error=0 exitcode=66 second_deadlock_stack=1 suppressions=$PWD/scripts/tsan-suppressions.txt"
export QT_QPA_PLATFORM=offscreen
passed=0
failed=0
run() {
  echo "== $*"
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $*"; fi
}
run "$dir/qt/test_qt"
run "$dir/test_site"
run "$dir/test_platform" --gtest_filter='LogFolder.AThreadWriting*'
run "$dir/test_serial" --gtest_filter='DiagnosticTraceLines.*'
echo "ThreadSanitizer: $passed passed, $failed failed"
[ "$failed" = 0 ]
