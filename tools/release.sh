#!/usr/bin/env bash
# Builds the release artifacts into dist/: the per-user installer and a portable zip.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KESTRELON_BUILD_DIR:-$root/build-release}
version=1.0.1
dist=$root/dist
wine=/usr/lib/wine/wine64

"$root/tools/deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DKESTRELON_TESTS=OFF -DKESTRELON_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
mkdir -p "$dist"
cp "$build/dist/kestrelon-$version-setup.exe" "$dist/"

# The portable zip carries the very shortcut files the installer makes: install once into a
# scratch Wine prefix and take them from there.
state=$build/release-wine
rm -rf "$state"
trap '"$root/tools/wine-env.sh" stop "$state"' EXIT
env_lines=$("$root/tools/wine-env.sh" ensure "$state" "$build/bin/desktop_keeper.exe")
eval "$(sed 's/^/export /' <<<"$env_lines")"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
"$wine" "$dist/kestrelon-$version-setup.exe" /S
installed="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/Programs/Kestrelon"

staging=$build/portable/kestrelon-$version
rm -rf "$build/portable"
mkdir -p "$staging"
cp "$installed"/{kestrelon.exe,Computer.lnk,Network.lnk,"Control Panel.lnk","Devices and Printers.lnk",Run.lnk} "$staging/"
cat >"$staging/README.txt" <<'TXT'
Kestrelon 1.0.1 (portable)

Kestrelon opens the five system links of its menu (Computer, Network, Control Panel,
Devices and Printers, Run...) through the shortcut files beside it, which it looks for in
its working directory. So start it with this folder as the working directory:

- make a shortcut to kestrelon.exe and set its "Start in" field to this folder, then pin
  that shortcut to the taskbar: each click opens or closes the menu; or
- from a command prompt: cd into this folder, then run kestrelon.exe.

Pinned items are read from Documents\StartItems in your profile folder: put shortcuts there.
The installer (kestrelon-1.0.1-setup.exe) does all of this for you.
TXT
rm -f "$dist/kestrelon-$version-portable.zip"
(cd "$build/portable" && zip -q -r "$dist/kestrelon-$version-portable.zip" "kestrelon-$version")
ls -l "$dist"
