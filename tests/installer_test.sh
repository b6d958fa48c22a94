#!/usr/bin/env bash
# The installer in a fresh Wine prefix of its own: silent install, the shortcuts it makes, the
# program started from its "Kestrelon" shortcut, and a silent uninstall.
#   installer_test.sh BUILD_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
setup=$build/dist/kestrelon-1.0.1-setup.exe
state=$build/installer-wine
wine=/usr/lib/wine/wine64
failures=0

check() { # description, command...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
not() { ! "$@"; }
wait_until() { # seconds, command...
  local end=$((SECONDS + $1)); shift
  until "$@"; do [ $SECONDS -lt $end ] || return 1; sleep 0.2; done
}

"$root/tools/wine-env.sh" stop "$state"
rm -rf "$state"
trap '"$root/tools/wine-env.sh" stop "$state"' EXIT
env_lines=$("$root/tools/wine-env.sh" ensure "$state" "$build/bin/desktop_keeper.exe")
eval "$(sed 's/^/export /' <<<"$env_lines")"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="

profile=$WINEPREFIX/drive_c/users/$(id -un)
installed=$profile/AppData/Local/Programs/Kestrelon
start_menu="$profile/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
start_items=$profile/Documents/StartItems
apps_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrelon'
files=(kestrelon.exe Computer.lnk Network.lnk "Control Panel.lnk" "Devices and Printers.lnk" Run.lnk uninstall.exe)

resolve() { "$wine" "$build/bin/ktool.exe" resolve "$1" | tr -d '\r'; }
apps_entry() { "$wine" reg query "$apps_key" >/dev/null 2>&1; }
uninstalled() { [ ! -e "$installed" ]; }
uninstall() { "$wine" "$installed/uninstall.exe" /S && wait_until 60 uninstalled; }

echo "== install into a profile without StartItems"
check "StartItems is missing before" test ! -e "$start_items"
"$wine" "$setup" /S
for f in "${files[@]}"; do check "installed $f" test -f "$installed/$f"; done
check "StartItems created" test -d "$start_items"
check "Apps entry registered" apps_entry

expect_link() { # file, clsid
  local got
  got=$(resolve "$installed\\$1")
  check "$1 opens shell:::$2 (got: $got)" test "$got" = "C:\\windows\\explorer.exe|shell:::$2|C:\\users\\$(id -un)\\AppData\\Local\\Programs\\Kestrelon"
}
expect_link Computer.lnk "{20D04FE0-3AEA-1069-A2D8-08002B30309D}"
expect_link Network.lnk "{F02C1A0D-BE21-4350-88B0-7367FC96EF3C}"
expect_link "Control Panel.lnk" "{26EE0668-A00A-44D7-9371-BEB064C98683}"
expect_link "Devices and Printers.lnk" "{A8A91A66-3A7D-4424-8D24-04E180695C7A}"
expect_link Run.lnk "{2559a1f3-21d7-11d4-bdaf-00c04f60b9f0}"
install_dir_win="C:\\users\\$(id -un)\\AppData\\Local\\Programs\\Kestrelon"
got=$(resolve "$start_menu/Kestrelon.lnk")
check "Kestrelon shortcut starts the program in its folder (got: $got)" \
  test "$got" = "$install_dir_win\\kestrelon.exe||$install_dir_win"

echo "== the Kestrelon shortcut starts a popup whose Computer link opens the installed Computer.lnk"
# Point the installed Computer.lnk at the launch recorder so that the launch can be seen.
cp "$installed/Computer.lnk" "$state/Computer.lnk.orig"
"$wine" "$build/bin/ktool.exe" shortcut "$install_dir_win\\Computer.lnk" "$(winepath_recorder="$build/bin/launch_recorder.exe"; echo "Z:${winepath_recorder//\//\\}")" "installed-computer-link"
export KESTRELON_RECORDER_LOG="Z:${state//\//\\}\\launches.log"
rm -f "$state/launches.log"
"$wine" "$build/bin/ktool.exe" open "C:\\users\\$(id -un)\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Kestrelon.lnk" Kestrelon 30 &
starter=$!
check "popup shown" "$wine" "$build/bin/ktool.exe" wait-window Kestrelon 20
tray_top=748
# The Computer link's row: x 260..397, y 250..281 of the popup, whose bottom is the taskbar's top.
xdotool mousemove --sync 320 $((tray_top - 485 + 265))
xdotool mousemove --sync 321 $((tray_top - 485 + 266)) click 1
check "recorder launched through the installed Computer.lnk" wait_until 20 grep -qs installed-computer-link "$state/launches.log"
check "popup ended with exit code 0" wait "$starter"
# Whatever happened, no popup may keep the installed program busy during the uninstall:
# a start while one is open closes it.
if "$wine" "$build/bin/ktool.exe" wait-window Kestrelon 0; then "$wine" "$installed/kestrelon.exe" || true; fi
cp "$state/Computer.lnk.orig" "$installed/Computer.lnk"

echo "== silent uninstall"
check "uninstaller finished" uninstall
check "Kestrelon shortcut removed" test ! -e "$start_menu/Kestrelon.lnk"
check "Apps entry removed" not apps_entry
check "empty StartItems made by the installer removed" test ! -e "$start_items"

echo "== install and uninstall with a StartItems that holds the user's items"
mkdir -p "$start_items/Tools"
echo keep >"$start_items/Notes.txt"
"$wine" "$setup" /S
check "installed again" test -f "$installed/kestrelon.exe"
check "uninstaller finished" uninstall
check "StartItems content kept" test -f "$start_items/Notes.txt" -a -d "$start_items/Tools"

echo "$((failures == 0 ? 1 : 0)) passed, $failures failed"
[ $failures -eq 0 ]
