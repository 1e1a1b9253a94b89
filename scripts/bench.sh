#!/usr/bin/env bash
# The benchmark command: times each of Corvantis's actions (refresh, select,
# close-all) on real desktops under Wine against two floors, the prescribed
# sequence of Win32 calls and only those calls that change something,
# breaks their time down by call, times start-up and memory against a
# panel floor and a one-window program, runs the core's microbenchmarks,
# prints the tables and plots the ratios to docs/bench.png, and a full
# run's tables into docs/benchmarks.md.
#   bash scripts/bench.sh [RUNS]   RUNS: turns per measurement (5); the
#       environment variable BENCH_CLOSE_RUNS sets those of close-all (3).
#       RUNS=2 took 22 minutes on a 2-core machine.
#   bash scripts/bench.sh --quick  fewer and smaller desktops, 2 turns (1 of
#       close-all): a check after a change, a few minutes.
# Builds in build/bench-native, build/bench-x86_64 and build/bench-i686;
# raw results in build/bench/. Not part of the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
quick=0
if [ "${1:-}" = --quick ]; then
  quick=1
  shift
fi
if [ "$quick" = 1 ]; then
  runs=2 close_runs=1 tracked=5,20 others=100,500 panel_desktop=20,100
  spread_cell=(--tracked 10 --others 500 --spread "1,5")
  min_time=0.05 mode="quick mode: smaller desktops"
  plot=$root/build/bench/bench.png
else
  runs=${1:-5} close_runs=${BENCH_CLOSE_RUNS:-3}
  tracked=1,10,50,200 others=100,500,2000 panel_desktop=200,500
  spread_cell=(--tracked 50 --others 2000 --spread "1,10")
  min_time=0.2 mode="full"
  plot=$root/docs/bench.png
fi
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
  --target Corvantis desktop_bench panel_floor simclient companion_stub >/dev/null
# The shipped program is the i686 build; it is only built and measured here.
cmake -S . -B build/bench-i686 -G Ninja --no-warn-unused-cli \
  -DCMAKE_BUILD_TYPE=MinSizeRel \
  -DCORVANTIS_BUILD_TESTS=OFF \
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-i686.cmake >/dev/null
cmake --build build/bench-i686 -j "$jobs" --target Corvantis >/dev/null
x64=$root/build/bench-x86_64

echo "bench: core microbenchmarks (native, fake desktop)" >&2
build/bench-native/bench/core_bench --benchmark_min_time="$min_time" \
  --benchmark_format=csv >"$out/core.csv" 2>/dev/null

# The panel's folder, with a stand-in for the updater it starts.
folder=$out/QQGame
mkdir -p "$folder"
cp "$x64/src/app/Corvantis.exe" "$x64/bench/panel_floor.exe" "$folder/"
cp "$x64/tools/demo/companion_stub.exe" "$folder/自动升级.exe"

echo "bench: desktops under Wine ($mode)" >&2
# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh
wine_env_up "$out/wine"
dos() { printf 'Z:%s' "$1" | tr / '\\'; }
main=$out/main.tsv spread=$out/spread.tsv
# desktop_bench OUTPUT ARGS...
desktop_bench() {
  local output=$1
  shift
  if ! WINE_RUN_TIMEOUT=${BENCH_TIMEOUT:-7200} wine_run \
    "$x64/bench/desktop_bench.exe" "$(dos "$folder")" --runs "$runs" \
    --close-runs "$close_runs" "$@" | tr -d '\r' >"$output" ||
    grep -q '^error' "$output"; then
    echo "bench: desktop_bench failed:" >&2
    cat "$output" >&2
    return 1
  fi
}
desktop_bench "$main" --tracked "$tracked" --others "$others" \
  --panel-desktop "$panel_desktop"
# One cell again with the other windows in one process and in several:
# what the others' processes have to do with the growth.
desktop_bench "$spread" "${spread_cell[@]}" --no-panel
wine_version=$("$WINE64" --version)
wine_env_down

