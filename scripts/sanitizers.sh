#!/usr/bin/env bash
# Builds the unit tests with sanitizers and runs them: ThreadSanitizer over the core and the
# receiver (its writer thread and the rule that nothing is logged or acted on before its state is
# on disk), AddressSanitizer with UndefinedBehaviorSanitizer over the core, the receiver and the
# offscreen widget tests. Each build has a folder of its own; a sanitizer report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

# run_sanitized SANITIZER FOLDER LABELS: configure, build the tests carrying LABELS, run them.
run_sanitized() {
  local sanitizer=$1 build=$2 labels=$3
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPULSIERO_SANITIZE="$sanitizer" -DPULSIERO_BENCHMARKS=OFF >/dev/null
  local targets
  # Test programs only: a few tests of those labels are scripts.
  targets=$(ctest --test-dir "$build" -N -L "$labels" | sed -n 's/^ *Test *#[0-9]*: \(tst_.*\)/\1/p')
  # pressatore is started by the tests of two processes sharing one settings file.
  cmake --build "$build" --parallel 2 --target pressatore $targets >/dev/null
  ctest --test-dir "$build" -L "$labels" -R '^tst_' --output-on-failure --timeout 300
}

# QProcess starts children with vfork semantics: the child's fork hook runs in the parent's memory,
# and without die_after_fork=0 the test itself then dies at its next std::thread.
# The suppressions are compiled into the programs (tests/sanitizers/Soppressioni.cpp).
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 die_after_fork=0"
run_sanitized thread "${TSAN_BUILD_DIR:-build-tsan}" '^(core|ricevitore)$'

export ASAN_OPTIONS="detect_leaks=1 abort_on_error=0 strict_string_checks=1"
export LSAN_OPTIONS="print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1 print_stacktrace=1"
run_sanitized address "${ASAN_BUILD_DIR:-build-asan}" '^(core|ricevitore|gui)$'
