#!/usr/bin/env bash
# Runs a Windows program of a build folder under that folder's Wine world (used by ctest as
# the cross-compiling emulator): wine-exec.sh BUILD_DIR program.exe [args...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$1; shift
# Wine resolves a relative program path badly while another process of the prefix runs.
if [ $# -gt 0 ] && [ -f "$1" ]; then set -- "$(realpath "$1")" "${@:2}"; fi
env_lines=$("$here/wine-env.sh" ensure "$build/wine" "$build/bin/desktop_keeper.exe")
eval "$(sed 's/^/export /' <<<"$env_lines")"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
# Wine's loader prints two harmless lines at every start; keep test output clean. A failure
# says how the program ended, since a program that dies early may print nothing itself.
status=0
/usr/lib/wine/wine64 "$@" 2> >(grep -v -e 'c0000135' -e 'Read access denied for device' >&2) || status=$?
[ "$status" -eq 0 ] || echo "wine-exec: $(basename "$1") ended with status $status after ${SECONDS}s" >&2
exit "$status"
