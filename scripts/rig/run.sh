#!/usr/bin/env bash
# The virtual-machine rig: kvartix-cli on the Linux kernel's own serial drivers (8250 on QEMU's
# 16550 in internal loopback, ftdi_sio on QEMU's USB serial adapter) in a small QEMU machine,
# one row per case of tests/rig/cases.txt (or of KVARTIX_RIG_CASES). Exits non-zero when a
# case fails. Two more 16550s (ttyS2, ttyS3) and the adapter have pseudo-terminals on the host
# for far ends; for the two-port cases kvartix-rig wires two of them TX to RX both ways, each
# way paced at the line's rate, as a null-modem cable without modem lines.
#   scripts/rig/run.sh [--cli KVARTIX_CLI --host KVARTIX_RIG]
#   scripts/rig/run.sh --fetch-kernel   (only the kernel, e.g. while the programs build)
# Without the two paths it builds both in build/default. Debian's kernel package is fetched
# once into build/rig/kernel; the initramfs is made anew each run (a second or two).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$root/build/rig
# Another table of cases, for a few of them by hand.
cases=${KVARTIX_RIG_CASES:-$root/tests/rig/cases.txt}
cli= host= fetch_only=0
while (($#)); do
  case $1 in
    --cli) cli=$2; shift 2 ;;
    --host) host=$2; shift 2 ;;
    --fetch-kernel) fetch_only=1; shift ;;
    *) echo "usage: $0 [--cli PATH --host PATH | --fetch-kernel]" >&2; exit 3 ;;
  esac
done
if ((!fetch_only)) && { [ -z "$cli" ] || [ -z "$host" ]; }; then
  cmake --preset default -S "$root" >/dev/null
  (cd "$root" && cmake --build --preset default -j2 --target kvartix-cli kvartix-rig)
  cli=$root/build/default/src/cli/kvartix-cli host=$root/build/default/tests/kvartix-rig
fi
mkdir -p "$work/kernel"

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
kernel_package() {
  apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-[0-9]/ {print $2; exit}'
}
pkg=$(kernel_package)
if [ -z "$pkg" ] && ! compgen -G "$work/kernel/*/vmlinuz" >/dev/null; then
  "${sudo_cmd[@]}" apt-get update -q >/dev/null
  pkg=$(kernel_package)
fi
# Without package lists, any kernel fetched before will do.
[ -n "$pkg" ] || pkg=$(basename "$(dirname "$(ls -t "$work"/kernel/*/vmlinuz | head -1)")")
kernel=$work/kernel/$pkg
modules=(usb-common usbcore uhci-hcd usbserial ftdi_sio)
if [ ! -f "$kernel/vmlinuz" ]; then
  echo "rig: fetching $pkg"
  dl=$(mktemp -d "$work/kernel/fetch.XXXXXX")
  trap 'rm -rf "$dl"' EXIT
  (cd "$dl" && apt-get download -q "$pkg" 2>&1 | grep -v '^W: Download is performed unsandboxed' || true)
  dpkg-deb -x "$dl"/"$pkg"_*.deb "$dl/x"
  mkdir -p "$dl/out"
  cp "$dl"/x/boot/vmlinuz-* "$dl/out/vmlinuz"
  for m in "${modules[@]}"; do
    ko=$(find "$dl/x/lib/modules" -name "$m.ko*" | head -1)
    [ -n "$ko" ] || { echo "rig: $pkg has no module $m" >&2; exit 2; }
    # busybox insmod takes plain modules only.
    case $ko in
      *.xz) xz -dc "$ko" >"$dl/out/$m.ko" ;;
      *.zst) zstd -qdc "$ko" >"$dl/out/$m.ko" ;;
      *.gz) gzip -dc "$ko" >"$dl/out/$m.ko" ;;
      *) cp "$ko" "$dl/out/$m.ko" ;;
    esac
  done
  rm -rf "$kernel"
  mv "$dl/out" "$kernel"
  rm -rf "$dl"
  trap - EXIT
fi
((!fetch_only)) || exit 0

# The initramfs: busybox and its links, kvartix-cli with the libraries it loads, the loop
# helper, the modules, the init and the case table.
img=$work/initramfs
rm -rf "$img"
mkdir -p "$img"/{bin,sbin,usr/bin,usr/sbin,lib/modules/rig,rig,dev,proc,sys,run,tmp}
cp /bin/busybox "$img/bin/busybox"
/bin/busybox --list-full | while read -r applet; do
  [ -e "$img/$applet" ] || ln -s /bin/busybox "$img/$applet"
done
strip -o "$img/bin/kvartix-cli" "$cli"
ldd "$cli" | grep -o '/[^ ]*' | while read -r lib; do
  mkdir -p "$img$(dirname "$lib")"
  cp -L "$lib" "$img$lib"
done
gcc -static -O2 -Wall -Werror -o "$img/bin/rig-tty" "$root/tests/rig/rig_tty.c"
cp "$kernel"/*.ko "$img/lib/modules/rig/"
install -m 755 "$root/tests/rig/init" "$img/init"
cp "$cases" "$img/rig/cases.txt"
(cd "$img" && find . | cpio -o -H newc -R +0:+0 --quiet | gzip -1 >"$work/initramfs.gz")

# Four 16550s (ttyS0 the console on standard input and output, ttyS1 the looped one, ttyS2
# and ttyS3 for the cable) and the FTDI adapter behind the UHCI controller of -usb. Each
# pseudo-terminal's chardev is named after the guest's port, which is how kvartix-rig finds it.
# TCG: KVM hangs at boot on the machines this runs on.
rm -f "$work/monitor.sock"
"$host" --cases "$cases" --monitor "$work/monitor.sock" \
  --console "$work/console.log" --deadline "${KVARTIX_RIG_DEADLINE:-240}" -- \
  qemu-system-x86_64 -accel tcg -m 256 -smp 1 -nodefaults -no-reboot -display none \
  -serial stdio -serial null -net none \
  -chardev pty,id=ttyS2 -serial chardev:ttyS2 -chardev pty,id=ttyS3 -serial chardev:ttyS3 \
  -monitor "unix:$work/monitor.sock,server=on,wait=off" \
  -usb -chardev pty,id=ttyUSB0 -device usb-serial,chardev=ttyUSB0,id=ftdi \
  -kernel "$kernel/vmlinuz" -initrd "$work/initramfs.gz" \
  -append "console=ttyS0,115200 quiet loglevel=1 panic=-1" | tee "$work/report.txt"
