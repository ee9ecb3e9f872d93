#!/usr/bin/env bash
# Builds every configuration with warnings as errors and runs all test suites: native debug,
# sanitizers and line coverage, then the Windows cross build with its tests under Wine, then the
# release packages, checked as users get them (scripts/check-packages.sh).
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

# The threads of a run under ThreadSanitizer: the suites that start them, then the tool on the
# example and on a 20 MB workbook, its reading thread on as always. The hostile workbooks are
# left to the other builds: under ThreadSanitizer their hundreds of megabytes take minutes.
run_tsan() {
  echo "== tsan: the generator, file access and command-line suites, and whole runs"
  cmake --preset tsan -DDRUMLO_WERROR=ON >/dev/null
  cmake --build --preset tsan -j "$jobs" --target generator_tests fileio_tests cli_tests \
    drumlo-listgen
  local out
  out=$(mktemp -d)
  # The UTF-16 workbooks the file access suite reads are made by a test of their own.
  ctest --preset tsan -R '^Utf16Workbooks[.]MakeWithIconv$' >/dev/null
  TSAN_OPTIONS=halt_on_error=1:abort_on_error=1 bash -c '
    set -euo pipefail
    build/tsan/tests/generator/generator_tests --gtest_filter="-*Hostile*" --gtest_brief=1
    build/tsan/tests/fileio/fileio_tests --gtest_brief=1
    build/tsan/tests/cli/cli_tests --gtest_brief=1
    mkdir -p "$1/example" "$1/big"
    build/tsan/drumlo-listgen --quiet --out "$1/example" examples/歌曲规范总表.xml
    diff -r "$1/example" examples/expected
    build/release/bench/make_workbook 20 "$1/20.xml" >/dev/null
    build/tsan/drumlo-listgen --quiet --from 1 --to 2147483647 --out "$1/big" "$1/20.xml"
    echo "tsan: whole runs clean, $(ls "$1/big" | wc -l) list files from 20 MB"' bash "$out"
  rm -rf "$out"
}

# Only system DLLs may appear in the import table: no MinGW runtime beside the .exe.
check_imports() {
  local exe dll bad=0
  local allowed='^(kernel32|user32|gdi32|comctl32|comdlg32|shell32|ole32|oleaut32|advapi32|version|msvcrt|ucrtbase|ws2_32|uxtheme|shlwapi|api-ms-win-.*)\.dll$'
  while IFS= read -r -d '' exe; do
    while read -r dll; do
      if ! [[ ${dll,,} =~ $allowed ]]; then
        echo "import check: $exe needs $dll" >&2
        bad=1
      fi
    done < <(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
  done < <(find build/windows -name '*.exe' -not -path '*/CMakeFiles/*' -print0)
  return "$bad"
}

# Windows programs need an X display; CI has none, so a headless one is made for the run.
with_display() {
  if [[ -z ${DISPLAY-} ]]; then
    xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$@"
  else
    "$@"
  fi
}

run_windows() {
  echo "== windows: configure, build, test under Wine"
  cmake --preset windows -DDRUMLO_WERROR=ON >/dev/null
  cmake --build --preset windows -j "$jobs"
  # A throw-away prefix; Wine's background processes are started before ctest so that they do
  # not hold ctest's output pipes, and stopped afterwards.
  WINEPREFIX=$(mktemp -d /tmp/drumlo-wine.XXXXXX)
  export WINEPREFIX
  trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$WINEPREFIX"' EXIT
  bash scripts/wine-prefix.sh
  # Wine now and then ends a test program as it starts, without a word (once in thousands of
  # runs); a failed test gets one more attempt, and each that needed it is listed at the end.
  local log="$WINEPREFIX/ctest.log" retried  # goes with the prefix
  with_display bash -c 'bash scripts/wine-warm.sh &&
                        ctest --preset windows -j "$1" --repeat until-pass:2 | tee "$2"
                        rc=${PIPESTATUS[0]}; wineserver -k >/dev/null 2>&1; exit $rc' \
    bash "$jobs" "$log"
  retried=$(grep -E '[*]{3}(Failed|Timeout|Exception)' "$log" || true)
  if [[ -n $retried ]]; then
    printf '== windows: tests that passed only on their second attempt\n%s\n' "$retried"
  fi
  echo "== windows: import tables"
  check_imports
  echo "import check: only system DLLs"
}

run_native debug
run_native asan
bash scripts/coverage.sh
echo "== fuzz: each target for ${FUZZ_SECONDS:-60} s under ASan and UBSan"
bash scripts/fuzz.sh "${FUZZ_SECONDS:-60}"
echo "== bench: the whole-run benchmark on a 1 MB workbook"
bash bench/run --sizes 1 --reps 3
echo "== long day: 50 runs of the example in one process; memory and descriptors stay"
cmake --build --preset release -j "$jobs" --target long_day
long_day_out=$(mktemp -d)
build/release/bench/long_day 50 "$long_day_out"
rm -rf "$long_day_out"
run_tsan
run_windows
echo "== packages: build, unpack, install and check them; package again and compare"
bash scripts/check-packages.sh
