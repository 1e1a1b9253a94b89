#!/usr/bin/env bash
# The benchmark command: times Corvantis's refresh on real desktops under
# Wine against the least the same Win32 calls allow, its selection, close-all,
# start-up, memory and size, runs the core's microbenchmarks, prints one
# table and plots refresh time against the number of other windows to
# docs/bench.png.
#   bash scripts/bench.sh [RUNS]   RUNS: repeats per measurement (5); the
#   environment variable BENCH_CLOSE_RUNS sets those of close-all (3)
# Builds in build/bench-native, build/bench-x86_64 and build/bench-i686;
# raw results in build/bench/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
runs=${1:-5}
close_runs=${BENCH_CLOSE_RUNS:-3}
jobs=$(($(nproc) < 2 ? $(nproc) : 2))
out=$root/build/bench
mkdir -p "$out"

bash scripts/setup.sh

configure() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja --no-warn-unused-cli -DCORVANTIS_BUILD_BENCH=ON \
    "$@" >/dev/null
}
echo "bench: building" >&2
configure build/bench-native -DCMAKE_BUILD_TYPE=Release -DCORVANTIS_BUILD_TESTS=OFF
cmake --build build/bench-native -j "$jobs" --target core_bench >/dev/null
configure build/bench-x86_64 -DCMAKE_BUILD_TYPE=MinSizeRel \
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-x86_64.cmake
cmake --build build/bench-x86_64 -j "$jobs" \
  --target Corvantis desktop_bench simclient companion_stub >/dev/null
# The shipped program is the i686 build; it is only built and measured here.
cmake -S . -B build/bench-i686 -G Ninja --no-warn-unused-cli \
  -DCMAKE_BUILD_TYPE=MinSizeRel \
  -DCORVANTIS_BUILD_TESTS=OFF \
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-i686.cmake >/dev/null
cmake --build build/bench-i686 -j "$jobs" --target Corvantis >/dev/null
x64=$root/build/bench-x86_64

echo "bench: core microbenchmarks (native, fake desktop)" >&2
build/bench-native/bench/core_bench --benchmark_min_time=0.2 \
  --benchmark_format=csv >"$out/core.csv" 2>/dev/null

# The panel's folder, with a stand-in for the updater it starts.
folder=$out/QQGame
mkdir -p "$folder"
cp "$x64/src/app/Corvantis.exe" "$folder/"
cp "$x64/tools/demo/companion_stub.exe" "$folder/自动升级.exe"

echo "bench: desktops under Wine (a few minutes)" >&2
# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh
wine_env_up "$out/wine"
dos() { printf 'Z:%s' "$1" | tr / '\\'; }
WINE_RUN_TIMEOUT=${BENCH_TIMEOUT:-3600} wine_run "$x64/bench/desktop_bench.exe" \
  "$(dos "$folder")" "$runs" "$close_runs" | tr -d '\r' >"$out/desktop.tsv" || {
  echo "bench: desktop_bench failed:" >&2
  cat "$out/desktop.tsv" >&2
  exit 1
}
wine_version=$("$WINE64" --version)
wine_env_down
if grep -q '^error' "$out/desktop.tsv"; then
  cat "$out/desktop.tsv" >&2
  exit 1
fi

size() { stat -c %s "$1"; }
kib() { awk -v b="$1" 'BEGIN { printf "%.1f KiB", b / 1024 }'; }
mib() { awk -v b="$1" 'BEGIN { printf "%.2f MiB", b / 1048576 }'; }
read -r start_ms baseline_start_ms < <(awk -F'\t' '$1 == "start" {
  printf "%.0f %.0f\n", $2, $3 }' "$out/desktop.tsv")
read -r _ panel_bytes baseline_bytes < <(grep '^memory' "$out/desktop.tsv")

{
  echo "Machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1); $wine_version"
  echo "Medians of $runs runs (close-all: $close_runs); times in ms."
  echo
  echo "Refresh on a desktop of N client windows among M other top-level windows:"
  echo "program = Win32WindowSystem + RefreshWindowLists + list boxes, repainted;"
  echo "bare loop = the same Win32 calls in a plain loop; ratio = median of the"
  echo "ratios of runs made in turns; select = a click on a lobby; close all = 全部关闭."
  echo
  echo "|   N |    M | program | bare loop | ratio | select | close all |"
  echo "|----:|-----:|--------:|----------:|------:|-------:|----------:|"
  awk -F'\t' '$1 == "refresh" {
    printf "| %3d | %4d | %7.1f | %9.1f | %5.2f | %6.1f | %9.1f |\n",
      $2, $3, $4, $5, $6, $7, $8 }' "$out/desktop.tsv"
  echo
  echo "The panel program on a desktop of 200 client + 500 other windows, beside"
  echo "a program of one plain window started and measured the same way:"
  echo "- start to visible and answering (warm): $start_ms ms (one-window program: $baseline_start_ms ms)"
  echo "- private memory after refreshing the 200: $(mib "$panel_bytes")" \
    "(one-window program: $(mib "$baseline_bytes"))"
  echo "Corvantis.exe: i686 $(kib "$(size build/bench-i686/src/app/Corvantis.exe)")," \
    "x86_64 $(kib "$(size "$x64/src/app/Corvantis.exe")")"
  echo
  echo "Core against the fake desktop (native, CPU time per run, µs):"
  echo
  echo "| benchmark | windows | client % | µs | tracked |"
  echo "|---|--:|--:|--:|--:|"
  awk -F, 'NR > 1 && $1 ~ /^"BM_/ {
    gsub(/"/, "", $1); split($1, part, "/")
    sub(/.*:/, "", part[2]); sub(/.*:/, "", part[3])
    printf "| %s | %d | %d | %.1f | %d |\n", substr(part[1], 4), part[2],
      part[3], $4, $NF }' "$out/core.csv"
} | tee "$out/table.md"

# Refresh time against M, one line per N for the program and the bare loop.
for n in 1 10 50 200; do
  awk -F'\t' -v n="$n" '$1 == "refresh" && $2 == n { print $3, $4, $5 }' \
    "$out/desktop.tsv" >"$out/refresh-$n.dat"
done
gnuplot <<PLOT
set terminal pngcairo size 800,500 font "sans,10"
set output "$root/docs/bench.png"
set title "Refresh under Wine: the program against a bare loop of the same Win32 calls (median of $runs)"
set xlabel "other top-level windows M"
set ylabel "ms per refresh"
set logscale xy
set xrange [70:3000]
set xtics (100, 500, 2000)
set key outside right
set grid
ns = "1 10 50 200"
file(i) = sprintf("$out/refresh-%s.dat", word(ns, i))
plot for [i = 1:4] file(i) using 1:2 with linespoints lw 2 lc i pt 7 \
       title sprintf("program, N=%s", word(ns, i)), \
     for [i = 1:4] file(i) using 1:3 with linespoints lw 1 lc i pt 6 dt 2 \
       title sprintf("bare loop, N=%s", word(ns, i))
PLOT
echo "bench: plot written to docs/bench.png; table in build/bench/table.md" >&2
