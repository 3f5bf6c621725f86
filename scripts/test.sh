#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the unit and
# end-to-end suites, each I/O call of a run made to fail in turn (strace's
# fault injection), the end-to-end cases under valgrind, the whole suite
# under ASan+UBSan, each fuzz target for FUZZ_SECONDS (60 by default), the
# Debian package (built, linted and run from a scratch folder) and the arm64
# cross-build under qemu. Ends with a line counting the suites.
# Installing needs root, or sudo.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --test
scripts/build.sh build -DGUIDEPACK_TESTS=ON

passed=0
failed=()
suite() {
  local name=$1 start=$SECONDS
  shift
  echo "== $name" >&2
  if "$@"; then
    passed=$((passed + 1))
    echo "== $name passed in $((SECONDS - start)) s" >&2
  else
    failed+=("$name")
    echo "== $name FAILED in $((SECONDS - start)) s" >&2
  fi
}

suite tests bash -c 'cd build && ctest --output-on-failure -j "$(nproc)"'
suite faults scripts/test-faults.sh build
suite valgrind scripts/test-valgrind.sh build
suite sanitizers scripts/test-sanitizers.sh build-asan
suite fuzz scripts/fuzz.sh "${FUZZ_SECONDS:-60}"
suite package scripts/test-package.sh
suite arm64 scripts/test-arm64.sh build-arm64 build

[[ ${#failed[@]} -eq 0 ]] || echo "failed suites: ${failed[*]}" >&2
echo "suites: $passed passed, ${#failed[@]} failed"
[[ ${#failed[@]} -eq 0 ]]
