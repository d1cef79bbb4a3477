#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package build/varnok_VERSION_ARCH.deb: a Release build
# for /usr without tests and benchmarks, as a distribution would build it
# (warnings stay warnings), packed by cpack with the dependencies that
# dpkg-shlibdeps finds plus the translations and fonts (data/CMakeLists.txt).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh --package

dir=build/package
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
      -DBUILD_TESTING=OFF -DVARNOK_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$dir"
rm -f "$dir"/varnok_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
deb=$(cd "$dir" && ls varnok_*.deb)
mv "$dir/$deb" "build/$deb"
echo "build/$deb"
