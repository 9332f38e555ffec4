#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and run KVARTIX (`run`), or to
# build it and pass every test (`test`, the default).
set -euo pipefail

scope=${1:-test}
case $scope in run | check | test) ;; *) echo "usage: $0 [run|check|test]" >&2; exit 3 ;; esac
# The program: its build and the face its windows are drawn for.
packages=(cmake g++ make pkg-config qt6-base-dev fonts-liberation)
# The plain build's tests and benchmarks (`check`): scripts/test.sh installs these first and
# the rest while the program builds.
if [ "$scope" != run ]; then
  packages+=(
    libgtest-dev libgmock-dev libbenchmark-dev
    fonts-dejavu-core xvfb xauth socat locales pv
    desktop-file-utils groff-base appstream python3
  )
fi
# The package, the Windows build under wine, the rig, the clean root and the fuzzer.
if [ "$scope" = test ]; then
  packages+=(
    dpkg-dev lintian
    g++-mingw-w64-x86-64-posix wine wine64 googletest
    qemu-system-x86 busybox-static cpio
    debootstrap imagemagick mount
    clang libclang-rt-14-dev
  )
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -q
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

[ "$scope" != run ] || exit 0

# A locale with a decimal comma, for the tests that prove number texts ignore the locale.
if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
  "${sudo_cmd[@]}" sed -i 's/^# *\(ru_RU\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  "${sudo_cmd[@]}" locale-gen >/dev/null
fi
