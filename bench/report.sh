#!/usr/bin/env bash
# Turns the CSV files of tools/bench into a chart (scan.png), a Markdown
# summary (summary.md) and a short table on the terminal.
#   bench/report.sh [RESULTS_DIR]      (build/bench by default)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="${1:-$root/build/bench}"
plot="$out/plot"
mkdir -p "$plot"


summary="$out/summary.md"
: > "$summary"

if [ -s "$out/scan.csv" ]; then
  rm -f "$plot"/*.dat
  # One file per (M, variant): N, scan ms, floor ms, ratio; and the floor at
  # each N as the median over every configuration's floor.
  awk -F, -v dir="$plot" 'NR > 1 {
      f = dir "/scan-" $2 "-" $3 ".dat"
      print $1, $7, $8, $9 >> f
      floors[$1] = floors[$1] " " $8
    }
    END {
      for (n in floors) {
        c = split(floors[n], v, " ")
        for (i = 1; i <= c; i++) for (j = i + 1; j <= c; j++) if (v[j] < v[i]) { t = v[i]; v[i] = v[j]; v[j] = t }
        m = (c % 2) ? v[(c + 1) / 2] : (v[c / 2] + v[c / 2 + 1]) / 2
        print n, m | "sort -n > \"" dir "/floor.dat\""
      }
    }' "$out/scan.csv"
  printf '50 1.2\n1000 1.2\n1000 1.5\n5000 1.5\n' > "$plot/target.dat"

  series=""
  ratios=""
  color=(0 "#1f77b4" "#ff7f0e" "#2ca02c" "#d62728" "#9467bd")
  i=1
  for m in $(awk -F, 'NR > 1 { print $2 }' "$out/scan.csv" | sort -nu); do
    for v in handled every; do
      f="$plot/scan-$m-$v.dat"
      [ -s "$f" ] || continue
      dash=1
      [ "$v" = every ] && dash=2
      label="M=$m, all handled"
      [ "$v" = every ] && label="M=$m, a tenth every scan"
      series+=", '$f' using 1:2 with linespoints lw 2 dt $dash lc rgb '${color[$i]}' title '$label'"
      ratios+=", '$f' using 1:4 with linespoints lw 2 dt $dash lc rgb '${color[$i]}' title '$label'"
    done
    i=$((i + 1))
  done
  gnuplot <<EOF
set terminal pngcairo size 1200,480 font "IPAGothic,10"
set output "$out/scan.png"
set multiplot layout 1,2 title "Plenara: one scan of the monitor against the floor of a polling scan (Wine 8 under qemu-i386)"
set logscale xy
set xlabel "top-level windows N"
set ylabel "median time per scan (ms)"
set key top left
set grid
set xtics (50, 200, 1000, 5000)
set xrange [35:7000]
plot '$plot/floor.dat' using 1:2 with linespoints lw 4 lc rgb 'black' title 'floor (median at each N)' $series
unset logscale y
set ylabel "scan ÷ floor (median times)"
set yrange [0.8:1.7]
set key top left
plot '$plot/target.dat' using 1:2 with lines lw 2 dt 3 lc rgb 'red' title 'target' $ratios
unset multiplot
EOF

  {
    echo "| N | M | rules | K | scan (ms) | floor (ms) | scan ÷ floor | target | paired scan ÷ floor | CPU scan ÷ floor |"
    echo "|---:|---:|---|---:|---:|---:|---:|---:|---:|---:|"
    awk -F, 'NR > 1 {
        t = ($1 <= 1000) ? 1.2 : 1.5
        mark = ($9 <= t) ? "" : " (over)"
        printf "| %d | %d | %s | %d | %.1f | %.1f | %.2f%s | %.1f | %.2f | %.2f |\n", $1, $2, ($3 == "handled" ? "all handled" : "a tenth every scan"), $4, $7, $8, $9, mark, t, $10, $24
      }' "$out/scan.csv"
  } > "$out/scan-table.md"
  {
    echo "### Scan cost"
    echo
    cat "$out/scan-table.md"
    echo
  } >> "$summary"

  echo
  echo "Scan cost: median ms per scan (K timed scans each); scan ÷ floor of the medians against the target,"
  echo "the median of adjacent pairs' ratios, and the same for CPU time (this thread + wineserver)"
  awk -F, 'NR == 1 { printf "%6s %4s %-8s %4s %10s %10s %7s %6s %7s %9s\n", "N", "M", "rules", "K", "scan", "floor", "ratio", "target", "paired", "cpu-ratio"; next }
    { t = ($1 <= 1000) ? 1.2 : 1.5
      printf "%6d %4d %-8s %4d %10.1f %10.1f %7.2f %6.1f %7.2f %9.2f%s\n", $1, $2, $3, $4, $7, $8, $9, t, $10, $24, ($9 <= t ? "" : "  over") }' \
    "$out/scan.csv"
fi

if [ -s "$out/profile.csv" ]; then
  {
    echo "### Where a scan's time goes"
    echo
    echo "| pass | rules | median wall (ms) | enumeration part (ms) | client CPU (ms) | wineserver CPU (ms) |"
    echo "|---|---:|---:|---:|---:|---:|"
    awk -F, 'NR > 1 { printf "| %s | %d | %.1f | %.1f | %.1f | %.1f |\n", $3, $2, $5, $6, $7, $8 }' "$out/profile.csv"
    echo
  } >> "$summary"
  echo
  echo "Where a scan's time goes (N = $(awk -F, 'NR == 2 { print $1 }' "$out/profile.csv"), medians in ms)"
  awk -F, 'NR == 1 { printf "%-20s %5s %9s %9s %11s %11s\n", "pass", "rules", "wall", "enum", "client-cpu", "server-cpu"; next }
    { printf "%-20s %5d %9.1f %9.1f %11.1f %11.1f\n", $3, $2, $5, $6, $7, $8 }' "$out/profile.csv"
fi

if [ -s "$out/idle.csv" ]; then
  # CPU of the measured process plus the wineserver, per run.
  awk -F, 'NR > 1 && ($2 == "Plenara" || $2 == "floor-loop" || $2 == "wineserver") { total[$1] += $3 }
    NR > 1 { cell[$1, $2] = $3; if (!($1 in seen)) { seen[$1] = 1; order[n++] = $1 } }
    END {
      for (i = 0; i < n; i++) {
        r = order[i]
        own = ((r, "Plenara") in cell) ? cell[r, "Plenara"] : (((r, "floor-loop") in cell) ? cell[r, "floor-loop"] : "")
        printf "%s,%s,%s,%s,%s\n", r, own, cell[r, "wineserver"], total[r], cell[r, "explorer"]
      }
    }' "$out/idle.csv" > "$plot/idle-rows.csv"
  floor_total=$(awk -F, '$1 == "floor loop" { print $4 }' "$plot/idle-rows.csv")
  {
    echo "### Idle cost"
    echo
    echo "| run | process (% of one CPU) | wineserver | process + wineserver | × floor loop | desktop (explorer) |"
    echo "|---|---:|---:|---:|---:|---:|"
    awk -F, -v f="$floor_total" '{ printf "| %s | %s | %.2f | %.2f | %s | %.2f |\n", $1, ($2 == "" ? "–" : sprintf("%.2f", $2)), $3, $4, ($2 == "" || f == 0 ? "–" : sprintf("%.2f", $4 / f)), $5 }' "$plot/idle-rows.csv"
    echo
  } >> "$summary"
  echo
  echo "Idle cost: CPU as % of one CPU (process + wineserver against the floor loop's)"
  awk -F, -v f="$floor_total" '{ printf "%-26s %8s %8.2f %8.2f %8s\n", $1, ($2 == "" ? "-" : sprintf("%.2f", $2)), $3, $4, ($2 == "" || f == 0 ? "-" : sprintf("x%.2f", $4 / f)) }' "$plot/idle-rows.csv"
fi

if [ -s "$out/idle-memory.csv" ]; then
  # Wine reports no private bytes of another process (PrivateUsage is the
  # host's swap use); the committed private memory of its address space is
  # the same figure as the process itself sees it.
  {
    echo "| Plenara, monitoring on | private bytes (committed private memory) | handles | host resident set (emulator included) |"
    echo "|---|---:|---:|---:|"
    awk -F, 'NR > 1 { printf "| %s | %s | %s | %s |\n", $1, $3, $4, $5 }' "$out/idle-memory.csv"
    echo
  } >> "$summary"
  echo
  awk -F, 'NR > 1 { printf "Plenara at the %-5s private bytes %s, handles %s (host resident set %s)\n", $1, $3, $4, $5 }' "$out/idle-memory.csv"
fi

if [ -s "$out/latency.csv" ]; then
  {
    echo "### Latency"
    echo
    echo "| top-level windows | interval (ms) | windows | placed | median (ms) | maximum (ms) | scan, median (ms) | scan, maximum (ms) | bound: interval + 2 × scan (ms) | maximum within |"
    echo "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---|"
    awk -F, 'NR > 1 { printf "| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n", $1, $2, $3, $4, $5, $6, $7, $8, $9, $10 }' "$out/latency.csv"
    echo
  } >> "$summary"
  echo
  awk -F, 'NR > 1 { printf "Latency (%s windows at %s ms, %s top-level): median %s ms, maximum %s ms; bound %s ms (scan median %s ms, maximum %s ms): %s\n", $3, $2, $1, $5, $6, $9, $7, $8, ($10 == "yes" ? "within" : "over") }' "$out/latency.csv"
fi

echo
echo "Results: $out (scan.csv, profile.csv, idle.csv, idle-memory.csv, latency.csv, scan.png, summary.md)"
