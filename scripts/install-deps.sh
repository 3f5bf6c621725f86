#!/usr/bin/env bash
# Installs the Debian packages guidepack needs, and only those missing. Every
# name is one that Debian 12 and Debian 13 both have (no version in a name).
#   scripts/install-deps.sh          what building and running needs
#   scripts/install-deps.sh --quick  also what the unit tests and the
#                                    end-to-end cases need
#   scripts/install-deps.sh --test   also what the whole test suite needs,
#                                    the Debian packaging tools included
#   scripts/install-deps.sh --arm64  what cross-building for arm64 and running
#                                    the result under qemu needs (adds the
#                                    arm64 architecture to dpkg)
#   scripts/install-deps.sh --html   also what the browser test of
#                                    guidepack-dump --html needs: headless
#                                    Chromium, a font, netpbm and OpenSSL's
#                                    command
# Runs apt-get as root, through sudo when not root. Says in one line what it
# installs; apt-get's and dpkg's own output goes to a log shown only when they
# fail.
set -euo pipefail

packages=(g++ cmake make libxml2-dev libicu-dev nlohmann-json3-dev gzip libhowardhinnant-date-dev tzdata)
architecture=""
case "${1:-}" in
  "") ;;
  --quick)
    packages+=(libgtest-dev) ;;
  --test)
    packages+=(libgtest-dev valgrind strace clang libclang-rt-dev man-db libxml2-utils
               build-essential dpkg-dev debhelper lintian) ;;
  --arm64)
    architecture=arm64
    packages+=(crossbuild-essential-arm64 qemu-user libxml2-dev:arm64 libicu-dev:arm64
               libhowardhinnant-date-dev:arm64) ;;
  --html)
    packages+=(chromium-headless-shell fonts-dejavu-core netpbm openssl) ;;
  *) echo "usage: $0 [--quick | --test | --arm64 | --html]" >&2; exit 2 ;;
esac

sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)

log=$(mktemp "${TMPDIR:-/tmp}/install-deps.XXXXXX")
trap 'rm -f "$log"' EXIT
# Runs a command as root, its output kept in the log.
quietly() {
  if ! "${sudo[@]}" "$@" >>"$log" 2>&1; then
    cat "$log" >&2
    echo "install-deps: failed: $*" >&2
    return 1
  fi
}

updated=0
if [[ -n "$architecture" ]] && ! dpkg --print-foreign-architectures | grep -qx "$architecture"; then
  echo "Adding the $architecture architecture to dpkg" >&2
  quietly dpkg --add-architecture "$architecture"
  quietly apt-get update
  updated=1
fi

# Installed, for this machine's architecture unless the name gives another:
# with a second architecture added, a name may stand for two packages.
native=$(dpkg --print-architecture)
installed() {
  dpkg-query -W -f='${binary:Package} ${Status}\n' "$1" 2>/dev/null |
    grep -qxE "${1//+/\\+}(:$native)? install ok installed"
}

missing=()
for package in "${packages[@]}"; do
  installed "$package" || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}" >&2
(( updated )) || quietly apt-get update
quietly env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
