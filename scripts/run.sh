#!/usr/bin/env bash
# Builds KVARTIX and runs it: the windows where there is a display (an argument names the
# settings file), otherwise a ten-second BERT through the built-in loopback plug, printed
# second by second by the headless runner (any kvartix-cli options may follow).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh run
# A build of its own without the tests, so running needs none of the test tools.
cmake --preset default -B build/run -DKVARTIX_BUILD_TESTS=OFF -DKVARTIX_BUILD_BENCH=OFF >/dev/null
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  cmake --build build/run -j "$(nproc)" --target kvartix
  exec build/run/src/ui/kvartix "$@"
fi
cmake --build build/run -j "$(nproc)" --target kvartix-cli
exec build/run/src/cli/kvartix-cli "$@"
