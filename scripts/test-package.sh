#!/usr/bin/env bash
# Builds the Debian package with dpkg-buildpackage from a scratch copy of the
# committed sources, checks it with lintian, unpacks it with
# dpkg-deb into a scratch folder and runs the programs, the autopkgtest and
# the man pages from there. Installs nothing; the work tree is only read.
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
say() { echo "test-package: $*" >&2; }
fail() { say "FAILED: $*"; exit 1; }

for tool in dpkg-buildpackage dpkg-deb dh lintian man tar; do
  command -v "$tool" >/dev/null || fail "$tool is missing: run scripts/install-deps.sh --test"
done

work=$(mktemp -d "${TMPDIR:-/tmp}/guidepack-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

# The committed tree (git archive), so that no build folder or stray file of
# the working folder goes into the package; outside git, the tree less its
# build folders.
copy_sources() {
  local to=$1
  mkdir -p "$to"
  if git -C "$source_dir" rev-parse --verify -q HEAD >/dev/null 2>&1; then
    git -C "$source_dir" archive HEAD | tar -C "$to" -xf -
  else
    tar -C "$source_dir" --exclude='./build*' --exclude='./obj-*' --exclude=./bench/data -cf - . |
      tar -C "$to" -xf -
  fi
}

src=$work/guidepack
say "building the package in $work"
copy_sources "$src"
# Source and binaries, so that lintian sees the source package too.
(cd "$src" && DEB_BUILD_OPTIONS="parallel=2 ${DEB_BUILD_OPTIONS:-}" dpkg-buildpackage -us -uc) \
  >"$work/build.log" 2>&1 || { tail -n 80 "$work/build.log" >&2; fail "dpkg-buildpackage (log above)"; }
debs=("$work"/guidepack_*.deb)
changes=("$work"/guidepack_*.changes)
[[ ${#debs[@]} -eq 1 && -f "${debs[0]}" && -f "${changes[0]}" ]] || fail "expected one .deb and one .changes"
deb=${debs[0]}

say "lintian $(basename "${changes[0]}")"
# lintian's complaint about running as root is no finding.
lintian --pedantic --display-info "${changes[0]}" 2>&1 | grep -v 'running with root privileges' | tee "$work/lintian.log" >&2 || true
! grep -q '^[EW]: ' "$work/lintian.log" || fail "lintian reports errors or warnings"

say "checking $(basename "$deb")"
depends=$(dpkg-deb -f "$deb" Depends)
for package in libc6 libstdc++6 libxml2 tzdata; do
  [[ ", $depends," == *", $package "* || ", $depends," == *", $package,"* ]] ||
    fail "Depends lacks $package: $depends"
done
files=(
  usr/bin/guidepack
  usr/bin/guidepack-dump
  usr/share/man/man1/guidepack.1.gz
  usr/share/man/man1/guidepack-dump.1.gz
  usr/share/doc/guidepack/copyright
  usr/share/doc/guidepack/changelog.gz
  usr/share/doc/guidepack/guide-format.md.gz # named by both man pages
)
root=$work/root
dpkg-deb -x "$deb" "$root"
for file in "${files[@]}"; do
  [[ -f "$root/$file" ]] || fail "$file is not in the package"
done

say "running the packaged programs"
# The autopkgtest, with the unpacked programs in place of installed ones.
mkdir "$work/autopkgtest"
(cd "$src" && PATH="$root/usr/bin:$PATH" AUTOPKGTEST_TMP="$work/autopkgtest" debian/tests/convert-listing) \
  >"$work/autopkgtest.log" 2>&1 || { cat "$work/autopkgtest.log" >&2; fail "debian/tests/convert-listing"; }
"$root/usr/bin/guidepack" "$src/tests/data/sample.xml" "$work/file.prg" >/dev/null
"$root/usr/bin/guidepack" - "$work/stdin.prg" <"$src/tests/data/sample.xml" >/dev/null
# Past the header (its time stamp may differ by a second).
cmp -s <(tail -c +19 "$work/file.prg") <(tail -c +19 "$work/stdin.prg") ||
  fail "the guide from standard input differs from the one from the file"
if "$root/usr/bin/guidepack-dump" "$src/tests/data/sample.xml" >/dev/null 2>&1; then
  fail "guidepack-dump accepted a listing as a guide"
fi

say "reading the packaged man pages"
for page in guidepack guidepack-dump; do
  path=$root/usr/share/man/man1/$page.1.gz
  MANPAGER=cat MANWIDTH=80 man -l "$path" >"$work/$page.txt" 2>"$work/$page.err" || fail "man -l $page.1.gz"
  [[ ! -s "$work/$page.err" ]] || { cat "$work/$page.err" >&2; fail "man -l $page.1.gz warned"; }
  grep -q "^NAME" "$work/$page.txt" && grep -q "^EXIT STATUS" "$work/$page.txt" ||
    fail "man -l $page.1.gz: sections missing"
done
say "passed"
