#!/usr/bin/env bash
# Builds KVARTIX from clean and passes every test: the plain build, the Debian package
# installed on a clean Debian root, the virtual-machine rig (scripts/rig/run.sh), the
# address/undefined-behaviour sanitizer build, a minute of fuzzing the settings-file reader,
# the thread sanitizer on the tests that touch threads, and the Windows build's tests under
# wine.
#
# Two lanes share the two cores. The steps below build and run the tests that want CPU, at a
# lower priority. Beside them the paced lane runs what mostly waits on a line's time: the rig,
# then the runs against far ends paced at the line's rate (CTest label paced) of each build as
# soon as it is built. Those keep the normal priority, so that a compiler never makes them
# miss a cycle; the few that need a core nobody else wants (label quiet) run at the end.
# Downloads (the rest of the packages, the clean root, the rig's kernel) go on while the
# program builds.
set -euo pipefail
cd "$(dirname "$0")/.."

# Each step's wall time, printed as it ends and in a table at the end (also after a failure),
# so a slow step shows in CI's log without timing it by hand. The paced lane's steps are in
# the table too, marked as beside the others.
step_names=() step_secs=() step_now="" step_began=0 wine_started=0
flags=build/test-steps
step() {
  lane_check
  if [ -n "$step_now" ]; then
    step_names+=("$step_now") step_secs+=($((SECONDS - step_began)))
    echo "== $step_now: ${step_secs[-1]} s"
  fi
  step_now=${1:-} step_began=$SECONDS
  [ -z "$step_now" ] || echo "== $step_now"
}
# Ends every process this script started, with what they started.
end_tree() {
  local child
  for child in $(pgrep -P "$1" || true); do end_tree "$child"; done
  kill "$1" 2>/dev/null || true
}
finish() {
  local status=$?
  local child
  for child in $(pgrep -P $$ || true); do end_tree "$child"; done
  if ((wine_started)); then
    timeout 60 /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  fi
  [ -z "$step_now" ] || step_names+=("$step_now (stopped: exit $status)") \
    step_secs+=($((SECONDS - step_began)))
  echo "== time per step (wall seconds)"
  local i
  for i in "${!step_names[@]}"; do printf '%6d  %s\n' "${step_secs[i]}" "${step_names[i]}"; done
  [ ! -s "$flags/paced.times" ] || sed 's/\t/  beside: /' "$flags/paced.times"
  printf '%6d  total\n' "$SECONDS"
  exit "$status"
}
trap finish EXIT

# Work beside the steps: NAME.ok or NAME.failed in $flags when it ends, its output in NAME.log.
# (Not run as a condition, which would turn off set -e inside.)
beside() {
  local name=$1
  shift
  (
    trap '[ -e "$flags/$name.ok" ] || touch "$flags/$name.failed"' EXIT
    "$@" >"$flags/$name.log" 2>&1
    touch "$flags/$name.ok"
  ) &
}
mark() { touch "$flags/$1.ok"; }
await() {
  until [ -e "$flags/$1.ok" ]; do
    if [ -e "$flags/$1.failed" ]; then
      cat "$flags/$1.log"
      echo "== $1 failed"
      exit 1
    fi
    sleep 1
  done
}
# A failure in the paced lane ends the run at the next step, with the lane's output.
lane_check() {
  [ ! -e "$flags/paced.failed" ] || await paced
}
low() { nice -n 19 "$@"; }
lower() { nice -n 5 "$@"; }

rm -rf "$flags"
mkdir -p "$flags"
jobs=$(nproc)

step "dependencies of the plain build"
scripts/install-deps.sh check
beside deps scripts/install-deps.sh test
prepare_root() { await deps && tests/packaging/clean_root.sh --prepare; }
fetch_kernel() { await deps && scripts/rig/run.sh --fetch-kernel; }
beside root prepare_root
beside kernel fetch_kernel

step "default: build"
cmake --preset default >/dev/null
cmake --build --preset default -j "$jobs"

