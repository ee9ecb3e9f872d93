#!/usr/bin/env bash
# Line coverage of the core (XML scanner, file module, generator) from the whole test run.
# Prints gcovr's per-file table and the total, writes build/coverage/coverage.html, and fails
# when the core's lines are less than 95% covered.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
build=build/coverage

echo "== coverage: configure, build"
cmake --preset coverage -DDRUMLO_WERROR=ON >/dev/null
cmake --build --preset coverage -j "$jobs"

# Counters of an earlier run would be added to this one's.
find "$build" -name '*.gcda' -delete

echo "== coverage: test"
ctest --preset coverage -j "$jobs"

echo "== coverage: core lines"
# Paths are matched relative to the repository root, so only the three core folders count;
# tests, benchmarks, fuzz targets and generated files fall outside the filter. Win32 files are
# not compiled natively and would only show as uncovered. The portable-decoder test compiles
# the decoder a second time with other settings; its counters are left out, and gcov runs one
# at a time, since two runs on one source write the same .gcov file.
gcovr --root . --object-directory "$build" \
  --exclude-directories '.*fileio_portable_decoder_tests.*' \
  --filter 'src/xmlscan/' --filter 'src/fileio/' --filter 'src/generator/' \
  --exclude '.*_win32\.' \
  --txt - --html "$build/coverage.html" --print-summary \
  --fail-under-line 95 "$build"
