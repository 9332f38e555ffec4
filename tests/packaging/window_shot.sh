#!/bin/sh
# Run under xvfb-run: starts a window program, saves the screen once its picture has held still
# for a quarter of a second, then ends the program with SIGTERM as a logout would and fails
# unless it exits 0. Usage: window_shot.sh OUT.png ERRORS-FILE COMMAND...
set -eu
png=$1
errors=$2
shift 2
"$@" 2>"$errors" &
program=$!
previous=$png.previous.png
still=""
for _ in $(seq 80); do
  sleep 0.25
  if ! kill -0 "$program" 2>/dev/null; then
    echo "the window program ended at start-up:"
    cat "$errors"
    exit 1
  fi
  import -window root "$png"
  # A bare screen is one colour; a window still being drawn differs from the last picture.
  if [ "$(identify -format %k "$png")" -gt 1 ] && [ -f "$previous" ] &&
    compare -metric AE "$png" "$previous" null: 2>/dev/null; then
    still=1
    break
  fi
  cp "$png" "$previous"
done
rm -f "$previous"
kill -TERM "$program"
status=0
wait "$program" || status=$?
[ -n "$still" ] || { echo "the screen never held still in 20 s"; exit 1; }
if [ "$status" -ne 0 ]; then
  echo "the window program exited $status on SIGTERM:"
  cat "$errors"
  exit 1
fi
