#!/usr/bin/env bash
# Makes each I/O call of a real run fail in turn, with strace's fault
# injection, one failure per run, and checks that every failure is a clean
# one: no crash and no hang; the guide is the old one byte for byte, or a
# guide that guidepack-dump reads; status 0 only with the whole guide and the
# whole trace; a message on standard error with any other status; nothing
# left beside the guide or in $TMPDIR; the listing unchanged. Twice: a guide
# replaced by rename, and a guide whose folder takes no new file (written in
# $TMPDIR, then copied over it).
#   scripts/test-faults.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
source_dir=$(cd "$(dirname "$0")/.." && pwd)
dump=$build/src/guidepack-dump
command -v strace >/dev/null || { echo "test-faults: strace is missing: run scripts/install-deps.sh --test" >&2; exit 1; }

# Each call, with the errors it is made to fail with.
faults=(openat:EACCES openat:EMFILE read:EIO write:ENOSPC write:EIO pread64:EIO pwrite64:ENOSPC lseek:EIO
        fsync:EIO rename:EIO fchmod:EPERM fchown:EPERM close:EIO ftruncate:EIO clone3:EAGAIN)

work=$(mktemp -d "${TMPDIR:-/tmp}/guidepack-faults.XXXXXX")
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
chmod 755 "$work"
mkdir -m 755 "$work/run" "$work/bin" && mkdir -m 1777 "$work/tmp"
# A copy that nobody may run, wherever the build lies.
guidepack=$work/bin/guidepack
cp "$build/src/guidepack" "$guidepack"
listing=$work/run/listing.xml
cp "$source_dir/tests/data/sample.xml" "$listing" && chmod 644 "$listing"
printf 'an old guide' >"$work/old.guide"
runs=0 failures=0

# A run's trace and guide, less the time they were written at.
without_time() { sed -E 's/\(time: [0-9]{10}\)/(time: TIME)/' "$1"; }
guide_body() { tail -c +19 "$1"; }

# Runs guidepack under strace with `$@` as strace's options, in the setting
# $place (rename or copy): the old guide first, the run's files after.
run() {
  local user=() guide=$work/run/guide.prg
  cp "$work/old.guide" "$guide"
  chmod 755 "$work/run"
  if [[ $place == copy ]]; then
    # The folder takes no new file; the guide may be written.
    if [[ $(id -u) -eq 0 ]]; then chown nobody "$guide" && user=(-u nobody); else chmod 555 "$work/run"; fi
  fi
  (cd "$work/run" && TMPDIR=$work/tmp timeout 30 strace -f "${user[@]}" "$@" \
    "$guidepack" listing.xml guide.prg >"$work/out" 2>"$work/err")
}

# What is wrong with the last run's results, if anything.
judge() {
  local status=$1 guide=$work/run/guide.prg
  ((status != 124 && status <= 128)) || { echo "status $status (a crash or a hang)"; return; }
  cmp -s "$listing" "$source_dir/tests/data/sample.xml" || { echo "the listing changed"; return; }
  [[ $(ls -A "$work/run") == $'guide.prg\nlisting.xml' && -z $(ls -A "$work/tmp") ]] ||
    { echo "files left: $(ls -A "$work/run" "$work/tmp" | tr '\n' ' ')"; return; }
  cmp -s "$guide" "$work/old.guide" || "$dump" "$guide" >/dev/null 2>&1 || { echo "a damaged guide"; return; }
  if ((status == 0)); then
    cmp -s <(guide_body "$guide") "$work/clean.guide" || { echo "status 0 with another guide"; return; }
    cmp -s <(without_time "$work/out") "$work/clean.out" || { echo "status 0 with another trace"; return; }
  elif [[ ! -s $work/err ]]; then
    echo "status $status and no message"
  fi
}

for place in rename copy; do
  run -o "$work/calls" -e trace=all
  without_time "$work/out" >"$work/clean.out"
  guide_body "$work/run/guide.prg" >"$work/clean.guide"
  [[ -s $work/clean.guide && ! -s $work/err ]] || { echo "test-faults: the run without faults failed" >&2; exit 1; }
  for fault in "${faults[@]}"; do
    call=${fault%%:*} error=${fault#*:}
    count=$(grep -cE "^[0-9]+ +$call\(" "$work/calls" || true)
    for ((n = 1; n <= count; n++)); do
      status=0
      run -o /dev/null -e trace="$call" -e inject="$call:error=$error:when=$n" || status=$?
      runs=$((runs + 1))
      verdict=$(judge "$status")
      if [[ -n $verdict ]]; then
        failures=$((failures + 1))
        echo "test-faults: $place, $call call $n of $count fails with $error: $verdict" >&2
        sed 's/^/  stderr: /' "$work/err" >&2
      fi
    done
  done
done
echo "test-faults: $runs runs, $failures with a failure not clean" >&2
((failures == 0))
