#!/usr/bin/env bash
# Installs what is missing, builds, and starts the terminal on its built-in simulated unit.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
exec build/qt/velmoor-terminal --simulate "$@"
