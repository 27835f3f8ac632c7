#!/usr/bin/env bash
# Installs what building and running the program needs, builds only the program (no receiver, no
# tests, no benchmarks) and starts the window. Arguments go to the program: run.sh --tasto 1.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --finestra
exec "${BUILD_DIR:-build}/pulsiero" "$@"
