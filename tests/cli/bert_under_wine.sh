#!/usr/bin/env bash
# kvartix-cli.exe under wine through the win32 backend, on a COM port linked to a
# pseudo-terminal with an echoing far end of this test's own (support/wine_com_link.sh). A BERT
# must come back byte-exact with 0 errors; the far end closing mid-run ends the run with exit
# status 2 and one report.
set -euo pipefail
cli=$1
wine=${2:-/usr/lib/wine/wine64}
. "$(dirname "$0")/../support/wine_com_link.sh"

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
