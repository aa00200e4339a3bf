#!/usr/bin/env bash
# Export speed against one plain pass over the same bytes. Makes three logs: small.kss (5000
# frames), large.kss (256 MB, mostly another station's frames, 5000 of the spacecraft's among
# them) and noisy.kss (256 MB of line noise and half a million of the spacecraft's frames, of
# which the table keeps 5000 and counts the rest). Then times the JSON export of each large
# log against `wc -l` (and large.kss against `md5sum`) with farm-bench, which runs the two
# commands in turn and takes the ratio pair by pair, and prints the medians and ratios, the
# export's peak memory and the median load time of the 5000-frame log. Needs farm-bench and
# the release build:
#   cmake --preset release && cmake --build --preset release --target core_bench quilmar-hk-export
# Usage: bench/export_vs_wc.sh [RUNS] (default 9)
set -euo pipefail
runs=${1:-9}
cd "$(dirname "$0")/.."
bench=$PWD/build/release/bench/core_bench
export_tool=$PWD/build/release/cli/quilmar-hk-export
command -v farm-bench >/dev/null || { echo "export_vs_wc: farm-bench is needed" >&2; exit 1; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

"$bench" --write-logs="$dir"
cat "$dir"/*.kss >/dev/null  # into the page cache, as for every later run

# Prints the median wall times of the export and of the yardstick, and their median ratio.
compare() {
  local log=$1 yardstick=$2 goal=$3
  farm-bench -n "$runs" --timeout 300 --vs "$yardstick $dir/$log" -- \
    "$export_tool" --format json --output /dev/null "$dir/$log" >"$dir/farm.txt" 2>&1
  awk -v name="$log" -v yard="$yardstick" -v goal="$goal" '
    $1 == "A" && $2 == "wall" { a = $5 }
    $1 == "B" && $2 == "wall" { b = $5 }
    $1 == "A/B" && $2 == "wall" { r = $4 }
    END { printf "  %-10s export %6.1f ms, %-6s %6.1f ms, ratio %.2f (goal at most %s)\n",
          name, a * 1000, yard, b * 1000, r, goal }' "$dir/farm.txt"
}
printf 'medians of %d paired runs (farm-bench):\n' "$runs"
compare noisy.kss "wc -l" 3
compare large.kss "wc -l" 3
compare large.kss md5sum 0.4

for log in small large noisy; do
  rss=$(/usr/bin/time -f %M "$export_tool" --format json --output /dev/null "$dir/$log.kss" 2>&1 >/dev/null | tail -n 1)
  printf '  peak RSS of the export, %s.kss: %s kB\n' "$log" "$rss"
done

"$bench" --benchmark_filter='BM_Read5000FrameLog$' --benchmark_repetitions="$runs" \
  --benchmark_report_aggregates_only=true 2>/dev/null | grep -E 'median'
