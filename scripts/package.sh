#!/usr/bin/env bash
# Builds the Debian package from clean in its own build folder and prints the .deb's path.
# Installed programs look for their settings by the prefix they were built for, so the build
# uses /usr, where the package puts them.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
build=build/package
rm -rf "$build"
# Debian's own compiler and linker flags (hardening, -O2, reproducible file paths) instead of
# the release type's.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CXXFLAGS LDFLAGS
# ccache, where installed, makes a rebuild from clean quick; CI goes without.
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE=-DNDEBUG \
  -DCMAKE_INSTALL_PREFIX=/usr "${launcher[@]}" \
  -DKVARTIX_BUILD_TESTS=OFF -DKVARTIX_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null
(cd "$build" && cpack -G DEB >/dev/null)

deb=$(ls "$PWD/$build"/kvartix_*.deb)
# Its errors fail the build; warnings are shown.
lintian --fail-on error "$deb" >&2
echo "$deb"
