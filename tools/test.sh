#!/usr/bin/env bash
# Builds Kestrelon and every test, then runs them all under Wine; non-zero on any failure.
#   tools/test.sh [ctest arguments...]
# shellcheck source=tools/lib.sh
source "$(dirname "$0")/lib.sh"
build=${KESTRELON_BUILD_DIR:-$root/build}

cmake_build gcc "$build"
# The program also builds with clang and lld, warnings as errors: a second compiler keeps
# the code free of what only GCC accepts. A build only; the tests run on the GCC build.
cmake_build clang "$build-clang" -- kestrelon

# One Xvfb, prefix and desktop for the whole run; ended however the run ends.
trap 'stop_wine "$build/wine"' EXIT
enter_wine "$build/wine" "$build/bin/desktop_keeper.exe"
# GUI tests share one screen, cursor and focus: run them one at a time. A failing test fails
# the run; none is run again.
ctest --test-dir "$build" --output-on-failure -j1 "$@"
