#!/usr/bin/env bash
# `quilmar-hk-archive events` at a mission's scale: makes a log of DAYS days of passes
# (make-trend-log, default 2088 days, 1,002,240 housekeeping frames), adds it to a new SQLite
# archive (and to PostgreSQL when QUILMAR_BENCH_POSTGRES names an empty database's URL), then
# lists the episodes with the default limits RUNS times (default 5) and prints the median wall
# time and peak memory per engine. Memory must not grow with the archive: the same is run on
# the first quarter of the days for comparison. Needs:
#   cmake --preset release && cmake --build --preset release --target quilmar-hk-archive \
#     make-trend-log
# Usage: bench/events_million.sh [DAYS] [RUNS]
# QUILMAR_BENCH_BIN=build/asan runs another build (the figures are then not the release's).
set -euo pipefail
days=${1:-2088}
runs=${2:-5}
cd "$(dirname "$0")/.."
bin=${QUILMAR_BENCH_BIN:-build/release}
tool=$bin/cli/archive/quilmar-hk-archive
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# "seconds kilobytes" of one events run on the archive URL, its output counted.
run_events() {
  /usr/bin/time -f '%e %M' -o "$dir/time" "$tool" --archive "$1" events >"$dir/events.csv"
  cat "$dir/time"
}

measure() { # URL LABEL FRAMES
  local times=() memories=()
  for ((run = 0; run < runs; ++run)); do
    read -r seconds kilobytes < <(run_events "$1")
    times+=("$seconds")
    memories+=("$kilobytes")
  done
  printf '%s: %s frames, %s episodes, median %s s, peak memory median %s MiB\n' "$2" "$3" \
    $(($(wc -l <"$dir/events.csv") - 1)) \
    "$(printf '%s\n' "${times[@]}" | median)" \
    "$(printf '%s\n' "${memories[@]}" | median | awk '{ printf "%.1f", $1 / 1024 }')"
}

quarter=$((days / 4))
$bin/tools/make-trend-log "$dir/mission.kss" "$days"
$bin/tools/make-trend-log "$dir/quarter.kss" "$quarter"
frames=$($tool --archive "$dir/mission.sqlite" add "$dir/mission.kss" 2>/dev/null | awk '{ print $2 }')
quarter_frames=$($tool --archive "$dir/quarter.sqlite" add "$dir/quarter.kss" 2>/dev/null |
  awk '{ print $2 }')
measure "$dir/quarter.sqlite" "SQLite, $quarter days" "$quarter_frames"
measure "$dir/mission.sqlite" "SQLite, $days days" "$frames"
if [[ -n ${QUILMAR_BENCH_POSTGRES:-} ]]; then
  $tool --archive "$QUILMAR_BENCH_POSTGRES" add "$dir/mission.kss" >/dev/null 2>&1
  measure "$QUILMAR_BENCH_POSTGRES" "PostgreSQL, $days days" "$frames"
fi
