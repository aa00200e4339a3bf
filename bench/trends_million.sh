#!/usr/bin/env bash
# Trends window speed at a mission's scale: makes a log of DAYS days of passes (default 2088,
# 1,002,240 housekeeping frames, about four years), adds it to a new SQLite archive, then opens
# the Trends window on it RUNS times (default 5) with battery volts and then the battery
# temperature over all time, and prints the median of each figure trends-preview measures:
# the first chart on screen, the second parameter, the whole view's finer tiles read in the
# background, zoom and pan steps from the whole view and within it (each painted from the
# tiles held), a zoom to a view not read yet until it is refined, the tiles held and the peak
# memory (6264 days make some three million frames). Needs the release build and Xvfb:
#   cmake --preset release && cmake --build --preset release --target quilmar-hk-archive \
#     make-trend-log trends-preview
# Usage: bench/trends_million.sh [DAYS] [RUNS]
set -euo pipefail
days=${1:-2088}
runs=${2:-5}
cd "$(dirname "$0")/.."
bin=build/release
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

$bin/tools/make-trend-log "$dir/mission.kss" "$days"
$bin/cli/archive/quilmar-hk-archive --archive "$dir/mission.sqlite" add "$dir/mission.kss" \
  >/dev/null 2>&1
for ((run = 0; run < runs; ++run)); do
  xvfb-run -a $bin/ui/trends/trends-preview "$dir/mission.sqlite" --measure 18,29 2>/dev/null |
    sed -E 's/ \(.*\)$//' >>"$dir/figures"
done
# "name: value unit" lines, RUNS of each name: the median of each, in the order measured.
cut -d: -f1 "$dir/figures" | awk '!seen[$0]++' | while read -r name; do
  awk -v name="$name:" 'index($0, name) == 1' "$dir/figures" | sed -E 's/.*: ([0-9.]+) ?(.*)$/\1 \2/' | sort -n |
    awk -v name="$name" '{ v[NR] = $1; unit = $2 }
      END { printf "%s: median %s %s of %d\n", name, v[int((NR + 1) / 2)], unit, NR }'
done
