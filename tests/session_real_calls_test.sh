#!/usr/bin/env bash
# The four session actions end to end through the real Windows calls: kestrelon.exe is
# clicked with real input, its calls are traced by Wine's relay log, and a windowed
# bystander shows what a real log-off, restart or shut-down does to the session. Such a call
# ends every windowed process of its prefix, so this runs in a Wine world of its own
# (Xvfb, prefix and server under BUILD_DIR/wine-session), never in the one the other tests share.
#   session_real_calls_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
src=$1
build=$2
bin=$build/bin
state=$build/wine-session
wine=/usr/lib/wine/wine64
work=$(mktemp -d)
trap '"$src/tools/wine-env.sh" stop "$state" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Waits up to $1 seconds for a command to succeed.
wait_until() {
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.1
  done
}

windows_path() { echo "Z:${1//\//\\}"; }
ended() { ! kill -0 "$1" 2>/dev/null; }

enter_world() {
  eval "$("$src/tools/wine-env.sh" ensure "$state" "$bin/desktop_keeper.exe" | sed 's/^/export /')"
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
}

trace_session_calls() {
  cat >"$work/relay.reg" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\Debug]
"RelayInclude"="user32.TrackPopupMenu;user32.DestroyMenu;advapi32.OpenProcessToken;advapi32.AdjustTokenPrivileges;kernel32.CloseHandle;user32.ExitWindowsEx;user32.LockWorkStation;user32.PostQuitMessage"
REG
  "$wine" regedit /S "$(windows_path "$work/relay.reg")" </dev/null >/dev/null 2>&1
}

# The traced calls in order, with the run's own handles and pointers replaced by names.
session_calls() {
  local relay=$1 menu token owner
  menu=$(sed -n 's/.*Call user32\.TrackPopupMenu(\([0-9a-f]*\),.*/\1/p' "$relay" | head -1)
  owner=$(sed -n 's/.*Call user32\.TrackPopupMenu([^,]*,[^,]*,[^,]*,[^,]*,[^,]*,\([0-9a-f]*\),.*/\1/p' "$relay" | head -1)
  token=$(sed -n 's/.*Call advapi32\.AdjustTokenPrivileges(\([0-9a-f]*\),.*/\1/p' "$relay" | head -1)
  grep -o 'Call [A-Za-z0-9]*\.[A-Za-z]*([^)]*)' "$relay" | sed 's/^Call //' | sed -n '/^user32\.TrackPopupMenu(/,$p' |
    awk -v mine="KERNEL32.CloseHandle(${token:-none})" '!/^KERNEL32\.CloseHandle\(/ || $0 == mine' |
    sed -e "s/(${menu:-none}\([,)]\)/(MENU\1/" -e "s/,${owner:-none},/,OWNER,/" -e "s/(${token:-none}\([,)]\)/(TOKEN\1/" \
      -e 's/^\(advapi32\.OpenProcessToken([^,]*,[^,]*,\)[0-9a-f]*)/\1PTR)/' \
      -e 's/^\(advapi32\.AdjustTokenPrivileges([^,]*,[^,]*,\)[0-9a-f]*,/\1PTR,/'
}

# run_action NAME KEYS EXPECTED_CALL EXPECTED_RESULT SESSION_ENDS
run_action() {
  local name=$1 keys=$2 call=$3 result=$4 session_ends=$5
  local log=$work/$name.bystander relay=$work/$name.relay code=$work/$name.exit
  enter_world
  "$wine" "$bin/session_bystander.exe" "$(windows_path "$log")" </dev/null >/dev/null 2>&1 &
  local bystander=$!
  "$wine" "$bin/ktool.exe" wait-window SessionBystander 30 </dev/null >/dev/null 2>&1 || fail "$name: no bystander window"

  (cd "$work" && WINEDEBUG=+relay "$wine" "$bin/kestrelon.exe" </dev/null >/dev/null 2>"$relay"
    echo $? >"$code") &
  "$wine" "$bin/ktool.exe" wait-window Kestrelon 30 </dev/null >/dev/null 2>&1 || fail "$name: no popup"
  # The popup fills 0,263 to 410,748; "Shut down..." is at 265,443 (85 x 22) in it.
  # --sync waits for the pointer to move, so it must not already be at the button.
  xdotool mousemove --sync 5 5 mousemove --sync 307 717 click 1
  "$wine" "$bin/ktool.exe" wait-window '#32768' 20 </dev/null >/dev/null 2>&1 || fail "$name: no menu"
  # shellcheck disable=SC2086
  xdotool key --delay 150 $keys Return
  wait_until 30 test -s "$code" || fail "$name: the popup did not end"
  [ "$(cat "$code")" = 0 ] || fail "$name: the popup exited with $(cat "$code")"

  local expected actual
  expected=$(printf '%s\n' "user32.TrackPopupMenu(MENU,00000020,0000015e,000002d8,00000000,OWNER,00000000)" \
    "user32.DestroyMenu(MENU)" "advapi32.OpenProcessToken(ffffffffffffffff,00000028,PTR)" \
    "advapi32.AdjustTokenPrivileges(TOKEN,00000000,PTR,00000000,00000000,00000000)" \
    "KERNEL32.CloseHandle(TOKEN)" "$call" "user32.PostQuitMessage(00000000)")
  actual=$(session_calls "$relay")
  [ "$actual" = "$expected" ] || fail "$name: calls were
$actual
expected
$expected"
  local callee=${call%%(*}
  grep -q "Ret  $callee() retval=$result " "$relay" || fail "$name: $callee did not return $result"

  if [ "$session_ends" = yes ]; then
    wait_until 30 ended "$bystander" || fail "$name: the session did not end the bystander"
    wait "$bystander" || fail "$name: the bystander exited with $?"
    [ "$(cat "$log")" = "$(printf 'started\nqueryendsession 0\nendsession 1 0')" ] ||
      fail "$name: the bystander saw: $(cat "$log")"
  else
    ended "$bystander" && fail "$name: the bystander ended"
    [ "$(cat "$log")" = started ] || fail "$name: the bystander saw: $(cat "$log")"
    kill "$bystander"
    wait "$bystander" || true
  fi
  echo "ok: $name: $call returned $result, the popup exited 0, the session $([ "$session_ends" = yes ] && echo ended || echo went on)"
}

enter_world
trace_session_calls
# Keys from the menu as it opens, nothing highlighted: Down reaches Log off first, Up reaches
# Shut down first; separators are skipped.
# Wine does not implement LockWorkStation: it fails and the session goes on.
run_action lock "Down Down" "user32.LockWorkStation()" 00000000 no
run_action logoff "Down" "user32.ExitWindowsEx(00000000,00000000)" 00000001 yes
run_action restart "Up Up" "user32.ExitWindowsEx(00000002,00000000)" 00000001 yes
run_action shutdown "Up" "user32.ExitWindowsEx(00000008,00000000)" 00000001 yes
echo "4 passed, 0 failed"
