#!/usr/bin/env bash
# The Wine world one build folder runs its programs in: an Xvfb display (or the user's own),
# a Wine prefix whose desktop has a taskbar, a persistent wineserver and a tiny process that
# keeps that desktop alive between test processes.
#
#   wine-env.sh ensure STATE_DIR [KEEPER_EXE]   start what is not running yet; prints env lines
#   wine-env.sh stop STATE_DIR                  end every process of that world
#
# With KESTRELON_USE_DISPLAY set to an X display, that display is used instead of an Xvfb.
# shellcheck source=tools/lib.sh
source "$(dirname "$0")/lib.sh"
wineserver=/usr/lib/wine/wineserver
cmd=${1:?usage: wine-env.sh ensure|stop STATE_DIR [KEEPER_EXE]}
state=${2:?state dir}
keeper=${3:-}
mkdir -p "$state"
state=$(cd "$state" && pwd)

export WINEPREFIX=$state/prefix WINEARCH=win64

display_alive() { [ -s "$state/display" ] && xdpyinfo -display ":$(cat "$state/display")" >/dev/null 2>&1; }
pid_alive() { [ -s "$1" ] && kill -0 "$(cat "$1")" 2>/dev/null; }
desktop_ready() { xwininfo -display "$DISPLAY" -root -tree 2>/dev/null | grep -q '"shell - Wine desktop"'; }

start_display() {
  if [ -n "${KESTRELON_USE_DISPLAY:-}" ]; then
    echo "${KESTRELON_USE_DISPLAY#:}" >"$state/display"
    return
  fi
  display_alive && return
  rm -f "$state/display"
  # -displayfd picks a free display and writes its number once the server accepts clients.
  setsid Xvfb -displayfd 8 -screen 0 1024x768x24 -nolisten tcp -ac \
    8>"$state/display" 9>&- </dev/null >/dev/null 2>&1 &
  echo $! >"$state/xvfb.pid"
  wait_until 20 display_alive || { echo "Xvfb did not start" >&2; exit 1; }
}

make_prefix() {
  [ -f "$state/prefix.ready" ] && return
  rm -rf "$WINEPREFIX"
  "$wine" wineboot --init 9>&- </dev/null >/dev/null 2>&1
  cat >"$state/setup.reg" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="shell"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"shell"="1024x768"

[HKEY_CLASSES_ROOT\.exe]
@="exefile"
REG
  "$wine" regedit /S "$state/setup.reg" 9>&- </dev/null >/dev/null 2>&1
  "$wineserver" -w
  # Wine links the profile's Documents, Pictures... to the Linux home folder: make them plain
  # folders, so that nothing run here writes outside the prefix.
  local link
  for link in "$WINEPREFIX"/drive_c/users/*/*; do
    if [ -L "$link" ]; then rm -f "$link" && mkdir -p "$link"; fi
  done
  touch "$state/prefix.ready"
}

start_server_and_keeper() {
  # A persistent server makes every later process start in a fraction of a second.
  "$wineserver" -p 9>&- </dev/null >/dev/null 2>&1 || true
  if [ -n "$keeper" ] && ! pid_alive "$state/keeper.pid"; then
    setsid "$wine" "$keeper" 9>&- </dev/null >/dev/null 2>&1 &
    echo $! >"$state/keeper.pid"
  fi
  # The desktop starts with its first process: without a keeper there is nothing to wait for.
  [ -z "$keeper" ] && return
  wait_until 60 desktop_ready || { echo "the Wine desktop did not appear" >&2; exit 1; }
}

case "$cmd" in
ensure)
  exec 9>"$state/lock"
  flock 9
  start_display
  DISPLAY=":$(cat "$state/display")"
  export DISPLAY
  make_prefix
  start_server_and_keeper
  echo "DISPLAY=$DISPLAY"
  echo "WINEPREFIX=$WINEPREFIX"
  ;;
stop)
  "$wineserver" -k 2>/dev/null || true
  if pid_alive "$state/keeper.pid"; then kill "$(cat "$state/keeper.pid")" 2>/dev/null || true; fi
  if [ -z "${KESTRELON_USE_DISPLAY:-}" ] && pid_alive "$state/xvfb.pid"; then
    kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
  fi
  rm -f "$state/keeper.pid" "$state/xvfb.pid" "$state/display"
  ;;
*) echo "unknown command $cmd" >&2; exit 2 ;;
esac
