#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UBSan) and runs each for the
# given number of seconds (default 60) from the seed corpus in tests/fuzz/corpus. Fails, keeping
# the crashing input under the build folder (never in the source tree), when a target finds a
# crash or a sanitizer report.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=${FUZZ_BUILD_DIR:-${BUILD_DIR:-build}/fuzz}
artifacts="$build/artifacts"
mkdir -p "$artifacts"
CXX=clang++ cmake -S . -B "$build" -G Ninja -DPULSIERO_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --parallel 2 >/dev/null
failed=0
for target in ini numero trama autenticazione; do
  work=$(mktemp -d)
  cp tests/fuzz/corpus/$target/* "$work"/
  log="$build/fuzz_$target.log"
  if "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len=4096 \
      -artifact_prefix="$artifacts/" "$work" >"$log" 2>&1; then
    echo "fuzz_$target: $(grep -E '^Done' "$log" || echo done), nessun errore"
  else
    echo "fuzz_$target: ERRORE"
    grep -E "ERROR|SUMMARY|Test unit written" "$log" || tail -20 "$log"
    failed=1
  fi
  rm -rf "$work"
done
exit $failed
