#!/usr/bin/env bash
# Builds the Debian package in a build tree of its own (so that no build in
# progress is touched), installs it with dpkg, runs the installed programs and
# man pages, and removes it again. Whatever step fails, the package is removed
# and the temporary files deleted before exiting.
#
# Needs root. Exits with 77 (skipped) when it cannot run without disturbing the
# machine: not root, tools missing, or guidepack already installed.
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
package=guidepack
files=(
  /usr/bin/guidepack
  /usr/bin/guidepack-dump
  /usr/share/man/man1/guidepack.1.gz
  /usr/share/man/man1/guidepack-dump.1.gz
  /usr/share/doc/guidepack/guide-format.md
)

say() { echo "test-package: $*" >&2; }
skip() { say "skipped: $*"; exit 77; }
fail() { say "FAILED: $*"; exit 1; }

[[ $(id -u) -eq 0 ]] || skip "installing a package needs root"
for tool in cmake cpack dpkg dpkg-deb dpkg-query dpkg-shlibdeps file man flock; do
  command -v "$tool" >/dev/null || skip "$tool is missing"
done

# The package is system-wide: one test at a time on this machine.
exec 9>/run/lock/guidepack-test-package.lock
flock -w 900 9 || fail "another package test kept the lock for 15 minutes"

package_state() { dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true; }
state=$(package_state)
[[ -z "$state" || "$state" == not-installed ]] || skip "$package is already on this machine ($state)"
for file in "${files[@]}"; do
  [[ ! -e "$file" ]] || skip "$file exists and belongs to no package of ours"
done

work=$(mktemp -d "${TMPDIR:-/tmp}/guidepack-package.XXXXXX")
installed=0
cleanup() {
  local status=$?
  if (( installed )); then
    dpkg --purge "$package" >/dev/null 2>&1 || say "could not remove $package: run dpkg --purge $package"
  fi
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

say "building the package in $work"
cmake -S "$source_dir" -B "$work/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DGUIDEPACK_TESTS=OFF -DGUIDEPACK_BENCH=OFF -DGUIDEPACK_FUZZ=OFF >"$work/configure.log"
cmake --build "$work/build" -j 2 >"$work/build.log" || { cat "$work/build.log" >&2; fail "build"; }
(cd "$work/build" && cpack -G DEB -B "$work/package" >"$work/cpack.log") ||
  { cat "$work/cpack.log" >&2; fail "cpack"; }
debs=("$work"/package/"$package"_*.deb)
[[ ${#debs[@]} -eq 1 && -f "${debs[0]}" ]] || fail "expected one .deb, found: ${debs[*]}"
deb=${debs[0]}

say "checking $(basename "$deb")"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libstdc++6 libxml2; do
  [[ "$depends" == *"$library "* || "$depends" == *"$library" ]] ||
    fail "Depends lacks $library: $depends"
done
[[ $(dpkg-deb -f "$deb" Section) == video ]] || fail "section"
contents=$(dpkg-deb -c "$deb")
for file in "${files[@]}"; do
  grep -q " \.$file\$" <<<"$contents" || fail "$file is not in the package"
done

say "installing"
installed=1
dpkg -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; fail "dpkg -i"; }
[[ $(package_state) == installed ]] || fail "dpkg reports $(package_state)"

say "running the installed programs"
/usr/bin/guidepack "$source_dir/tests/data/sample.xml" "$work/sample.prg" >"$work/trace"
grep -qx 'programme 1 sur c1' "$work/trace" || fail "guidepack trace"
[[ $(stat -c %s "$work/sample.prg") -eq 99 ]] || fail "guide size"
/usr/bin/guidepack - "$work/stdin.prg" <"$source_dir/tests/data/sample.xml" >/dev/null
cmp -s <(tail -c +19 "$work/sample.prg") <(tail -c +19 "$work/stdin.prg") ||
  fail "guide from standard input differs"
/usr/bin/guidepack-dump "$work/sample.prg" >"$work/dump"
grep -qx '    category: Drama/Crime' "$work/dump" || fail "guidepack-dump output"
/usr/bin/guidepack-dump --json - <"$work/sample.prg" >"$work/dump.json"
grep -q '"display-name":"Cinema"' "$work/dump.json" || fail "guidepack-dump --json output"
if /usr/bin/guidepack-dump "$source_dir/tests/data/sample.xml" 2>/dev/null; then
  fail "guidepack-dump accepted a listing as a guide"
fi

say "reading the installed man pages"
for page in guidepack guidepack-dump; do
  path=/usr/share/man/man1/$page.1.gz
  if [[ ! -f "$path" ]] && grep -qs 'path-exclude=/usr/share/man' /etc/dpkg/dpkg.cfg.d/*; then
    say "dpkg is set to skip man pages here: reading $page.1.gz from the package instead"
    dpkg-deb -x "$deb" "$work/unpacked"
    path=$work/unpacked$path
  fi
  MANPAGER=cat MANWIDTH=80 man -l "$path" >"$work/$page.txt" 2>"$work/$page.err" ||
    fail "man -l $path"
  [[ ! -s "$work/$page.err" ]] || { cat "$work/$page.err" >&2; fail "man -l $path warned"; }
  grep -q "^NAME" "$work/$page.txt" && grep -q "^EXIT STATUS" "$work/$page.txt" ||
    fail "man -l $path: sections missing"
  if [[ "$path" == /usr/* ]]; then
    MANPAGER=cat man "$page" >/dev/null 2>&1 || fail "man $page finds no page"
  fi
done

say "removing"
dpkg --purge "$package" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; fail "dpkg --purge"; }
installed=0
state=$(package_state)
[[ -z "$state" || "$state" == not-installed ]] || fail "dpkg still reports $state"
for file in "${files[@]}" /usr/share/doc/guidepack; do
  [[ ! -e "$file" ]] || fail "$file is still there"
done
say "passed"
