#!/usr/bin/env bash
# Builds every configuration with warnings as errors and runs all test suites.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

run_native() {
  local preset=$1
  echo "== ${preset}: configure, build, test"
  cmake --preset "$preset" -DDRUMLO_WERROR=ON >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
}

run_native debug
run_native asan
