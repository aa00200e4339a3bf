#!/usr/bin/env bash
# Export speed against one plain pass over the same bytes: makes the 256 MB log of mostly
# another station's frames (5000 of the spacecraft's among 1.75 M foreign ones), then times
# `wc -l`, `md5sum` and the JSON export of it in alternating runs and prints the medians and
# ratios, the export's peak memory on the 5000-frame and the 256 MB log, and the median load
# time of the 5000-frame log. Needs the release build:
#   cmake --preset release && cmake --build --preset release --target core_bench quilmar-hk-export
# Usage: bench/export_vs_wc.sh [RUNS] (default 7)
set -euo pipefail
runs=${1:-7}
cd "$(dirname "$0")/.."
bench=build/release/bench/core_bench
export_tool=build/release/cli/quilmar-hk-export
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

"$bench" --write-logs="$dir"
large="$dir/large.kss"
cat "$large" >/dev/null  # into the page cache, as for every later run

declare -A times
commands=(wc md5 export)
run() {
  case $1 in
    wc) wc -l "$large" >/dev/null ;;
    md5) md5sum "$large" >/dev/null ;;
    export) "$export_tool" --format json --output /dev/null "$large" 2>/dev/null ;;
  esac
}
for ((i = 0; i < runs; i++)); do
  for name in "${commands[@]}"; do
    start=$(date +%s%N)
    run "$name"
    times[$name]+="$(( ($(date +%s%N) - start) / 1000 )) "
  done
done

median() { tr ' ' '\n' | grep . | sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
for name in "${commands[@]}"; do
  declare "m_$name=$(echo "${times[$name]}" | median)"
done
printf 'medians of %d alternating runs over %s bytes:\n' "$runs" "$(stat -c %s "$large")"
awk -v wc="$m_wc" -v md5="$m_md5" -v ex="$m_export" 'BEGIN {
  printf "  wc -l   %8.1f ms\n  md5sum  %8.1f ms\n  export  %8.1f ms\n", wc / 1000, md5 / 1000, ex / 1000
  printf "  export / wc -l  %.2f (goal at most 3)\n", ex / wc
  printf "  export / md5sum %.2f (goal at most 0.4)\n", ex / md5
}'

for log in small large; do
  rss=$(/usr/bin/time -f %M "$export_tool" --format json --output /dev/null "$dir/$log.kss" 2>&1 >/dev/null | tail -n 1)
  printf '  peak RSS of the export, %s.kss: %s kB\n' "$log" "$rss"
done

"$bench" --benchmark_filter='BM_Read5000FrameLog$' --benchmark_repetitions="$runs" \
  --benchmark_report_aggregates_only=true 2>/dev/null | grep -E 'median'
