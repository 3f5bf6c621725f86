#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the unit and
# end-to-end suites (and the package test, as root), the end-to-end cases
# under valgrind, the whole suite under ASan+UBSan, and each fuzz target for
# FUZZ_SECONDS (60 by default).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --test
scripts/build.sh build -DGUIDEPACK_TESTS=ON
(cd build && ctest --output-on-failure -j "$(nproc)")
scripts/test-valgrind.sh build
scripts/test-sanitizers.sh build-asan
scripts/fuzz.sh "${FUZZ_SECONDS:-60}"
