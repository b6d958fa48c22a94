#!/usr/bin/env bash
# Builds Kestrelon and runs every benchmark of bench/ under Wine, printing their figures.
#   tools/bench.sh [name-filter]
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
for bench in "$build"/bin/*_bench.exe; do
  [ -e "$bench" ] || continue
  case "$(basename "$bench")" in *"$filter"*) ;; *) continue ;; esac
  echo "== $(basename "$bench" .exe)"
  "$root/tools/wine-exec.sh" "$build" "$bench"
done
