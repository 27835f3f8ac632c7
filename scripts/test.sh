#!/usr/bin/env bash
# Installs what is missing, builds with the tests, and runs every test through CTest, then the
# Windows build's (scripts/windows.sh). The end-to-end tests need an X display: without one, a
# private Xvfb is started for the run. The .deb is built and inspected but never installed on
# this system.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build=${BUILD_DIR:-build}

# A short bounded fuzzing run of the core; scripts/fuzz.sh 600 runs a longer one.
bash scripts/fuzz.sh "${FUZZ_SECONDS:-10}"

# The unit tests again under ThreadSanitizer, and under AddressSanitizer with UBSan.
bash scripts/sanitizers.sh

export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
chmod 700 "$XDG_RUNTIME_DIR"
pids=()
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 91 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -noreset -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    pids+=($!)
    export DISPLAY=":$n"
    break
  done
  for _ in $(seq 50); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
  done
  # A window manager and a notification area, as on a desktop.
  openbox >/dev/null 2>&1 &
  pids+=($!)
  trayer --edge top --align right --width 10 >/dev/null 2>&1 &
  pids+=($!)
  sleep 1
fi
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done' EXIT

ctest --test-dir "$build" --output-on-failure --timeout 300

# The Windows programs, 32- and 64-bit: cross-built, packed and tested under Wine on the same
# display.
bash scripts/windows.sh
