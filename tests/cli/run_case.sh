#!/usr/bin/env bash
# Runs one end-to-end case: run_case.sh GUIDEPACK CASE_DIR DATA_DIR
#
# The case folder is copied into a fresh temporary folder, DATA_DIR is linked
# there as "data", and GUIDEPACK runs there with the arguments of CASE_DIR/args
# (one per line), CASE_DIR/env (NAME=VALUE lines) in its environment and
# CASE_DIR/stdin (or /dev/null) on standard input. Then (README.md):
#   - stdout, stderr and the exit status must equal expected.stdout,
#     expected.stderr and expected.status byte for byte; in stdout the ten
#     digits of "(time: DDDDDDDDDD)" are compared as "(time: ..........)" and
#     must be within a minute of the clock during the run (unless env sets
#     SOURCE_DATE_EPOCH); in stderr the seconds that end the line of --stats
#     are compared as "..";
#   - with expected.guide, the guide file must hold exactly the bytes listed
#     there, the header's time digits equal to those of the trace;
#   - no other file of the folder may be created, changed or removed;
#   - with reference/, the same case in today's form, run in a copy of it,
#     must print the same stdout, write the same guide and return the same.
# GUIDEPACK_WRAPPER, when set, is put in front of the command (valgrind...),
# unless the case holds a file named no-wrapper.
set -uo pipefail

