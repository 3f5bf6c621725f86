#!/usr/bin/env bash
# version_agrees.sh VERSION SOURCE_DIR: the man pages' headers and the top
# entry of debian/changelog name VERSION, the one CMake builds the programs with.
set -euo pipefail
version=$1 root=$2
status=0
for page in "$root"/man/*.1; do
  grep -q "^\.TH .* \"guidepack $version\" " "$page" || { echo "$page: not guidepack $version" >&2; status=1; }
done
top=$(sed -n '1s/^guidepack (\([^)]*\)).*/\1/p' "$root/debian/changelog")
[[ $top == "$version" ]] || { echo "debian/changelog: $top, not $version" >&2; status=1; }
exit $status
