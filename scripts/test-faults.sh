#!/usr/bin/env bash
# scripts/test-faults.sh BUILD_DIR: each I/O call of a real run fails in turn
# (strace's fault injection), for a guide replaced by rename and one copied
# over, and judge() checks that the failure is a clean one that says why.
set -euo pipefail
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
sample=$(cd "$(dirname "$0")/.." && pwd)/tests/data/sample.xml
command -v strace >/dev/null || { echo "test-faults: no strace: run scripts/install-deps.sh --test" >&2; exit 1; }
faults=(openat:EACCES openat:EMFILE read:EIO write:ENOSPC write:EIO pread64:EIO pwrite64:ENOSPC lseek:EIO
        fsync:EIO rename:EIO fchmod:EPERM fchown:EPERM close:EIO ftruncate:EIO clone3:EAGAIN
        copy_file_range:EIO copy_file_range:ENOSPC copy_file_range:EXDEV)

work=$(mktemp -d "${TMPDIR:-/tmp}/guidepack-faults.XXXXXX")
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
chmod 755 "$work" && mkdir -m 755 "$work/run" "$work/bin" && mkdir -m 1777 "$work/tmp"
# Copies that nobody may run and read, wherever the build lies.
cp "$build/guidepack" "$work/bin/" && cp "$sample" "$work/run/listing.xml" && chmod 644 "$work/run/listing.xml"
# A guide of no channel: guidepack writes over nothing else.
printf 'PRG100010000000000\0\0\0\0' >"$work/old.guide"
runs=0 failures=0

without_time() { sed -E 's/\(time: [0-9]{10}\)/(time: TIME)/' "$1"; }
guide_body() { tail -c +19 "$1"; }

# Runs guidepack under strace, with `$@` as strace's options, on the old guide.
run() {
  local user=()
  cp "$work/old.guide" "$work/run/guide.prg" && chmod 755 "$work/run"
  if [[ $place == copy && $(id -u) -eq 0 ]]; then chown nobody "$work/run/guide.prg" && user=(-u nobody)
  elif [[ $place == copy ]]; then chmod 555 "$work/run"; fi
  (cd "$work/run" && TMPDIR=$work/tmp timeout 30 strace -f "${user[@]}" "$@" \
    "$work/bin/guidepack" listing.xml guide.prg >"$work/out" 2>"$work/err")
}

# What is wrong with the last run, if anything: a crash or a hang; the
# listing changed; files left; a guide neither the old one nor well-formed;
# status 0 without the whole guide and trace; another status, no message;
# a failure line of the listing or the guide without its cause after it.
judge() {
  local status=$1 guide=$work/run/guide.prg
  ((status != 124 && status <= 128)) || { echo "status $status: a crash or a hang"; return; }
  cmp -s "$work/run/listing.xml" "$sample" || { echo "the listing changed"; return; }
  [[ $(ls -A "$work/run") == $'guide.prg\nlisting.xml' && -z $(ls -A "$work/tmp") ]] ||
    { echo "files left: $(ls -A "$work/run" "$work/tmp" | tr '\n' ' ')"; return; }
  cmp -s "$guide" "$work/old.guide" || "$build/guidepack-dump" "$guide" >/dev/null 2>&1 || echo "a damaged guide"
  if ((status == 0)); then
    cmp -s <(guide_body "$guide") "$work/clean.guide" || echo "status 0 with another guide"
    cmp -s <(without_time "$work/out") "$work/clean.out" || echo "status 0 with another trace"
  elif [[ ! -s $work/err ]]; then
    echo "status $status and no message"
  elif awk '/^Unable to (open|create) | : failed to write$/ {
              if ((getline cause) <= 0 || cause !~ /^guidepack: /) bad = 1
            }
            END { exit !bad }' "$work/err"; then
    echo "a failure without its cause"
  fi
}

for place in rename copy; do
  run -o "$work/calls" -e trace=all
  without_time "$work/out" >"$work/clean.out" && guide_body "$work/run/guide.prg" >"$work/clean.guide"
  [[ -s $work/clean.guide && ! -s $work/err ]] || { echo "test-faults: the run without faults failed" >&2; exit 1; }
  for fault in "${faults[@]}"; do
    call=${fault%%:*} error=${fault#*:}
    count=$(grep -cE "^[0-9]+ +$call\(" "$work/calls" || true)
    for ((n = 1; n <= count; n++)); do
      status=0 && runs=$((runs + 1))
      run -o /dev/null -e trace="$call" -e inject="$call:error=$error:when=$n" || status=$?
      verdict=$(judge "$status")
      [[ -z $verdict ]] && continue
      failures=$((failures + 1))
      echo "test-faults: $place, $call call $n of $count fails with $error: $verdict" >&2
      sed 's/^/  stderr: /' "$work/err" >&2
    done
  done
done
echo "test-faults: $runs runs, $failures with a failure not clean" >&2
((failures == 0))
