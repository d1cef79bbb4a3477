#!/usr/bin/env bash
# Installs the Debian packages Varnok needs to build and test, when missing.
set -euo pipefail

packages=(cmake ninja-build g++ qt6-base-dev qt6-translations-l10n libgl-dev
          fonts-dejavu-core fonts-liberation fonts-symbola)
# The end-to-end tests start a small HTTP server; any python3 will do.
command -v python3 >/dev/null 2>&1 || packages+=(python3)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installiere: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
