#!/usr/bin/env bash
# Installs what is missing, builds, and runs the tests.
#   scripts/test.sh --quick   the unit tests and the end-to-end cases (about
#                             a minute and a half on two cores)
#   scripts/test.sh           every suite: those, each I/O call of a run made
#                             to fail in turn (strace's fault injection), the
#                             end-to-end cases under valgrind, the whole suite
#                             under ASan+UBSan, each fuzz target for
#                             FUZZ_SECONDS (45 by default) in that same build,
#                             the Debian package (built from the committed
#                             tree, linted and run from a scratch folder),
#                             the arm64 cross-build under qemu and the pages
#                             of guidepack-dump --html in headless Chromium
# Ends with a line counting the suites. Installing needs root, or sudo.
set -euo pipefail
cd "$(dirname "$0")/.."
quick=0
case "${1:-}" in
  "") ;;
  --quick) quick=1 ;;
  *) echo "usage: $0 [--quick]" >&2; exit 2 ;;
esac

if ((quick)); then scripts/install-deps.sh --quick; else scripts/install-deps.sh --test; fi
scripts/build.sh build -DBUILD_TESTING=ON

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
if ((!quick)); then
  suite faults scripts/test-faults.sh build
  suite valgrind scripts/test-valgrind.sh build
  # One clang build with the sanitizers serves the whole suite and the fuzz
  # targets.
  suite sanitizers scripts/test-sanitizers.sh build-asan
  suite fuzz env FUZZ_BUILD_DIR=build-asan scripts/fuzz.sh "${FUZZ_SECONDS:-45}"
  suite package scripts/test-package.sh
  suite arm64 scripts/test-arm64.sh build-arm64 build
  suite html scripts/test-html.sh build
fi

[[ ${#failed[@]} -eq 0 ]] || echo "failed suites: ${failed[*]}" >&2
echo "suites: $passed passed, ${#failed[@]} failed"
[[ ${#failed[@]} -eq 0 ]]
