#!/usr/bin/env bash
# Builds the fuzz targets with clang 14 and libFuzzer into build-fuzz/ (or FUZZ_BUILD_DIR),
# apart from the g++ build. Prints the folder the fuzzers are in.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${FUZZ_BUILD_DIR:-build-fuzz}
CXX_FUZZ=${CXX_FUZZ:-clang++-14}
if ! command -v "$CXX_FUZZ" >/dev/null; then
  echo "fuzz/build.sh: $CXX_FUZZ not found (scripts/install-deps.sh with VT_WITH_FUZZ=1 installs it)" >&2
  exit 1
fi
cmake -S fuzz -B "$dir" -DCMAKE_CXX_COMPILER="$CXX_FUZZ" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" -j"$(nproc)" >&2
echo "$dir"
