#!/usr/bin/env bash
# What the scripts of tools/ share; each sources it first. Sets root (the checkout), wine, and
# the Wine variables every run of this project uses.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
wine=/usr/lib/wine/wine64
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="

# cmake_build PRESET DIR [-- targets...]: installs what is missing, configures DIR with a preset
# of CMakePresets.json and builds.
cmake_build() {
  local preset=$1 dir=$2 targets=()
  shift 2
  [ $# -eq 0 ] || { shift && targets=(--target "$@"); }
  "$root/tools/deps.sh"
  cmake -S "$root" -B "$dir" --preset "$preset" >/dev/null
  cmake --build "$dir" -j"$(nproc)" "${targets[@]}"
}

# bench_parts BUILD_DIR KIND: the parts of that kind (bench or soak) the bench program names.
bench_parts() {
  "$root/tools/wine-exec.sh" "$1" "$1/bin/kestrelon_bench.exe" --list | tr -d '\r' | awk -v kind="$2" '$1 == kind { print $2 }'
}

# print_table HEADING...: the tab-separated rows of standard input, a field for each heading, as a
# Markdown table whose columns fit their widest cell.
print_table() {
  local IFS=$'\t'
  awk -F'\t' -v headings="$*" '
    function line(cells, i, text) {
      for (i = 1; i <= n; i++) text = text sprintf("| %-" width[i] "s ", cells[i])
      print text "|"
    }
    BEGIN { n = split(headings, heading, "\t"); for (i = 1; i <= n; i++) width[i] = length(heading[i]) }
    { rows[NR] = $0; for (i = 1; i <= n; i++) if (length($i) > width[i]) width[i] = length($i) }
    END {
      line(heading)
      for (i = 1; i <= n; i++) { rule[i] = sprintf("%" width[i] "s", ""); gsub(/ /, "-", rule[i]) }
      line(rule)
      for (r = 1; r <= NR; r++) { split(rows[r], cells, "\t"); line(cells) }
    }'
}

# enter_wine STATE_DIR KEEPER_EXE: starts what is not running yet of the Wine world of STATE_DIR
# (tools/wine-env.sh) and exports its DISPLAY and WINEPREFIX.
enter_wine() {
  local lines line
  lines=$("$root/tools/wine-env.sh" ensure "$@")
  while IFS= read -r line; do export "${line?}"; done <<<"$lines"
}

# wait_until SECONDS COMMAND...: true as soon as the command succeeds, false when time is up.
wait_until() {
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.1
  done
}

# The Windows path of a Linux path, as Wine sees it (C:\... inside the prefix, else Z:\...).
windows_path() { "$wine" winepath -w "$1" 2>/dev/null | tr -d '\r'; }

# stop_wine STATE_DIR...: ends every process of those Wine worlds.
stop_wine() {
  local state
  for state in "$@"; do "$root/tools/wine-env.sh" stop "$state"; done
}
