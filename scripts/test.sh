#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --test
scripts/build.sh build -DGUIDEPACK_TESTS=ON
(cd build && ctest --output-on-failure -j "$(nproc)")
