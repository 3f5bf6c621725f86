#!/usr/bin/env bash
# Installs what is missing, builds, and converts the bundled sample listing.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build -DBUILD_TESTING=OFF
build/guidepack tests/data/sample.xml build/sample.prg
echo "Guide written to build/sample.prg ($(stat -c %s build/sample.prg) bytes)"