size() { stat -c %s "$1"; }
kib() { awk -v b="$1" 'BEGIN { printf "%.1f KiB", b / 1024 }'; }
read -r _ walk_ms walk_windows < <(grep '^walk' "$main")
read -r _ start_ms floor_start_ms one_start_ms start_floor start_one \
  < <(grep '^start' "$main")
read -r _ mem_start mem_refreshed mem_floor mem_one < <(grep '^memory' "$main")
read -r _ guard_bytes guard_cpu_ms guard_walk_ms guard_restore_ms \
  < <(grep '^guard' "$main")
panel_n=${panel_desktop%,*} panel_m=${panel_desktop#*,}

{
  echo "Machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1); $wine_version"
  echo "Run: $mode; medians of $runs turns (close-all: $close_runs); times in ms."
  echo
  echo "Each action on a desktop of N client windows among M other top-level"
  echo "windows: the program's own code (Win32WindowSystem, the refresh, select"
  echo "and close routines, the panel's list boxes, repainted) against two"
  echo "floors, bare loops of Win32 calls on the same windows in the same order:"
  echo "the prescribed sequence (every call the action is made of) and the"
  echo "change floor (only the calls whose effect is not already there). The"
  echo "three run in turns; each ratio (÷) is the median of the turns' ratios of"
  echo "the program to that floor. Select = one click, the mean of a click on a"
  echo "lobby and one on a game, each hiding the window chosen before (a lobby"
  echo "alone: a click after a refresh); close all = 全部关闭 on fresh clients,"
  echo "where every call changes something: one loop stands for both floors."
  for action in refresh select close; do
    case $action in
      refresh) title="Refresh (手动刷新)" ;;
      select) title="Select (one click)" ;;
      close) title="Close all (全部关闭)" ;;
    esac
    echo
    echo "$title:"
    echo
    echo "|   N |    M | program | prescribed | ÷ | change floor | ÷ |"
    echo "|----:|-----:|--------:|-----------:|--:|-------------:|--:|"
    awk -F'\t' -v a="$action" '$1 == a && $4 == 1 {
      printf "| %3d | %4d | %.1f | %.1f | %.2f | %.1f | %.2f |\n",
        $2, $3, $5, $6, $7, $8, $9 }' "$main"
  done
  echo
  echo "Where the time goes (first turn of each, N = ${tracked##*,}): ms per call."
  echo
  ms=$(echo "$others" | tr , ' ')
  printf '| action | by | call | calls |'
  for m in $ms; do printf ' M = %s |' "$m"; done
  echo
  printf '|---|---|---|--:|'
  for m in $ms; do printf -- '--:|'; done
  echo
  awk -F'\t' -v n="${tracked##*,}" -v ms="$ms" '$1 == "calls" &&
      $2 ~ /^(refresh|select|close)$/ && $3 == n && $5 == 1 {
      key = $2 "\t" $6 "\t" $7; if (!(key in count)) order[++rows] = key
      count[key] = $8; per[key, $4] = $9 / $8 }
    END { split(ms, m, " ")
      for (i = 1; i <= rows; i++) { split(order[i], r, "\t")
        printf "| %s | %s | %s | %d |", r[1], r[2], r[3], count[order[i]]
        for (j = 1; j in m; j++) printf " %.2f |", per[order[i], m[j]]
        print "" } }' "$main"
  echo
  echo "The program's calls beyond its change floor's in the first turn (the"
  echo "checks, the answer probe, the marks, and any call made more often than"
  echo "the floor makes it), as a share of the change floor's calls' time:"
  echo
  echo "|   N |    M | refresh: own ms | % of floor | select: own ms | % of floor | close all: own ms | % of floor |"
  echo "|----:|-----:|----------------:|-----------:|---------------:|-----------:|------------------:|-----------:|"
  awk -F'\t' '$1 == "calls" && $2 ~ /^(refresh|select|close)$/ && $5 == 1 {
      key = $3 "\t" $4; if (!(key in seen)) { seen[key]; order[++cells] = key }
      if ($6 == "change" || ($6 == "prescribed" && $2 == "close")) {
        floor[key, $2] += $9; floor_count[key, $2, $7] = $8 }
      else if ($6 != "program") next
      else if ($7 ~ /^(checks|probe|marks|other)/) own[key, $2] += $9
      else { count[key, $2, $7] = $8; ms[key, $2, $7] = $9
             calls[key, $2] = calls[key, $2] SUBSEP $7 } }
    function extra(k, a,   list, i, c, n, share) {
      n = split(calls[k, a], list, SUBSEP)
      for (i = 2; i <= n; i++) { c = list[i]
        if (count[k, a, c] > floor_count[k, a, c]) {
          share = (count[k, a, c] - floor_count[k, a, c]) / count[k, a, c]
          own[k, a] += ms[k, a, c] * share } }
      return sprintf(" %.1f | %.1f |", own[k, a], 100 * own[k, a] / floor[k, a]) }
    END { for (i = 1; i <= cells; i++) { k = order[i]; split(k, c, "\t")
      printf "| %3d | %4d |%s%s%s\n", c[1], c[2],
        extra(k, "refresh"), extra(k, "select"), extra(k, "close") } }' "$main"
  echo
  echo "The same desktop with the M other windows in one process and in several"
  echo "(ms per call of the prescribed sequence from the first turn):"
  echo
  echo "|  N |    M | processes | select | prescribed | change floor | close all | prescribed | SW_SHOWMINIMIZED | SW_HIDE | WM_CLOSE |"
  echo "|---:|-----:|----------:|-------:|-----------:|-------------:|----------:|-----------:|------:|------:|------:|"
  awk -F'\t' '$1 ~ /^(select|close)$/ {
      key = $2 "\t" $3 "\t" $4; if (!(key in seen)) { seen[key]; order[++cells] = key }
      times[key, $1] = $1 == "select" ? sprintf(" %.1f | %.1f | %.1f |", $5, $6, $8) \
                                      : sprintf(" %.1f | %.1f |", $5, $6) }
    $1 == "calls" && $6 == "prescribed" { per[$3 "\t" $4 "\t" $5, $7] = $9 / $8 }
    END { for (i = 1; i <= cells; i++) { k = order[i]; split(k, c, "\t")
      printf "| %2d | %4d | %d |%s%s %.2f | %.2f | %.2f |\n", c[1], c[2], c[3],
        times[k, "select"], times[k, "close"],
        per[k, "ShowWindow SW_SHOWMINIMIZED"], per[k, "ShowWindow SW_HIDE"],
        per[k, "SendMessageA WM_CLOSE"] } }' "$spread"
  echo
  echo "Start-up and memory on a desktop of $panel_n client + $panel_m other windows:"
  echo "Corvantis.exe, the panel floor (bench/wine/panel_floor.cpp: common"
  echo "controls 6 through the manifest, shell32, the same window, controls,"
  echo "tooltip and timer, the updater started; nothing else) and a program of"
  echo "one plain window, each started and measured the same way: warm starts"
  echo "to visible and answering, in turns, the ratios the medians of the turns'"
  echo "ratios; private memory as Linux counts it, half a second later (medians)."
  echo
  echo "| | Corvantis | panel floor | one window | ÷ floor | ÷ one window |"
  echo "|---|--:|--:|--:|--:|--:|"
  awk -v p="$start_ms" -v f="$floor_start_ms" -v o="$one_start_ms" \
    -v rf="$start_floor" -v ro="$start_one" 'BEGIN {
    printf "| start (ms) | %.0f | %.0f | %.0f | %.2f | %.2f |\n", p, f, o, rf, ro }'
  awk -v p="$mem_start" -v r="$mem_refreshed" -v f="$mem_floor" -v o="$mem_one" \
    -v n="$panel_n" 'BEGIN { mib = 1048576
    printf "| private memory at start (MiB) | %.2f | %.2f | %.2f | %.2f | %.2f |\n",
      p / mib, f / mib, o / mib, p / f, p / o
    printf "| after refreshing %d windows (MiB) | %.2f | | | %.2f | %.2f |\n",
      n, r / mib, r / f, r / o }'
  echo
  echo "Of Corvantis's start: the walk for windows that an ended panel left"
  echo "hidden, over $walk_windows top-level windows: $(printf '%.1f' "$walk_ms") ms."
  echo "Its guard (the second Corvantis.exe): private memory" \
    "$(awk -v b="$guard_bytes" 'BEGIN { printf "%.2f MiB", b / 1048576 }')," \
    "CPU over 2 s of waiting $guard_cpu_ms ms; the panel ended from outside, the"
  echo "guard had queued the restore of all $panel_n windows after $guard_walk_ms ms,"
  echo "and the client's one thread had shown them all after $guard_restore_ms ms."
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

