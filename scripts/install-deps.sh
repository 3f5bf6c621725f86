#!/usr/bin/env bash
# Installs the Debian packages guidepack needs, and only those missing.
#   scripts/install-deps.sh         what building and running needs
#   scripts/install-deps.sh --test  also what the whole test suite needs
set -euo pipefail

packages=(g++ cmake make libxml2-dev nlohmann-json3-dev gzip libhowardhinnant-date-dev tzdata)
if [[ "${1:-}" == "--test" ]]; then
  packages+=(libgtest-dev valgrind clang libclang-rt-14-dev man-db dpkg-dev file
             libxml2-utils)
fi

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}" >&2
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
