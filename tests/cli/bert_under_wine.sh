#!/usr/bin/env bash
# kvartix-cli.exe under wine through the win32 backend: a pseudo-terminal linked into the
# prefix as a COM port, numbered above the ones wine makes for this machine's own devices,
# with an echoing far end of this test's own (socat holds the master, cat sends back). A BERT
# must come back byte-exact with 0 errors; the far end closing mid-run ends the run with exit
# status 2 and one report.
set -euo pipefail
cli=$1
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

far_end() {
  # Away from CTest's output, so that a far end outliving a killed test cannot hold it open.
  socat pty,raw,echo=0,link="$tmp/far" EXEC:cat </dev/null >/dev/null 2>&1 &
  for _ in $(seq 50); do [ -e "$tmp/far" ] && break; sleep 0.1; done
  ln -sfn "$(readlink -f "$tmp/far")" "$link"
}

far_end
status=0
timeout 60 "$wine" "$cli" --port "$port" --seconds 4 >"$tmp/run" 2>&1 || status=$?
tr -d '\r' <"$tmp/run" >"$tmp/bert"
[ "$status" -eq 0 ] || { cat "$tmp/bert"; echo "BERT exit status $status"; exit 1; }
# Every character received was checked against the pattern.
grep -q 'Errors .*final count 0$' "$tmp/bert" &&
  grep -q 'Invalid symb 0, Symb is lost 0, Sync is lost 0' "$tmp/bert" || { cat "$tmp/bert"; exit 1; }
received=$(sed -n 's/.*Received .*final count \([0-9]\+\) characters$/\1/p' "$tmp/bert")
[ "${received:-0}" -gt 0 ] || { cat "$tmp/bert"; exit 1; }
echo "BERT over $port: $received characters back, 0 errors"

kill $(jobs -p); wait 2>/dev/null || true
far_end
timeout 60 "$wine" "$cli" --port "$port" --seconds 20 >"$tmp/run" 2>&1 &
cli_pid=$!
sleep 3
kill $(jobs -p | grep -v "^$cli_pid$")
status=0
wait "$cli_pid" || status=$?
tr -d '\r' <"$tmp/run" >"$tmp/lost"
reports=$(grep -c "\\\\\\\\.\\\\$port не доступен" "$tmp/lost" || true)
[ "$status" -eq 2 ] && [ "$reports" -eq 1 ] ||
  { cat "$tmp/lost"; echo "exit status $status, $reports reports"; exit 1; }
echo "far end closed: exit status 2, reported once"
