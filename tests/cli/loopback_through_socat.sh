#!/usr/bin/env bash
# kvartix-cli --mode loopback on one end of a socat pseudo-terminal pair; a megabyte from
# /dev/urandom, sent from the other end by pv at a pace a line could carry, must come back
# identical. Every program on the far side is someone else's.
set -euo pipefail
cli=$1
tmp=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$tmp"' EXIT

socat pty,raw,echo=0,link="$tmp/a" pty,raw,echo=0,link="$tmp/b" &
for _ in $(seq 50); do [ -e "$tmp/b" ] && break; sleep 0.1; done
head -c 1048576 /dev/urandom >"$tmp/sent"

"$cli" --mode loopback --port "$(readlink -f "$tmp/a")" --seconds 15 >"$tmp/log" &
cli_pid=$!
# The run starts on the next whole second and drops its first read: send after that.
sleep 1.5
timeout 20 head -c 1048576 <"$tmp/b" >"$tmp/back" &
reader=$!
pv -q -L 100k "$tmp/sent" >"$tmp/b"
wait "$reader"
wait "$cli_pid"

cmp "$tmp/sent" "$tmp/back"
grep -q "final count 1048576 characters" "$tmp/log" || { cat "$tmp/log"; exit 1; }
echo "1 MiB echoed byte-exact"
