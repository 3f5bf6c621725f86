#!/usr/bin/env bash
# Runs the end-to-end cases under valgrind memcheck: any memory error or
# definite leak fails the case. Uses the normal build in build/ (or the folder
# given), building it first if needed.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
scripts/build.sh "$dir"
export GUIDEPACK_WRAPPER="valgrind -q --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite"
cd "$dir"
ctest -L cli --output-on-failure -j 2
