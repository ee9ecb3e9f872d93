#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, ASan and UBSan, and runs each one for a bounded time.
# Usage: scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]   (default 60 s, all targets)
# Fails on any crash, leak, sanitizer report or unit slower than 1 s. New inputs found go to
# build/fuzz/corpus/<target>; a failing input is left as build/fuzz/artifacts/<target>/crash-*.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=(fuzz_scanner fuzz_utf8 fuzz_numeric fuzz_run fuzz_zip fuzz_xlsx)
fi
build="$repo/build/fuzz"
corpus_dir=${DRUMLO_CORPUS_DIR:-"$repo/../shared/corpus"}

CC=clang CXX=clang++ cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DDRUMLO_BUILD_FUZZ=ON -DDRUMLO_SANITIZE=ON -DDRUMLO_BUILD_TESTS=OFF -DDRUMLO_WERROR=ON
cmake --build "$build" --target "${targets[@]}" -j2

# Seed folders per target: the committed, minimised seeds. Large real workbooks would slow
# every run of a whole-run target; DRUMLO_FUZZ_REAL=1 adds the real corpus (read in place,
# never copied into the repository) for a longer campaign.
seeds_of() {
  echo "$repo/fuzz/seeds/${1#fuzz_}"
  if [[ $1 == fuzz_run && ${DRUMLO_FUZZ_REAL:-0} == 1 ]]; then
    for set in real songtable; do
      if [[ -d $corpus_dir/$set ]]; then echo "$corpus_dir/$set"; fi
    done
  fi
}

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
status=0
for target in "${targets[@]}"; do
  work="$build/corpus/$target"
  artifacts="$build/artifacts/$target"
  mkdir -p "$work" "$artifacts"
  mapfile -t seeds < <(seeds_of "$target")
  echo "== $target: ${seconds}s"
  if ! "$build/fuzz/$target" -max_total_time="$seconds" -timeout=1 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" "${seeds[@]}"; then
    echo "== $target FAILED; inputs in $artifacts" >&2
    status=1
  fi
  echo "== $target corpus: $(find "$work" -type f | wc -l) units"
done
exit $status
