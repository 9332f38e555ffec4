#!/usr/bin/env bash
# Builds KVARTIX and runs it: a ten-second BERT through the built-in loopback
# plug, printed second by second.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target kvartix-cli
exec build/default/src/cli/kvartix-cli "$@"
