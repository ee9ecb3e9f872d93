#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, ASan and UBSan, and runs each one for a bounded time.
# Usage: scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]   (default 60 s, all targets; FUZZ_JOBS
# targets at a time, default one per core)
# Fails on any crash, leak, sanitizer report or unit slower than 1 s. New inputs found go to
# build/fuzz/corpus/<target>; a failing input is left as build/fuzz/artifacts/<target>/crash-*.
# After a long campaign, the small units that reach new code join the committed seeds: copy the
# units of build/fuzz/corpus/<target> up to 4 KB into a folder, then
#   build/fuzz/fuzz/<target> -merge=1 -use_counters=0 fuzz/seeds/<name> <that folder>
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=(fuzz_scanner fuzz_utf8 fuzz_numeric fuzz_run fuzz_row_cut fuzz_zip fuzz_xlsx)
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
  local name=${1#fuzz_}
  if [[ $name == row_cut ]]; then name=run; fi  # the same workbooks, cut into rows
  echo "$repo/fuzz/seeds/$name"
  if [[ $1 == fuzz_run && ${DRUMLO_FUZZ_REAL:-0} == 1 ]]; then
    for set in real songtable; do
      if [[ -d $corpus_dir/$set ]]; then echo "$corpus_dir/$set"; fi
    done
  fi
}

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# Targets run side by side, one per core; each one's output goes to its log, printed on failure.
jobs=${FUZZ_JOBS:-$(nproc)}
fuzz_one() {
  local target=$1 work="$build/corpus/$1" artifacts="$build/artifacts/$1" seeds
  mkdir -p "$work" "$artifacts"
  mapfile -t seeds < <(seeds_of "$target")
  "$build/fuzz/$target" -max_total_time="$seconds" -timeout=1 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" "${seeds[@]}" \
    >"$build/$target.log" 2>&1
}
declare -A pids
status=0
report() {
  local target=$1 rc=$2
  if ((rc != 0)); then
    tail -n 60 "$build/$target.log" >&2
    echo "== $target FAILED; inputs in $build/artifacts/$target" >&2
    status=1
  fi
  echo "== $target: $(grep -h '^stat::number_of_executed_units' "$build/$target.log" | tr -dc 0-9) runs in ${seconds}s," \
    "corpus $(find "$build/corpus/$target" -type f | wc -l) units"
}
for target in "${targets[@]}"; do
  while (($(jobs -rp | wc -l) >= jobs)); do wait -n || true; done
  fuzz_one "$target" &
  pids[$target]=$!
done
for target in "${targets[@]}"; do
  rc=0
  wait "${pids[$target]}" || rc=$?
  report "$target" "$rc"
done
exit $status
