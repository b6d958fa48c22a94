#!/usr/bin/env bash
# Builds the release artifacts into dist/: the per-user installer and a portable zip. Then
# verifies them in a fresh Wine prefix of their own and prints a table of checks; exits
# non-zero when an artifact is wrong.
# shellcheck source=tools/lib.sh
source "$(dirname "$0")/lib.sh"
build=${KESTRELON_BUILD_DIR:-$root/build-release}
version=1.0.1
dist=$root/dist

cmake_build release "$build" >/dev/null
mkdir -p "$dist"
cp "$build/dist/kestrelon-$version-setup.exe" "$dist/"

# The portable zip carries the very shortcut files the installer makes: install once into a
# scratch Wine prefix and take them from there.
state=$build/release-wine
check_state=$build/release-check-wine
rm -rf "$state"
trap 'stop_wine "$state" "$check_state"' EXIT
enter_wine "$state" "$build/bin/desktop_keeper.exe"
"$wine" "$dist/kestrelon-$version-setup.exe" /S
installed="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/Programs/Kestrelon"

staging=$build/portable/kestrelon-$version
rm -rf "$build/portable"
mkdir -p "$staging"
cp "$installed"/{kestrelon.exe,Computer.lnk,Network.lnk,"Control Panel.lnk","Devices and Printers.lnk",Run.lnk} "$staging/" ||
  echo "the scratch install lacks a file of the zip: the checks below say which" >&2
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
stop_wine "$state"

# --- verify: install, run and uninstall the installer just built, in a fresh prefix ---
results=()
check() { # description, command...
  local what=$1
  shift
  if "$@" >/dev/null 2>&1; then results+=("ok|$what"); else results+=("FAIL|$what"); fi
}
not() { ! "$@"; }

rm -rf "$check_state"
enter_wine "$check_state" "$build/bin/desktop_keeper.exe"
user=$(id -un)
profile=$WINEPREFIX/drive_c/users/$user
installed=$profile/AppData/Local/Programs/Kestrelon
install_dir_win="C:\\users\\$user\\AppData\\Local\\Programs\\Kestrelon"
start_menu_win="C:\\users\\$user\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"
start_menu=$profile/AppData/Roaming/Microsoft/Windows/Start\ Menu/Programs
start_items=$profile/Documents/StartItems
apps_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrelon'
ktool() { "$wine" "$build/bin/ktool.exe" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
apps_entry() { "$wine" reg query "$apps_key"; }
uninstalled() { [ ! -e "$installed" ]; }
uninstall() { timeout 60 "$wine" "$installed/uninstall.exe" /S && wait_until 60 uninstalled; }
resolves_to() { [ "$(ktool resolve "$1")" = "$2" ]; }
no_popup() { ! "$wine" "$build/bin/ktool.exe" wait-window Kestrelon 0; }

check "profile has no Documents\\StartItems before the install" test ! -e "$start_items"
check "silent install (/S) of the setup exits 0" timeout 120 "$wine" "$dist/kestrelon-$version-setup.exe" /S
check "installed kestrelon.exe is the one just built" cmp "$installed/kestrelon.exe" "$build/bin/kestrelon.exe"
check "installed uninstall.exe" test -f "$installed/uninstall.exe"
check "Documents\\StartItems created" test -d "$start_items"
check "Apps entry registered" apps_entry
links=("Computer.lnk {20D04FE0-3AEA-1069-A2D8-08002B30309D}" "Network.lnk {F02C1A0D-BE21-4350-88B0-7367FC96EF3C}"
  "Control Panel.lnk {26EE0668-A00A-44D7-9371-BEB064C98683}"
  "Devices and Printers.lnk {A8A91A66-3A7D-4424-8D24-04E180695C7A}" "Run.lnk {2559a1f3-21d7-11d4-bdaf-00c04f60b9f0}")
for link in "${links[@]}"; do
  check "${link% *} opens shell:::${link##* } in the install folder" resolves_to "$install_dir_win\\${link% *}" \
    "C:\\windows\\explorer.exe|shell:::${link##* }|$install_dir_win"
done
check "Start menu Kestrelon.lnk starts kestrelon.exe in the install folder" \
  resolves_to "$start_menu_win\\Kestrelon.lnk" "$install_dir_win\\kestrelon.exe||$install_dir_win"

# ktool opens the shortcut as the shell does and ends with the popup's exit code.
"$wine" "$build/bin/ktool.exe" open "$start_menu_win\\Kestrelon.lnk" Kestrelon 60 </dev/null >/dev/null 2>&1 &
starter=$!
check "popup started through the Start menu shortcut shows its window" \
  "$wine" "$build/bin/ktool.exe" wait-window Kestrelon 30
check "a second start exits 0" bash -c "cd '$installed' && timeout 30 '$wine' '$installed/kestrelon.exe'"
check "the popup closed by the second start exits 0" wait "$starter"
check "no popup is left" no_popup
# Whatever happened, no popup may keep the installed program busy during the uninstall.
no_popup || (cd "$installed" && timeout 30 "$wine" "$installed/kestrelon.exe") || true

check "silent uninstall (/S) removes the install folder" uninstall
check "uninstall removes the Start menu shortcut" test ! -e "$start_menu/Kestrelon.lnk"
check "uninstall removes the Apps entry" not apps_entry
check "uninstall removes the empty StartItems it made" test ! -e "$start_items"

mkdir -p "$start_items/Tools"
echo keep >"$start_items/Notes.txt"
check "install again over the user's StartItems" timeout 120 "$wine" "$dist/kestrelon-$version-setup.exe" /S
check "uninstall again removes the program" uninstall
check "uninstall keeps the user's StartItems and its content" test -f "$start_items/Notes.txt" -a -d "$start_items/Tools"

expected_zip=$(for f in "" kestrelon.exe Computer.lnk Network.lnk "Control Panel.lnk" "Devices and Printers.lnk" \
  Run.lnk README.txt; do echo "kestrelon-$version/$f"; done | sort)
zip_lists_exactly() { [ "$(unzip -Z1 "$dist/kestrelon-$version-portable.zip" | sort)" = "$expected_zip" ]; }
zip_exe_is_built() { unzip -p "$dist/kestrelon-$version-portable.zip" "kestrelon-$version/kestrelon.exe" | cmp - "$build/bin/kestrelon.exe"; }
check "portable zip holds exactly its folder, kestrelon.exe, the five shortcuts and README.txt" zip_lists_exactly
check "portable zip's kestrelon.exe is the one just built" zip_exe_is_built
# The zip's shortcuts open the same places as the installed ones (their working directory is the
# scratch install's and does not matter: the target is Explorer).
rm -rf "$check_state/zip" && unzip -q "$dist/kestrelon-$version-portable.zip" -d "$check_state/zip"
zip_links_open() {
  local link
  for link in "${links[@]}"; do
    [[ "$(ktool resolve "$(windows_path "$check_state/zip/kestrelon-$version/${link% *}")")" == \
      "C:\\windows\\explorer.exe|shell:::${link##* }|"* ]] || return 1
  done
}
check "portable zip's five shortcuts open the same shell places" zip_links_open

echo
for result in "${results[@]}"; do printf '%s\t%s\n' "${result#*|}" "${result%%|*}"; done | print_table check result
failed=$(printf '%s\n' "${results[@]}" | grep -vc '^ok|' || true)
echo "$failed of ${#results[@]} checks failed"
[ "$failed" -eq 0 ]
