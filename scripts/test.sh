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

cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$jobs"
ctest --preset tsan -j "$jobs" -L threads
