#!/usr/bin/env bash
# The package on a system that has nothing else: a minimal Debian 12 root (debootstrap
# minbase) gets it with --no-install-recommends, as a new user's apt would, and both programs
# must work there: kvartix-cli's version and a short BERT on LOOP, and the window, whose
# picture under Xvfb must equal, pixel for pixel, the same program's on this machine with its
# fonts. A face or library the package fails to bring shows there as a window that does not
# start, a warning, or captions in another face.
# Usage: clean_root.sh DEB [PICTURES-FOLDER]; the pictures (window-clean-root.png,
# window-reference.png) go beside the package unless named. Needs root, for chroot and the
# mounts, and Debian's mirror (KVARTIX_DEBIAN_MIRROR names another, debian-security beside it).
# clean_root.sh --prepare only makes the minimal root (kept for the next run), so that its
# download can go on while the package builds.
set -euo pipefail
[ "$(id -u)" -eq 0 ] || exec sudo "$0" "$@"
prepare=0 deb="" pictures=""
if [ "${1:-}" = --prepare ]; then
  prepare=1
else
  deb=$(realpath "$1")
  pictures=$(realpath -m "${2:-$(dirname "$deb")}")
fi
here=$(cd "$(dirname "$0")" && pwd)
mirror=${KVARTIX_DEBIAN_MIRROR:-http://deb.debian.org/debian}
# The debootstrap result and the packages apt fetched, kept for the next run (a week at most).
cache=$(cd "$here/../.." && pwd -P)/build/clean-root
mkdir -p "$cache/debs" ${pictures:+"$pictures"}
work=$(mktemp -d "$cache/run.XXXXXX")
root=$work/root
started=$SECONDS
active=""

# Whatever ends the run, nothing stays running in the root or mounted. The root lives in a
# tmpfs, so unmounting it is removing it; dpkg's syncs cost nothing there (a third of the
# time of debootstrap on a disk).
cleanup() {
  local status=$?
  [ -z "$active" ] || kill -KILL -- "-$active" 2>/dev/null || true
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ] && kill -KILL "${p#/proc/}" 2>/dev/null
  done
  for m in "$root/dev" "$root/proc" "$root"; do
    if mountpoint -q "$m"; then umount "$m" 2>/dev/null || umount -l "$m"; fi
  done
  if findmnt -rn -o TARGET | grep -q "^$work/"; then
    echo "clean root: left in $work, something is still mounted there" >&2
  else
    rm -rf --one-file-system "$work"
  fi
  exit "$status"
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

fail() { echo "clean root: $*" >&2; exit 1; }
step() { echo "clean root: $* ($((SECONDS - started)) s)"; }
# Runs a command for at most $1 seconds, in the background so that a signal to this script is
# taken at once. timeout gives it a process group, which the cleanup ends too.
bounded() {
  timeout "$@" &
  active=$!
  local status=0
  wait "$active" || status=$?
  active=""
  return "$status"
}
in_root() {
  local seconds=$1
  shift
  bounded "$seconds" chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
    LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"
}

((prepare)) || dpkg-deb -f "$deb" Depends | grep -qw fonts-liberation ||
  fail "the package does not depend on fonts-liberation, the face the windows are drawn in"

tarball=$cache/bookworm-minbase.tar
[ "$prepare" = 0 ] || [ -z "$(find "$tarball" -mtime -7 2>/dev/null)" ] || exit 0
mkdir "$root"
mount -t tmpfs -o size=4g,mode=755 kvartix-clean-root "$root"
if [ -n "$(find "$tarball" -mtime -7 2>/dev/null)" ]; then
  step "minimal Debian 12 root from $tarball"
  tar -C "$root" -xf "$tarball"
else
  step "minimal Debian 12 root from $mirror (debootstrap)"
  bounded 240 debootstrap --variant=minbase bookworm "$root" "$mirror" \
    >"$work/debootstrap.log" 2>&1 ||
    { tail -20 "$work/debootstrap.log"; fail "debootstrap failed"; }
  tar -C "$root" -cf "$tarball.new" . && mv "$tarball.new" "$tarball"
fi
((prepare)) && exit 0
# The suites an installed Debian 12 has, so that its libraries are the updated ones this
# machine has too.
mirror_host=${mirror%/debian}
cat >"$root/etc/apt/sources.list" <<EOF
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb $mirror_host/debian-security bookworm-security main
EOF
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"

step "apt-get install --no-install-recommends ./$(basename "$deb")"
cp "$deb" "$root/tmp/"
chmod 644 "$root/tmp/$(basename "$deb")"
cp "$cache/debs/"*.deb "$root/var/cache/apt/archives/" 2>/dev/null || true
in_root 90 apt-get update -q >"$work/apt.log" 2>&1 ||
  { tail -20 "$work/apt.log"; fail "apt-get update failed"; }
in_root 150 apt-get install -y -q --no-install-recommends "/tmp/$(basename "$deb")" \
  >>"$work/apt.log" 2>&1 ||
  { tail -20 "$work/apt.log"; fail "the package did not install"; }
rm -f "$cache/debs/"*.deb
find "$root/var/cache/apt/archives" -maxdepth 1 -name '*.deb' -exec cp -t "$cache/debs" {} +

step "kvartix-cli in the root"
version=$(in_root 10 kvartix-cli --version)
[ "$version" = "kvartix-cli $(dpkg-deb -f "$deb" Version)" ] ||
  fail "kvartix-cli --version said '$version'"
in_root 30 kvartix-cli --seconds 1 >"$work/bert.log" ||
  { cat "$work/bert.log"; fail "a BERT on LOOP did not pass"; }
grep -q "Result  *no errors" "$work/bert.log" || { cat "$work/bert.log"; fail "the BERT's result"; }

# The same window, settings and screen in both: LOOP chosen, the start-up window left out.
# There is no window manager under Xvfb, so no frame or title bar; the caret does not show in
# a window that was never activated.
step "the window in the root and here, under Xvfb"
settings=$'[Morvi]\nPlus=1\n[Parameters]\nPort=LOOP\n'
screen=(-s "-screen 0 1024x768x24")
printf '%s' "$settings" >"$root/tmp/look.ini"
# The program in the root reaches the server through its abstract socket, with the cookie
# copied in.
bounded 60 xvfb-run -a "${screen[@]}" "$here/window_shot.sh" "$work/root.png" "$work/root.err" \
  sh -c 'cp "$XAUTHORITY" "$1/tmp/xauth" && exec chroot "$1" env -i PATH=/usr/bin:/bin HOME=/root \
    LANG=C.UTF-8 DISPLAY="$DISPLAY" XAUTHORITY=/tmp/xauth kvartix /tmp/look.ini' - "$root" ||
  fail "the window in the root"
mkdir -p "$work/here/home"
dpkg-deb -x "$deb" "$work/here"
printf '%s' "$settings" >"$work/here/look.ini"
bounded 60 xvfb-run -a "${screen[@]}" "$here/window_shot.sh" "$work/here.png" "$work/here.err" \
  sh -c 'exec env -i PATH=/usr/bin:/bin HOME="$1/home" LANG=C.UTF-8 DISPLAY="$DISPLAY" \
    XAUTHORITY="$XAUTHORITY" "$1/usr/bin/kvartix" "$1/look.ini"' - "$work/here" ||
  fail "the window here"
# The window is whatever is not the bare screen's black: its menu bar and client area. Both
# pictures are kept, whatever follows.
box=$(convert "$work/here.png" -format '%@' info:)
root_box=$(convert "$work/root.png" -format '%@' info:)
convert "$work/root.png" -crop "$box" +repage "$pictures/window-clean-root.png"
convert "$work/here.png" -crop "$box" +repage "$pictures/window-reference.png"
[ "$root_box" = "$box" ] || fail "the window in the root is $root_box, here $box"

# Nothing on standard error but the notice of a session without a runtime folder: a missing
# face, a platform plugin or a library Qt could not load would say so there.
for side in root here; do
  if grep -v "XDG_RUNTIME_DIR not set" "$work/$side.err"; then
    fail "the window ($side) wrote the above on standard error"
  fi
done

rm -f "$pictures/window-difference.png"
if ! differing=$(compare -metric AE "$pictures/window-clean-root.png" \
  "$pictures/window-reference.png" "$pictures/window-difference.png" 2>&1); then
  fail "$differing pixels of the window differ ($pictures/window-difference.png)"
fi
rm -f "$pictures/window-difference.png"
step "passed: the window ($box) is the same in the root; pictures in $pictures"
