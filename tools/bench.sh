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
rows=$(mktemp)
for bench in pinned_items programs_menu startup; do
  case "$bench" in *"$filter"*) ;; *) continue ;; esac
  echo "== $bench"
  "$root/tools/wine-exec.sh" "$build" "$build/bin/kestrelon_bench.exe" "$bench" | tr -d '\r' |
    tee >(grep '^ROW' >>"$rows") | { grep -v '^ROW' || true; }
done

echo
echo "Kestrelon benchmarks on $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), Wine $("$wine" --version 2>/dev/null)"
printf '| %-92s | %10s | %10s | %6s | %-4s |\n' "what" "kestrelon" "floor" "ratio" "unit"
printf '|%s|%s|%s|%s|%s|\n' "$(printf -- '-%.0s' {1..94})" "------------" "------------" "--------" "------"
while IFS=$'\t' read -r _ what ours floor unit; do
  ratio=$(awk -v a="$ours" -v b="$floor" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }')
  printf '| %-92s | %10s | %10s | %6s | %-4s |\n' "$what" "$ours" "$floor" "$ratio" "$unit"
done <"$rows"
rm -f "$rows"
