#!/usr/bin/env bash
# Runs a Windows program of a build folder under that folder's Wine world (used by ctest as
# the cross-compiling emulator): wine-exec.sh BUILD_DIR program.exe [args...]
# shellcheck source=tools/lib.sh
source "$(dirname "$0")/lib.sh"
build=$1
shift
# Wine resolves a relative program path badly while another process of the prefix runs.
if [ $# -gt 0 ] && [ -f "$1" ]; then set -- "$(realpath "$1")" "${@:2}"; fi
enter_wine "$build/wine" "$build/bin/desktop_keeper.exe"
# Wine's loader prints two harmless lines at every start; keep test output clean. A failure
# says how the program ended, since a program that dies early may print nothing itself.
status=0
"$wine" "$@" 2> >(grep -v -e 'c0000135' -e 'Read access denied for device' >&2) || status=$?
[ "$status" -eq 0 ] || echo "wine-exec: $(basename "$1") ended with status $status after ${SECONDS}s" >&2
exit "$status"
