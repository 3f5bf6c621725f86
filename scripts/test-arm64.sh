#!/usr/bin/env bash
# Cross-builds guidepack and guidepack-dump for arm64 with Debian's cross
# toolchain into build-arm64 (or the folder given first), runs every
# end-to-end case of tests/cli under qemu, and checks that the arm64 build
# writes the same guide and trace as the native one (in build/, or the folder
# given second) for the largest listing of tests/data.
# Installs what is missing, adding the arm64 architecture to dpkg.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-arm64}
native=${2:-build}

say() { echo "test-arm64: $*" >&2; }
fail() { say "FAILED: $*"; exit 1; }

scripts/install-deps.sh --arm64
say "cross-building in $dir"
cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBUILD_TESTING=OFF -DGUIDEPACK_FUZZ=OFF >/dev/null
cmake --build "$dir" -j 2 --target guidepack guidepack-dump >/dev/null
for program in guidepack guidepack-dump; do
  machine=$(readelf -h "$dir/$program" | sed -n 's/^ *Machine: *//p')
  [[ "$machine" == AArch64 ]] || fail "$dir/$program is built for '$machine'"
done
scripts/build.sh "$native" >/dev/null

# Launchers that run the arm64 programs under qemu, so that every case runs
# there, those that refuse GUIDEPACK_WRAPPER included. On one core: Debian
# 12's qemu-user (7.2) cannot start a thread here (a two-line std::thread
# program hangs in it), and on one core guidepack reads with one thread. A
# run that hangs all the same is stopped and fails its case.
for program in guidepack guidepack-dump; do
  printf '#!/bin/sh\nexec timeout 300 taskset -c 0 qemu-aarch64 -L /usr/aarch64-linux-gnu %q "$@"\n' \
    "$(realpath "$dir/$program")" >"$dir/$program-qemu"
  chmod +x "$dir/$program-qemu"
done

say "end-to-end cases under qemu"
passed=0
failed=()
for case_dir in tests/cli/cases/*/; do
  name=$(basename "$case_dir")
  if GUIDEPACK_WRAPPER="" bash tests/cli/run_case.sh "$dir/guidepack-qemu" "$case_dir" tests/data \
      >"$dir/case-$name.log" 2>&1; then
    passed=$((passed + 1))
  else
    failed+=("$name")
    cat "$dir/case-$name.log" >&2
  fi
done
say "cases: $passed passed, ${#failed[@]} failed"
[[ ${#failed[@]} -eq 0 ]] || fail "cases: ${failed[*]}"

# The time stamp (header bytes 8 to 17, and the trace's "(time: ...)") is
# the only thing allowed to differ.
largest=$(realpath "$(ls -S tests/data/*.xml* | head -n 1)")
say "converting $(basename "$largest") natively and under qemu"
work=$(mktemp -d "${TMPDIR:-/tmp}/guidepack-arm64.XXXXXX")
trap 'rm -rf "$work"' EXIT
# Each in a folder of its own, under the same guide name: the trace shows it.
convert() {
  mkdir "$work/$1"
  (cd "$work/$1" && "$2" "$largest" guide.prg >trace)
}
convert native "$(realpath "$native/guidepack")"
convert arm64 "$(realpath "$dir/guidepack-qemu")"
mask_guide() { { head -c 8 "$1"; printf '%010d' 0; tail -c +19 "$1"; } | od -An -v -tx1; }
mask_trace() { sed 's/(time: [0-9]\{10\})/(time: ..........)/' "$1"; }
[[ $(stat -c %s "$work/native/guide.prg") -gt 18 ]] || fail "the native guide is empty"
cmp -s <(mask_guide "$work/native/guide.prg") <(mask_guide "$work/arm64/guide.prg") ||
  fail "the arm64 guide differs from the native one"
cmp -s <(mask_trace "$work/native/trace") <(mask_trace "$work/arm64/trace") ||
  { diff <(mask_trace "$work/native/trace") <(mask_trace "$work/arm64/trace") | head -n 20 >&2
    fail "the arm64 trace differs from the native one"; }
"$native/guidepack-dump" --json "$work/native/guide.prg" >"$work/native.json"
"$dir/guidepack-dump-qemu" --json "$work/native/guide.prg" >"$work/arm64.json"
cmp -s "$work/native.json" "$work/arm64.json" || fail "guidepack-dump --json differs on arm64"
say "passed: $(stat -c %s "$work/arm64/guide.prg") guide bytes identical but for the time stamp"
