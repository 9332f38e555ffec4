#!/bin/sh
# Installs the build into a scratch folder and checks that every file a desktop expects is
# there, each icon a PNG of its own size. Usage: install_tree.sh BUILD-FOLDER PROGRAM...
set -eu
build=$1
shift
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
share=$root/usr/share
status=0
programs=""
for p in "$@"; do programs="$programs bin/$p"; done
for f in $programs share/applications/kvartix.desktop \
  share/metainfo/com.example.kvartix.metainfo.xml share/man/man1/kvartix.1.gz \
  share/man/man1/kvartix-cli.1.gz share/doc/kvartix/copyright share/doc/kvartix/changelog.gz; do
  [ -s "$root/usr/$f" ] || { echo "missing: /usr/$f"; status=1; }
done
for size in 16 32 48 64 128 256; do
  png=$share/icons/hicolor/${size}x$size/apps/kvartix.png
  # The PNG signature, then the header chunk's width and height as 32-bit big-endian numbers.
  got=$(od -An -tu1 -j16 -N8 "$png" 2>/dev/null | awk '{print $3*256+$4 "x" $7*256+$8}')
  [ "$got" = "${size}x$size" ] || { echo "icon ${size}x$size: got '$got'"; status=1; }
done
exit $status
