#!/usr/bin/env bash
# Builds Kestrelon and runs every benchmark of bench/ under Wine, then prints one table: each row
# with Kestrelon's figure and its floor's, measured in turn in the same run, as medians with their
# min and max, and the ratio of the medians with the spread of the ratios of samples taken in turn.
#   tools/bench.sh [name-filter]
# shellcheck source=tools/lib.sh
source "$(dirname "$0")/lib.sh"
build=${KESTRELON_BUILD_DIR:-$root/build}
filter=${1:-}

cmake_build gcc "$build" >/dev/null
trap 'stop_wine "$build/wine"' EXIT
enter_wine "$build/wine" "$build/bin/desktop_keeper.exe"
output=$(mktemp)
for bench in $(bench_parts "$build" bench); do
  case "$bench" in *"$filter"*) ;; *) continue ;; esac
  echo "== $bench"
  "$root/tools/wine-exec.sh" "$build" "$build/bin/kestrelon_bench.exe" "$bench" | tr -d '\r' |
    tee -a "$output" | { grep -v '^ROW' || true; }
done

echo
echo "Kestrelon benchmarks on $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), Wine $("$wine" --version 2>/dev/null)"
grep '^ROW' "$output" | cut -f2- |
  print_table what "kestrelon: median (min-max)" "floor: median (min-max)" "ratio (min-max)" unit
rm -f "$output"
