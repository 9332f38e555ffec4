#!/usr/bin/env bash
# Builds KVARTIX and runs it: the windows where there is a display (an argument names the
# settings file), otherwise a ten-second BERT through the built-in loopback plug, printed
# second by second by the headless runner (any kvartix-cli options may follow).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default >/dev/null
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  cmake --build --preset default -j "$(nproc)" --target kvartix
  exec build/default/src/ui/kvartix "$@"
fi
cmake --build --preset default -j "$(nproc)" --target kvartix-cli
exec build/default/src/cli/kvartix-cli "$@"
