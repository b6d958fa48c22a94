#!/usr/bin/env bash
# Shows the popup in the build folder's Wine world with a demo account picture, moves the
# mouse onto "Documents" and saves a PNG of the popup; then starts the program again, which
# closes the popup.
#   tools/demo-picture/screenshot.sh [OUT.png]      (build first: bash tools/test.sh)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${KESTRELON_BUILD_DIR:-$root/build}
out=$(realpath -m "${1:-$build/panel-hover.png}")
wine=/usr/lib/wine/wine64
[ -f "$build/bin/kestrelon.exe" ] || { echo "no $build/bin/kestrelon.exe: run bash tools/test.sh first" >&2; exit 1; }

trap '"$root/tools/wine-env.sh" stop "$build/wine"' EXIT
eval "$("$root/tools/wine-env.sh" ensure "$build/wine" "$build/bin/desktop_keeper.exe" | sed 's/^/export /')"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="

# The popup takes the account picture from "<account name>.bmp" in this folder under Wine.
account=$("$wine" cmd /c 'echo %USERNAME%' 2>/dev/null | tr -d '\r\n')
python3 "$root/tools/demo-picture/make_picture.py" \
  "$WINEPREFIX/drive_c/ProgramData/Microsoft/User Account Pictures/$account.bmp"

demo=$build/demo
mkdir -p "$demo"
(cd "$demo" && setsid "$wine" "$build/bin/kestrelon.exe" 9>&- </dev/null >/dev/null 2>&1 &)
"$wine" "$build/bin/ktool.exe" wait-window Kestrelon 20 2>/dev/null

# The 1024 x 768 desktop's taskbar starts at y 748, so the popup stands at (0, 263).
# "Documents" is the second link: popup y 106 to 137.
xdotool mousemove --sync 330 385
sleep 1  # let the hover paint reach the screen
import -window root -display "$DISPLAY" -crop 410x485+0+263 +repage "$out"
"$wine" "$build/bin/kestrelon.exe" 2>/dev/null || true
echo "$out"
