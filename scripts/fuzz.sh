#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time.
#   scripts/fuzz.sh [SECONDS [SEED_DIR...]]
# SECONDS per target (default 60). The listings of tests/data seed every
# target; further folders of listings may be given. FUZZ_TARGETS="a b" runs
# only those targets; FUZZ_BUILD_DIR changes the build folder (build-fuzz).
# The corpus grows in $FUZZ_BUILD_DIR/corpus/<target>, crash inputs land in
# $FUZZ_BUILD_DIR/artifacts/, logs in $FUZZ_BUILD_DIR/logs/. Fails on any
# crash, leak, sanitizer report or timeout.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
build=${FUZZ_BUILD_DIR:-build-fuzz}
seeds=(tests/data "$@")

# A build folder configured already (scripts/test-sanitizers.sh makes one
# with the fuzz targets) is used as it is.
if [[ ! -f "$build/CMakeCache.txt" ]]; then
  CC=clang CXX=clang++ cmake -S . -B "$build" -DGUIDEPACK_FUZZ=ON -DBUILD_TESTING=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
targets=(${FUZZ_TARGETS:-$(sed -n 's/^ *foreach(target \(.*\))$/\1/p' fuzz/CMakeLists.txt)})
cmake --build "$build" -j 2 --target guidepack "${targets[@]}"

# The guide parser starts from the guides of the seed listings.
guide_seeds="$build/guide-seeds"
if [[ " ${targets[*]} " == *" fuzz_guide_parser "* ]]; then
  mkdir -p "$guide_seeds"
  find "${seeds[@]}" -type f -print0 | while IFS= read -r -d '' listing; do
    "$build/guidepack" "$listing" "$guide_seeds/$(basename "$listing").prg" >/dev/null 2>&1 || true
  done
fi

# Per target: the largest input tried and its own extra flags.
declare -A max_len=([fuzz_fix_utf8]=4096)
declare -A extra=([fuzz_whole_run]="-dict=fuzz/xmltv.dict")

mkdir -p "$build/artifacts" "$build/logs"
# Runs one target for the time given; its log tells what happened.
run_target() {
  local target=$1 corpus="$build/corpus/$1" log="$build/logs/$1.log"
  local inputs=("${seeds[@]}")
  [[ $target == fuzz_guide_parser ]] && inputs=("$guide_seeds")
  mkdir -p "$corpus"
  # shellcheck disable=SC2086
  "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -max_len="${max_len[$target]:-65536}" -print_final_stats=1 \
      -artifact_prefix="$build/artifacts/$target-" ${extra[$target]:-} \
      "$corpus" "${inputs[@]}" >"$log" 2>&1
}

# All targets at once: the time asked is then the time the script takes.
echo "== ${targets[*]}: ${seconds} s each, side by side" >&2
declare -A pids
for target in "${targets[@]}"; do
  run_target "$target" &
  pids[$target]=$!
done

failed=0
for target in "${targets[@]}"; do
  log="$build/logs/$target.log"
  if ! wait "${pids[$target]}"; then
    failed=1
    echo "FAIL: $target (log: $log)" >&2
    grep -E '^(==|SUMMARY|artifact_prefix|Test unit written)' "$log" | head -n 20 >&2 || true
  fi
  # The last status line: executions, coverage (cov) and features (ft).
  echo "$target:" >&2
  grep -E '^#[0-9]+' "$log" | tail -n 1 >&2 || true
  grep -E '^stat::number_of_executed_units' "$log" >&2 || true
done
exit "$failed"
