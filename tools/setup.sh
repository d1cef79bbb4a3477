#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages Varnok needs to build and test, when missing.
#   --package  also what tools/package.sh needs to build the .deb
#   --check    also what .ci/run uses to check the installed package
#   --fuzz     also clang, libFuzzer and the symbolizer for tools/fuzz.sh
# As root it runs apt-get itself, otherwise through sudo; when neither
# works it prints the command to run and fails.
set -euo pipefail

packages=(cmake ninja-build g++ qt6-base-dev qt6-translations-l10n libgl-dev
          fonts-dejavu-core fonts-liberation fonts-symbola)
for arg in "$@"; do
  case "$arg" in
    # cpack's dependency lookup runs dpkg-shlibdeps and file.
    --package) packages+=(dpkg-dev file) ;;
    --check) packages+=(desktop-file-utils appstream shared-mime-info man-db) ;;
    --fuzz) packages+=(clang-14 libclang-rt-14-dev llvm-14) ;;
    *) echo "setup.sh: unbekannte Option: $arg" >&2; exit 2 ;;
  esac
done
# https://: Qt's TLS backend plugin (in libqt6network6) loads the OpenSSL
# library at run time and checks certificates against the system's store;
# the TLS tests make their certificates with the openssl program.
packages+=(libqt6network6 libssl3 ca-certificates openssl)
# The Mitschnitt undoes gzip and deflate bodies with zlib (the package's
# dependency on zlib1g comes from dpkg-shlibdeps).
packages+=(zlib1g-dev)
# The end-to-end tests start a small HTTP server; any python3 will do.
command -v python3 >/dev/null 2>&1 || packages+=(python3)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installiere: ${missing[*]}"
apt_install() {
  "$@" apt-get update -qq &&
    "$@" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
if [ "$(id -u)" -eq 0 ]; then
  apt_install && exit 0
elif command -v sudo >/dev/null 2>&1; then
  apt_install sudo && exit 0
fi
echo "setup.sh: Die Pakete konnten nicht installiert werden. Bitte als root ausführen:" >&2
echo "  apt-get update && apt-get install --no-install-recommends ${missing[*]}" >&2
exit 1
