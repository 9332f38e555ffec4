# Sourced by the scripts that run a Windows program under wine against a far end of their own:
# the next free COM port of the prefix (numbered above the ones wine makes for this machine's
# own devices), and far_end, which links it to a pseudo-terminal whose far end echoes (socat
# holds the master, cat sends back). Everything started goes at the script's exit.
: "${WINEPREFIX:?a prefix of the test run}"
dosdevices=$WINEPREFIX/dosdevices
tmp=$(mktemp -d)
link=
trap 'kill $(jobs -p) 2>/dev/null || true; [ -z "$link" ] || rm -f "$link"; rm -rf "$tmp"' EXIT

last=$(find "$dosdevices" -maxdepth 1 -name 'com*' -printf '%f\n' 2>/dev/null |
  sed -n 's/^com\([0-9]\+\)$/\1/p' | sort -n | tail -1)
port=COM$((${last:-0} + 1))
link=$dosdevices/${port,,}

# far_end [hold]: with hold, the slave is also held open here, so that a program closing the
# port does not hang up socat's side and the far end serves the next open too.
far_end() {
  # Away from CTest's output, so that a far end outliving a killed test cannot hold it open.
  socat pty,raw,echo=0,link="$tmp/far" EXEC:cat </dev/null >/dev/null 2>&1 &
  for _ in $(seq 50); do [ -e "$tmp/far" ] && break; sleep 0.1; done
  local slave
  slave=$(readlink -f "$tmp/far")
  if [ "${1:-}" = hold ]; then sleep infinity <>"$slave" & fi
  ln -sfn "$slave" "$link"
}
