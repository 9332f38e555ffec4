#!/usr/bin/env bash
# The conformance suite's win32 backend under wine, on a COM port linked to a pseudo-terminal
# with an echoing far end (support/wine_com_link.sh).
set -euo pipefail
tests=$1
wine=${2:-/usr/lib/wine/wine64}
. "$(dirname "$0")/../../support/wine_com_link.sh"

# Every case closes the port: the far end is held for the next.
far_end hold
KVARTIX_TEST_COM_PORT=$port timeout 120 "$wine" "$tests" --gtest_brief=1 "${@:3}"