if [[ $# -ne 3 ]]; then
  echo "usage: $0 GUIDEPACK CASE_DIR DATA_DIR" >&2
  exit 2
fi
binary=$(realpath "$1")
case_dir=$(realpath "$2")
data_dir=$(realpath "$3")

work=$(mktemp -d "${TMPDIR:-/tmp}/guidepack-case.XXXXXX")
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
cp -R "$case_dir/." "$work/"
rm -rf "$work/reference"
ln -s "$data_dir" "$work/data"
cd "$work" || exit 2

input=/dev/null
[[ -f "$case_dir/stdin" ]] && input="$case_dir/stdin"
wrapper=()
[[ -n "${GUIDEPACK_WRAPPER:-}" && ! -e "$case_dir/no-wrapper" ]] && read -ra wrapper <<<"$GUIDEPACK_WRAPPER"
# A package build sets SOURCE_DATE_EPOCH for all it runs: a case has the
# clock unless its own env file fixes the time.
unset SOURCE_DATE_EPOCH
environment=()
[[ -f "$case_dir/env" ]] && mapfile -t environment <"$case_dir/env"
fixed_time=0
grep -qs '^SOURCE_DATE_EPOCH=' "$case_dir/env" && fixed_time=1

# guide_of ARGS_FILE: the guide the arguments name: -o's, or the second
# argument that is neither an option nor an option's argument.
guide_of() {
  local args positional=() output="" i
  mapfile -t args <"$1"
  for ((i = 0; i < ${#args[@]}; i++)); do
    case ${args[i]} in
      -o | --output) output=${args[++i]:-} ;;
      --output=*) output=${args[i]#*=} ;;
      -o?*) output=${args[i]#-o} ;;
      -z | -c | --time-zone | --channels | --from | --until | --days) ((++i)) ;;
      --) positional+=("${args[@]:i+1}"); break ;;
      - | "" | [^-]*) positional+=("${args[i]}") ;;
    esac
  done
  echo "${output:-${positional[1]:-}}"
}

# run_in FOLDER ARGS_FILE: runs guidepack in FOLDER, its output in FOLDER/.out.
run_in() {
  local args
  mapfile -t args <"$2"
  mkdir -p "$1/.out"
  (cd "$1" && env "${environment[@]}" "${wrapper[@]}" "$binary" "${args[@]}" <"$input" >.out/stdout 2>.out/stderr)
  echo $? >"$1/.out/status"
}

guide=""
[[ -f "$case_dir/expected.guide" || -d "$case_dir/reference" ]] && guide=$(guide_of "$case_dir/args")

# Every file of the folder with its checksum, but for data/ and the guide.
snapshot() {
  find . \( -path ./data -o -path ./.out \) -prune -o -type f -print0 | sort -z | xargs -0 -r md5sum |
    awk -v guide="./${guide#./}" 'substr($0, 35) != guide'
}
mkdir .out
snapshot >.out/before
before_run=$(date +%s)
run_in . "$case_dir/args"
status=$(cat .out/status)
after_run=$(date +%s)

failed=0
fail() { echo "FAIL: $*"; failed=1; }

# Shows two files with tabs as ^I and carriage returns as ^M.
show_diff() { diff -u --label expected --label actual <(cat -A "$1") <(cat -A "$2"); }

# The trace's time stamp: the clock's, unless the case fixes it.
time_digits=$(sed -n 's/^saving .* (time: \([0-9]\{10\}\))$/\1/p' .out/stdout | head -n 1)
if (( ! fixed_time )) && [[ -n "$time_digits" ]] && (( 10#$time_digits < before_run - 60 || 10#$time_digits > after_run + 60 )); then
  fail "time stamp $time_digits is not the current time ($before_run)"
fi
mask='s/^\(saving .* (time: \)[0-9]\{10\})$/\1..........)/'
(( fixed_time )) && mask=''
sed "$mask" .out/stdout >.out/stdout.masked

[[ ! -f "$case_dir/expected.stdout" && -d "$case_dir/reference" ]] ||
  cmp -s "$case_dir/expected.stdout" .out/stdout.masked || { fail "stdout differs"; show_diff "$case_dir/expected.stdout" .out/stdout.masked; }
# The seconds that end the line of --stats vary: compared as "..".
sed -E 's/^(guidepack: .*; )[0-9]+\.[0-9]{2} s$/\1.. s/' .out/stderr >.out/stderr.masked
cmp -s "$case_dir/expected.stderr" .out/stderr.masked || { fail "stderr differs"; show_diff "$case_dir/expected.stderr" .out/stderr.masked; }
expected_status=$(tr -d '[:space:]' <"$case_dir/expected.status")
[[ "$status" == "$expected_status" ]] || fail "exit status $status, expected $expected_status"

# One byte per line as "offset: hex"; ".." in expected.guide stands for any ASCII digit.
expected_bytes() {
  sed 's/#.*//' "$1" | tr -s '[:space:]' '\n' | grep -v '^$' | awk '{ printf "%06d: %s\n", NR - 1, tolower($0) }'
}
actual_bytes() { od -An -v -tx1 "$1" | tr -s '[:space:]' '\n' | grep -v '^$' | awk '{ printf "%06d: %s\n", NR - 1, $0 }'; }

if [[ -f "$case_dir/expected.guide" ]]; then
  if [[ -z "$guide" || ! -f "$guide" ]]; then
    fail "no guide file '$guide'"
  else
    expected_bytes "$case_dir/expected.guide" >.out/guide.expected
    actual_bytes "$guide" >.out/guide.actual
    # Where the expected byte is "..", the actual one must be an ASCII digit.
    awk 'NR == FNR { want[FNR] = $2; next }
         { if (want[FNR] == ".." && $2 ~ /^3[0-9]$/) $2 = ".."; print $1 " " $2 }' \
      .out/guide.expected .out/guide.actual >.out/guide.masked
    cmp -s .out/guide.expected .out/guide.masked || { fail "guide file differs"; diff -u --label expected --label actual .out/guide.expected .out/guide.masked | head -n 60; }
    header_digits=$(dd if="$guide" bs=1 skip=8 count=10 status=none)
    [[ -z "$time_digits" || "$header_digits" == "$time_digits" ]] || fail "header time $header_digits differs from the trace's $time_digits"
  fi
fi

# Nothing else in the folder may change.
snapshot >.out/after
cmp -s .out/before .out/after || { fail "files created, changed or removed"; diff -u --label before --label after .out/before .out/after; }

# The same case in today's form on hand-made inputs: the same trace, status
# and guide (messages may differ: warnings about the options).
if [[ -d "$case_dir/reference" ]]; then
  reference=.out/reference
  cp -R "$case_dir/reference" $reference && ln -s "$data_dir" $reference/data
  run_in $reference "$case_dir/reference/args"
  for stream in stdout status; do
    cmp -s .out/$stream $reference/.out/$stream || { fail "$stream differs from the reference run's"; show_diff $reference/.out/$stream .out/$stream; }
  done
  reference_guide=$reference/$(guide_of "$case_dir/reference/args")
  [[ ! -f $guide && ! -f $reference_guide ]] || cmp "$reference_guide" "$guide" || fail "the guide differs from the reference run's"
fi

if [[ $failed -ne 0 ]]; then
  echo "case: $case_dir"
  mapfile -t args <"$case_dir/args"
  printf 'command:'; printf " '%s'" "${environment[@]}" "${wrapper[@]}" "$binary" "${args[@]}"; echo
  exit 1
fi
exit 0
