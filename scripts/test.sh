#!/usr/bin/env bash
# Builds KVARTIX from clean and passes every test: the plain build and the
# address/undefined-behaviour sanitizer build, then the thread sanitizer on
# the tests that touch threads.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)
for preset in default asan; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done

# Only the suites that run threads are built for the thread sanitizer.
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$jobs" \
  --target components_tests posix_port_tests engine_pty_tests ui_tests
ctest --preset tsan -j "$jobs" -L threads