# The rig (kvartix-cli on the kernel's own serial drivers in a QEMU machine, one row per case;
# KVARTIX_RIG_KEEP_GOING=1 lets the rest run when a case fails, the table says which), then
# each build's paced runs, one at a time.
paced_lane() {
  local began=$SECONDS
  lane_step() {
    printf '%6d\t%s\n' $((SECONDS - began)) "$1" >>"$flags/paced.times"
    began=$SECONDS
  }
  await kernel
  echo "== rig: kvartix-cli on kernel serial drivers in a virtual machine"
  if ! scripts/rig/run.sh --cli build/default/src/cli/kvartix-cli \
    --host build/default/tests/kvartix-rig; then
    [ "${KVARTIX_RIG_KEEP_GOING:-0}" = 1 ] || return 1
    echo "rig: cases failed; going on as KVARTIX_RIG_KEEP_GOING=1 asks"
  fi
  lane_step "rig (after the kernel's fetch)"
  await default-tests
  echo "== default: paced tests"
  ctest --preset default -L paced -LE quiet
  lane_step "default: paced tests"
  await asan-built
  echo "== asan: paced tests"
  ctest --preset asan -L paced -LE quiet
  lane_step "asan: paced tests"
  await tsan-built
  echo "== tsan: paced tests"
  ctest --preset tsan -L threads -L paced -LE quiet
  lane_step "tsan: paced tests"
}
beside paced paced_lane

step "default: tests"
lower ctest --preset default -j "$jobs" -LE 'rig|paced'
mark default-tests

# The package as a new user gets it: built from clean, installed on a minimal Debian 12 root
# with --no-install-recommends, both programs run there and the window compared with this
# machine's (the pictures stay in build/package).
step "package: Release build from clean"
await deps
deb=$(low scripts/package.sh | tail -n 1)
step "package: installed on a clean Debian root"
await root
timeout 300 tests/packaging/clean_root.sh "$deb"

step "asan: build"
cmake --preset asan >/dev/null
low cmake --build --preset asan -j "$jobs"
mark asan-built
step "asan: tests"
lower ctest --preset asan -j "$jobs" -LE 'rig|paced'

# The settings-file reader under libFuzzer for a minute, from the seeds, so the target keeps
# building and a crash in what a hand-written file can hold shows here. It takes one core: the
# thread sanitizer's build has the other meanwhile. Only the suites that run threads are built
# for the thread sanitizer.
step "fuzz: build"
cmake --preset fuzz >/dev/null
low cmake --build --preset fuzz -j "$jobs" --target ini_fuzz
step "fuzz: the settings-file reader, 60 s, and beside it tsan: build"
rm -rf build/fuzz/corpus && mkdir -p build/fuzz/corpus
low build/fuzz/fuzz/ini_fuzz -max_total_time=60 -print_final_stats=1 build/fuzz/corpus \
  fuzz/seeds >build/fuzz/ini_fuzz.out 2>build/fuzz/ini_fuzz.log &
fuzz=$!
cmake --preset tsan >/dev/null
low cmake --build --preset tsan -j "$jobs" --target threaded_tests
mark tsan-built
wait "$fuzz" || { tail -n 40 build/fuzz/ini_fuzz.log; exit 1; }
tail -n 3 build/fuzz/ini_fuzz.log
step "tsan: tests"
lower ctest --preset tsan -j "$jobs" -L threads -LE paced

# The core and kvartix-cli as Windows programs, their tests under wine in a prefix of their
# own. Wine's server and the services it starts would keep CTest's output open: they are
# started first, away from it, and stopped after (by finish), also when a step fails or times
# out.
step "windows: build"
cmake --preset windows >/dev/null
low cmake --build --preset windows -j "$jobs"
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
if ! timeout 900 nice -n 5 ctest --preset windows -j "$jobs" --output-junit "$junit"; then
  dead=$(python3 scripts/dead_at_start.py "$junit")
  [ -n "$dead" ] || exit 1
  echo "windows: one more run for the tests that died as they started"
  timeout 900 ctest --preset windows -R "^($dead)\$"
fi

step "paced lane: what is left of it"
await paced
cat "$flags/paced.log"

# The paced runs that want a core of their own, with nothing beside them.
step "quiet paced tests of the three builds"
ctest --preset default -L quiet
ctest --preset asan -L quiet
ctest --preset tsan -L threads -L quiet
step
