#!/usr/bin/env bash
# Builds Kestrelon and runs every benchmark of bench/ under Wine, then prints one table:
# each row with the figure for Kestrelon, the figure for its floor measured in the same run,
# and their ratio.   tools/bench.sh [name-filter]
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
  awk -F'\t' -v OFS='\t' '{ $3 = $3 OFS ($3 > 0 ? sprintf("%.2f", $2 / $3) : "-"); print }' |
  print_table what kestrelon floor ratio unit
rm -f "$output"
