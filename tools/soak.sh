#!/usr/bin/env bash
# Builds Kestrelon and its soak program, runs the long runs under Wine and prints one table of
# what ran and what it found. Exits non-zero on a crash, a hang, an object left alive or
# unbounded growth.   tools/soak.sh [part]
# Parts: the soak parts of the bench program (kestrelon_bench --list; in the build folder's Wine
# world) and session (the real log-off, lock, restart and shut-down calls, in a Wine world of
# their own).
# shellcheck source=tools/lib.sh
source "$(dirname "$0")/lib.sh"
build=${KESTRELON_BUILD_DIR:-$root/build}
filter=${1:-}
bin=$build/bin
limit=${KESTRELON_SOAK_LIMIT:-900} # seconds for one part; none takes more than a minute or two here

cmake_build gcc "$build" -- kestrelon_bench >/dev/null

work=$(mktemp -d)
session_state=$build/wine-session
trap 'stop_wine "$build/wine" "$session_state"; rm -rf "$work"' EXIT
rows=$work/rows
touch "$rows"
row() { printf '%s\t%s\t%s\t%s\n' "$@" >>"$rows"; } # part, what, found, ok|FAIL

for part in $(bench_parts "$build" soak); do
  case "$part" in *"$filter"*) ;; *) continue ;; esac
  echo "== $part"
  started=$SECONDS code=0
  timeout -k 10 "$limit" "$root/tools/wine-exec.sh" "$build" "$bin/kestrelon_bench.exe" "$part" \
    >"$work/out" 2>&1 || code=$?
  tr -d '\r' <"$work/out" >"$work/part"
  grep -v -e '^SOAK' -e '^DONE$' "$work/part" || true
  grep '^SOAK' "$work/part" | cut -f2- >>"$rows" || true
  if ! grep -qx DONE "$work/part"; then
    if [ "$code" -eq 124 ]; then row "$part" "run" "hung: not ended within $limit s" FAIL; else
      row "$part" "run" "crashed: ended with status $code before its end" FAIL; fi
  fi
  row "$part" "run time" "$((SECONDS - started)) s" ok
done
# The presses' tree must not outlive a crashed run: the tests walk the same Programs folder.
rm -rf "$build/wine/prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Kestrelon Soak"

# --- the real session calls end every windowed process of their prefix: a world of their own ---
ended() { ! kill -0 "$1" 2>/dev/null; }

# session_action NAME KEYS CALL RESULT SESSION_ENDS: picks the item with keys from the menu of
# "Shut down..." and checks the call made, its result, the popup's exit and a bystander's fate.
session_action() {
  local name=$1 keys=$2 call=$3 result=$4 session_ends=$5 found="" ok=ok
  local log=$work/$name.bystander relay=$work/$name.relay code=$work/$name.exit
  enter_wine "$session_state" "$bin/desktop_keeper.exe"
  "$wine" "$bin/ktool.exe" bystander "$(windows_path "$log")" </dev/null >/dev/null 2>&1 &
  local bystander=$!
  if ! "$wine" "$bin/ktool.exe" wait-window SessionBystander 30 </dev/null >/dev/null 2>&1; then
    found="no bystander window"
  else
    (cd "$work" && WINEDEBUG=+relay timeout -k 5 60 "$wine" "$bin/kestrelon.exe" </dev/null >/dev/null 2>"$relay"
      echo $? >"$code") &
    if ! "$wine" "$bin/ktool.exe" wait-window Kestrelon 30 </dev/null >/dev/null 2>&1; then found="no popup"; else
      # The popup fills 0,263 to 410,748; "Shut down..." is at 265,443 (85 x 22) in it.
      timeout 20 xdotool mousemove --sync 5 5 mousemove --sync 307 717 click 1 || true
      if ! "$wine" "$bin/ktool.exe" wait-window '#32768' 20 </dev/null >/dev/null 2>&1; then found="no menu"; else
        # shellcheck disable=SC2086
        timeout 20 xdotool key --delay 150 $keys Return || true
      fi
    fi
    wait_until 70 test -s "$code" || true
    found="popup exit $(cat "$code" 2>/dev/null || echo none)"
    if grep -qF "Call $call" "$relay" && grep -qF "Ret  ${call%%(*}() retval=$result " "$relay"; then
      found+=", ${call#user32.} returned $result"
    else found+=", no ${call#user32.} returning $result"; fi
    if [ "$session_ends" = yes ]; then
      wait_until 30 ended "$bystander" && wait "$bystander" && found+=", bystander ended after: $(paste -sd, "$log")"
    elif ! ended "$bystander"; then
      found+=", session went on, bystander saw: $(paste -sd, "$log")"
    fi
  fi
  local expected="popup exit 0, ${call#user32.} returned $result, "
  expected+=$([ "$session_ends" = yes ] && echo "bystander ended after: started,queryendsession 0,endsession 1 0" ||
    echo "session went on, bystander saw: started")
  [ "$found" = "$expected" ] || ok=FAIL
  kill "$bystander" 2>/dev/null || true
  wait "$bystander" 2>/dev/null || true
  row session "$name" "$found" "$ok"
}

if [ -z "$filter" ] || [ "$filter" = session ]; then
  echo "== session"
  started=$SECONDS
  enter_wine "$session_state" "$bin/desktop_keeper.exe"
  printf 'Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Wine\\Debug]\n"RelayInclude"="user32.ExitWindowsEx;user32.LockWorkStation"\n' \
    >"$work/relay.reg"
  timeout 60 "$wine" regedit /S "$(windows_path "$work/relay.reg")" </dev/null >/dev/null 2>&1
  # Keys from the menu as it opens: Down reaches Log off first, Up reaches Shut down first.
  # Wine does not implement LockWorkStation: it fails, the run ends and the session goes on.
  session_action lock "Down Down" "user32.LockWorkStation()" 00000000 no
  session_action logoff "Down" "user32.ExitWindowsEx(00000000,00000000)" 00000001 yes
  session_action restart "Up Up" "user32.ExitWindowsEx(00000002,00000000)" 00000001 yes
  session_action shutdown "Up" "user32.ExitWindowsEx(00000008,00000000)" 00000001 yes
  row session "run time" "$((SECONDS - started)) s" ok
fi

echo
echo "Kestrelon soak on $(nproc) cores, Wine $("$wine" --version 2>/dev/null)"
print_table part what found result <"$rows"
failed=$(grep -c $'\tFAIL$' "$rows" || true)
[ -s "$rows" ] || { echo "no part matches \"$filter\"" >&2; exit 2; }
echo "$failed of $(wc -l <"$rows") rows failed"
[ "$failed" -eq 0 ]
