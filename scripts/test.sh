#!/usr/bin/env bash
# Builds KVARTIX from clean and passes every test: the plain build and the
# address/undefined-behaviour sanitizer build, then the thread sanitizer on
# the tests that touch threads, then the Windows build's tests under wine.
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

# The core and kvartix-cli as Windows programs, their tests under wine in a prefix of their
# own. Wine's server and the services it starts would keep CTest's output open: they are
# started first, away from it, and stopped after, also when a step fails or times out.
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEPREFIX="$PWD/build/windows/wineprefix"
mkdir -p "$WINEPREFIX"
trap 'timeout 60 /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true' EXIT
timeout 60 /usr/lib/wine/wineserver -p </dev/null >/dev/null 2>&1
timeout 300 /usr/lib/wine/wine64 wineboot -i </dev/null >/dev/null 2>&1
timeout 900 ctest --preset windows -j "$jobs"
