#!/usr/bin/env bash
# Installs what building and running Kestrelon under Wine needs on Debian 12.
# Idempotent: does nothing when every package is already there.
set -euo pipefail

packages=(cmake make googletest g++-mingw-w64-x86-64-posix clang lld llvm mingw-w64-tools binutils-mingw-w64-x86-64
  wine64 xvfb xdotool x11-utils xauth imagemagick util-linux procps nsis zip unzip "$@")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
