#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian packages build/varnok_VERSION_ARCH.deb (the desktop
# program) and build/varnok-run_VERSION_ARCH.deb (the script runner alone,
# which the first depends on): a Release build for /usr without tests and
# benchmarks, as a distribution would build it (warnings stay warnings),
# packed by cpack with the dependencies that dpkg-shlibdeps finds plus the
# translations, certificates and fonts (data/CMakeLists.txt). Prints the
# paths of both packages.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh --package

dir=build/package
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
      -DBUILD_TESTING=OFF -DVARNOK_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$dir"
rm -f "$dir"/*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
# An install rule without a component would land in a third package that
# nobody installs; better to stop here.
shopt -s nullglob
all=("$dir"/*.deb) desktop=("$dir"/varnok_*.deb) run=("$dir"/varnok-run_*.deb)
if [ ${#all[@]} -ne 2 ] || [ ${#desktop[@]} -ne 1 ] || [ ${#run[@]} -ne 1 ]; then
  echo "package.sh: cpack baute nicht genau die Pakete varnok und varnok-run: ${all[*]##*/}" >&2
  exit 1
fi
for deb in "${desktop[0]}" "${run[0]}"; do
  mv "$deb" build/
  echo "build/${deb##*/}"
done
