#!/usr/bin/env bash
# Builds everything with clang's AddressSanitizer and UndefinedBehaviorSanitizer
# in build-asan (or the folder given), the fuzz targets included (so that
# scripts/fuzz.sh can use the same build), and runs the whole test suite there.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-asan}
CC=clang CXX=clang++ scripts/build.sh "$dir" -DGUIDEPACK_SANITIZE=ON -DGUIDEPACK_FUZZ=ON -DBUILD_TESTING=ON
# Any report fails the test that caused it; leaks included.
export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd "$dir"
ctest --output-on-failure -j 2
