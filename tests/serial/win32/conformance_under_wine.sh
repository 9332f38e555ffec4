#!/usr/bin/env bash
# The conformance suite's win32 backend under wine: a pseudo-terminal with an echoing far end
# (socat holds the master, cat sends back), linked into the prefix as a COM port numbered
# above the ones wine makes for this machine's own devices.
set -euo pipefail
tests=$1
wine=${2:-/usr/lib/wine/wine64}
: "${WINEPREFIX:?a prefix of the test run}"
dosdevices=$WINEPREFIX/dosdevices
tmp=$(mktemp -d)
link=
trap 'kill $(jobs -p) 2>/dev/null || true; [ -z "$link" ] || rm -f "$link"; rm -rf "$tmp"' EXIT

last=$(find "$dosdevices" -maxdepth 1 -name 'com*' -printf '%f\n' 2>/dev/null |
  sed -n 's/^com\([0-9]\+\)$/\1/p' | sort -n | tail -1)
port=COM$((${last:-0} + 1))
link=$dosdevices/${port,,}

# Away from CTest's output, so that a far end outliving a killed test cannot hold it open.
socat pty,raw,echo=0,link="$tmp/far" EXEC:cat </dev/null >/dev/null 2>&1 &
for _ in $(seq 50); do [ -e "$tmp/far" ] && break; sleep 0.1; done
slave=$(readlink -f "$tmp/far")
# Every case closes the port: a slave held open here keeps that from hanging up socat's side.
sleep infinity <>"$slave" &
ln -sfn "$slave" "$link"

KVARTIX_TEST_COM_PORT=$port timeout 120 "$wine" "$tests" --gtest_brief=1 "${@:3}"
