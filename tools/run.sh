#!/usr/bin/env bash
# Builds Kestrelon and shows the popup under Wine, on a demo profile, on a desktop with a taskbar.
# With an X display the popup is yours to use. Without one it runs on Xvfb, saves a screenshot
# of the screen with the popup open, closes the popup by starting the program again, and exits.
# shellcheck source=tools/lib.sh
source "$(dirname "$0")/lib.sh"
build=${KESTRELON_BUILD_DIR:-$root/build}
state=$build/demo-wine
shot=${KESTRELON_SCREENSHOT:-$build/kestrelon-screenshot.png}

cmake_build gcc "$build" -- kestrelon ktool desktop_keeper >/dev/null

headless=1
if [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ] && xdpyinfo >/dev/null 2>&1; then
  headless=0
  export KESTRELON_USE_DISPLAY=$DISPLAY
fi
trap 'stop_wine "$state"' EXIT
enter_wine "$state" "$build/bin/desktop_keeper.exe"

# The demo profile: a home with pinned items, a few programs, the five link shortcuts and a picture.
drive_c=$WINEPREFIX/drive_c
# Wine gives every process homedrive C: and homepath \users\<account>: the demo home is that one.
home=users/$(id -un)
work=$drive_c/$home/Kestrelon
pinned=$drive_c/$home/Documents/StartItems
programs="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
pictures="$drive_c/ProgramData/Microsoft/User Account Pictures"
mkdir -p "$work" "$pinned/Projects" "$drive_c/$home/"{Pictures,Music,Downloads} "$programs/Accessories" "$pictures"
echo "Kestrelon demo profile" >"$pinned/Readme.txt"

shortcut() { # link target [arguments]
  [ -e "$1" ] || "$wine" "$build/bin/ktool.exe" shortcut "$(windows_path "$1")" "$2" "${3:-}" 2>/dev/null
}

shortcut "$pinned/Notepad.lnk" 'C:\windows\notepad.exe'
shortcut "$pinned/Command Prompt.lnk" 'C:\windows\system32\cmd.exe'
shortcut "$pinned/Wine Configuration.lnk" 'C:\windows\system32\winecfg.exe'
shortcut "$programs/Accessories/Notepad.lnk" 'C:\windows\notepad.exe'
shortcut "$programs/Accessories/WordPad.lnk" 'C:\Program Files\Windows NT\Accessories\wordpad.exe'
shortcut "$programs/Registry Editor.lnk" 'C:\windows\regedit.exe'
shortcut "$programs/Wine Configuration.lnk" 'C:\windows\system32\winecfg.exe'
shortcut "$work/Computer.lnk" 'C:\windows\explorer.exe' '/root,::{20D04FE0-3AEA-1069-A2D8-08002B30309D}'
shortcut "$work/Network.lnk" 'C:\windows\explorer.exe' '/root,::{F02C1A0D-BE21-4350-88B0-7367FC96EF3C}'
shortcut "$work/Control Panel.lnk" 'C:\windows\system32\control.exe'
shortcut "$work/Devices and Printers.lnk" 'C:\windows\system32\control.exe' 'printers'
shortcut "$work/Run.lnk" 'C:\windows\system32\rundll32.exe' 'shell32.dll,#61'
picture="$pictures/$(id -un).bmp"
cp "$root/tools/demo-account.bmp" "$picture"

cd "$work"
if [ $headless -eq 0 ]; then
  echo "Kestrelon is open on the Wine desktop; press Esc or pick something to end the run."
  exec "$wine" "$build/bin/kestrelon.exe"
fi

"$wine" "$build/bin/kestrelon.exe" &
popup=$!
"$wine" "$build/bin/ktool.exe" wait-window Kestrelon 20
# Hover "Documents", the second link (popup y 106 to 137; the popup stands on the taskbar at y 748).
xdotool mousemove --sync 300 290
xdotool mousemove --sync 330 385
sleep 2 # let the pinned items, the icons and the hover reach the screen before the picture
import -display "$DISPLAY" -window root "$shot"
echo "Screenshot of the open popup: $shot"
"$wine" "$build/bin/kestrelon.exe" # a second start closes the popup
wait $popup
echo "The popup closed; both runs exited 0."
