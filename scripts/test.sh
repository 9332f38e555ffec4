#!/usr/bin/env bash
# Builds KVARTIX from clean and passes every test: the plain build, the Debian package
# installed on a clean Debian root, the virtual-machine rig (scripts/rig/run.sh) and the
# address/undefined-behaviour sanitizer build, a minute of fuzzing the settings-file reader,
# then the thread sanitizer on the tests that touch threads, then the Windows build's tests
# under wine.
set -euo pipefail
cd "$(dirname "$0")/.."

# Each step's wall time, printed as it ends and in a table at the end (also after a failure),
# so a slow step shows in CI's log without timing it by hand.
step_names=() step_secs=() step_now="" step_began=0 wine_started=0
step() {
  if [ -n "$step_now" ]; then
    step_names+=("$step_now") step_secs+=($((SECONDS - step_began)))
    echo "== $step_now: ${step_secs[-1]} s"
  fi
  step_now=${1:-} step_began=$SECONDS
  [ -z "$step_now" ] || echo "== $step_now"
}
finish() {
  local status=$?
  # What still runs beside the steps ends with them.
  [ -z "${prepare:-}" ] || kill "$prepare" 2>/dev/null || true
  [ -z "${kernel:-}" ] || kill "$kernel" 2>/dev/null || true
  [ -z "${fuzz:-}" ] || kill "$fuzz" 2>/dev/null || true
  if ((wine_started)); then
    timeout 60 /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  fi
  [ -z "$step_now" ] || step_names+=("$step_now (stopped: exit $status)") \
    step_secs+=($((SECONDS - step_began)))
  echo "== time per step (wall seconds)"
  local i
  for i in "${!step_names[@]}"; do printf '%6d  %s\n' "${step_secs[i]}" "${step_names[i]}"; done
  printf '%6d  total\n' "$SECONDS"
  exit "$status"
}
trap finish EXIT

step "dependencies"
scripts/install-deps.sh

# The clean root's minimal Debian (minutes of download and unpacking, little of the cores) and
# the rig's kernel are fetched while the program builds; the steps that use them wait for them.
mkdir -p build
tests/packaging/clean_root.sh --prepare >build/clean-root-prepare.log 2>&1 &
prepare=$!
scripts/rig/run.sh --fetch-kernel >build/rig-kernel.log 2>&1 &
kernel=$!

jobs=$(nproc)
for preset in default asan; do
  step "$preset: build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  step "$preset: tests"
  ctest --preset "$preset" -j "$jobs" -LE rig
  [ "$preset" = default ] || continue

  # The package as a new user gets it: built from clean, installed on a minimal Debian 12 root
  # with --no-install-recommends, both programs run there and the window compared with this
  # machine's (about a minute after the build; the pictures stay in build/package).
  step "package: Release build from clean"
  deb=$(scripts/package.sh | tail -n 1)
  step "package: installed on a clean Debian root"
  wait "$prepare" || { cat build/clean-root-prepare.log; exit 1; }
  prepare=""
  timeout 300 tests/packaging/clean_root.sh "$deb"

  # The rig: kvartix-cli on the kernel's own serial drivers in a QEMU machine, one row per
  # case (under three minutes). KVARTIX_RIG_KEEP_GOING=1 lets the steps after it run when a
  # case fails; the table says which.
  step "rig: kvartix-cli on kernel serial drivers in a virtual machine"
  wait "$kernel" || { cat build/rig-kernel.log; exit 1; }
  kernel=""
  if ! ctest --preset default -L rig -V; then
    [ "${KVARTIX_RIG_KEEP_GOING:-0}" = 1 ] || exit 1
    echo "rig: cases failed; going on as KVARTIX_RIG_KEEP_GOING=1 asks"
  fi
done

# The settings-file reader under libFuzzer for a minute, from the seeds, so the target keeps
# building and a crash in what a hand-written file can hold shows here. It takes one core: the
# thread sanitizer's build has the other meanwhile.
step "fuzz: build"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs" --target ini_fuzz
step "fuzz: the settings-file reader, 60 s, and beside it tsan: build"
rm -rf build/fuzz/corpus && mkdir -p build/fuzz/corpus
build/fuzz/fuzz/ini_fuzz -max_total_time=60 -print_final_stats=1 build/fuzz/corpus fuzz/seeds \
  >build/fuzz/ini_fuzz.out 2>build/fuzz/ini_fuzz.log &
fuzz=$!

# Only the suites that run threads are built for the thread sanitizer.
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$jobs" --target threaded_tests
wait "$fuzz" || { tail -n 40 build/fuzz/ini_fuzz.log; exit 1; }
fuzz=""
tail -n 3 build/fuzz/ini_fuzz.log
step "tsan: tests"
ctest --preset tsan -j "$jobs" -L threads

# The core and kvartix-cli as Windows programs, their tests under wine in a prefix of their
# own. Wine's server and the services it starts would keep CTest's output open: they are
# started first, away from it, and stopped after (by finish), also when a step fails or times
# out.
step "windows: build"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
step "windows: tests under wine"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEPREFIX="$PWD/build/windows/wineprefix"
mkdir -p "$WINEPREFIX"
wine_started=1
timeout 60 /usr/lib/wine/wineserver -p </dev/null >/dev/null 2>&1
timeout 300 /usr/lib/wine/wine64 wineboot -i </dev/null >/dev/null 2>&1
# Now and then a wine process dies as it starts (a failure in 0.00 s with no output at all):
# only such a test gets one more run. Any other failure fails the step at once, so a flaky
# test cannot hide behind a second try.
junit=$PWD/build/windows/junit.xml
if ! timeout 900 ctest --preset windows -j "$jobs" --output-junit "$junit"; then
  dead=$(python3 scripts/dead_at_start.py "$junit")
  [ -n "$dead" ] || exit 1
  echo "windows: one more run for the tests that died as they started"
  timeout 900 ctest --preset windows -R "^($dead)\$"
fi
step
