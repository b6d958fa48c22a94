#!/usr/bin/env bash
# Builds Kestrelon and runs every benchmark of bench/ under Wine, then prints one table:
# each row with the figure for Kestrelon, the figure for its floor measured in the same run,
# and their ratio.   tools/bench.sh [name-filter]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KESTRELON_BUILD_DIR:-$root/build}
filter=${1:-}

"$root/tools/deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null

trap '"$root/tools/wine-env.sh" stop "$build/wine"' EXIT
"$root/tools/wine-env.sh" ensure "$build/wine" "$build/bin/desktop_keeper.exe" >/dev/null
rows=$(mktemp)
for bench in "$build"/bin/*_bench.exe; do
  [ -e "$bench" ] || continue
  case "$(basename "$bench")" in *"$filter"*) ;; *) continue ;; esac
  echo "== $(basename "$bench" .exe)"
  "$root/tools/wine-exec.sh" "$build" "$bench" | tr -d '\r' | tee >(grep '^ROW' >>"$rows") | grep -v '^ROW'
done

echo
echo "Kestrelon benchmarks on $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), Wine $(/usr/lib/wine/wine64 --version 2>/dev/null)"
printf '| %-92s | %10s | %10s | %6s | %-4s |\n' "what" "kestrelon" "floor" "ratio" "unit"
printf '|%s|%s|%s|%s|%s|\n' "$(printf -- '-%.0s' {1..94})" "------------" "------------" "--------" "------"
while IFS=$'\t' read -r _ what ours floor unit; do
  ratio=$(awk -v a="$ours" -v b="$floor" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }')
  printf '| %-92s | %10s | %10s | %6s | %-4s |\n' "$what" "$ours" "$floor" "$ratio" "$unit"
done <"$rows"
rm -f "$rows"