# Ratios against M, one line per N, one panel per action, to the prescribed
# sequence (solid) and to the change floor (dashed); and selection's time,
# program and floors.
ns=$(echo "$tracked" | tr , ' ')
for action in refresh select close; do
  for n in $ns; do
    awk -F'\t' -v a="$action" -v n="$n" '$1 == a && $2 == n && $4 == 1 {
      print $3, $5, $6, $7, $8, $9 }' "$main" >"$out/$action-$n.dat"
  done
done
gnuplot <<PLOT
set terminal pngcairo size 1000,700 font "sans,9"
set output "$plot"
set multiplot layout 2,2 title "Under Wine, N client windows among M other windows ($mode, medians of $runs turns)"
set logscale x
set xrange [70:3000]
set xtics (100, 500, 2000)
set xlabel "other top-level windows M"
set grid
set key top left Left reverse
set logscale y
ns = "$ns"
file(a, i) = sprintf("$out/%s-%s.dat", a, word(ns, i))
do for [a in "refresh select close"] {
  set title sprintf("%s: program ÷ prescribed (solid), ÷ change floor (dashed)", a)
  set ylabel "ratio"
  set yrange [0.005:8]
  set ytics (0.01, 0.03, 0.1, 0.3, 1, 3)
  plot for [i = 1:words(ns)] file(a, i) using 1:4 with linespoints lw 2 \
         lc i pt 7 title sprintf("N=%s", word(ns, i)), \
       for [i = 1:words(ns)] file(a, i) using 1:6 with linespoints lw 1 \
         lc i pt 6 dt 2 notitle, \
       1 with lines lc "black" dt 3 notitle
}
set title "select: program (solid), prescribed (dashed), change floor (dotted)"
set ylabel "ms"
set autoscale y
set ytics autofreq
plot for [i = 1:words(ns)] file("select", i) using 1:2 with linespoints lw 2 \
       lc i pt 7 title sprintf("N=%s", word(ns, i)), \
     for [i = 1:words(ns)] file("select", i) using 1:3 with linespoints lw 1 \
       lc i pt 6 dt 2 notitle, \
     for [i = 1:words(ns)] file("select", i) using 1:5 with linespoints lw 1 \
       lc i pt 4 dt 3 notitle
unset multiplot
PLOT
# A full run is what docs/benchmarks.md shows: its table goes between the
# markers.
if [ "$quick" = 0 ]; then
  awk -v table="$out/table.md" '
    /^<!-- bench:end -->/ { while ((getline line < table) > 0) print line
                            skipping = 0 }
    !skipping { print }
    /^<!-- bench:begin -->/ { skipping = 1 }' docs/benchmarks.md >"$out/benchmarks.md"
  mv "$out/benchmarks.md" docs/benchmarks.md
  echo "bench: docs/benchmarks.md's tables and $plot updated" >&2
else
  echo "bench: table in $out/table.md, plot in $plot" >&2
fi
