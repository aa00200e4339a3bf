#!/usr/bin/env bash
# Archive import as the archive grows, side by side in one run (SQLite, release build):
#   - the last DAYS2 days of a mission (make-trend-log) added to an empty archive and to one
#     that holds the DAYS1 days before them (default 6264 days, 3,006,720 frames, and 522
#     days, about 250,000 frames), RUNS times each in turn;
#   - a second station's log of an archived pass of N frames (make-archive-bench-log, default
#     1,000,000 in one long pass) against the first add of it;
#   - `passes` on the archive of DAYS1 days.
# Prints each median and the ratios. Needs:
#   cmake --preset release && cmake --build --preset release --target quilmar-hk-archive \
#     make-trend-log make-archive-bench-log
# Usage: bench/archive_growth.sh [DAYS1] [DAYS2] [N] [RUNS]   (N = 0: no second station)
# QUILMAR_BENCH_POSTGRES=URL also times the second station on PostgreSQL (see below).
# QUILMAR_ARCHIVE_TOOL=path runs another build of quilmar-hk-archive instead.
set -euo pipefail
days1=${1:-6264}
days2=${2:-522}
frames=${3:-1000000}
runs=${4:-3}
cd "$(dirname "$0")/.."
bin=build/release
tool=${QUILMAR_ARCHIVE_TOOL:-$bin/cli/archive/quilmar-hk-archive}  # another build to compare
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

ms() { # wall milliseconds of a command
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null 2>"$dir/err" || { cat "$dir/err" >&2; exit 1; }
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}
median() { tr ' ' '\n' | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

$bin/tools/make-trend-log "$dir/early.kss" "$days1"
$bin/tools/make-trend-log "$dir/late.kss" $((days1 + days2)) "$days1"
$tool --archive "$dir/grown.sqlite" add "$dir/early.kss" >/dev/null 2>&1
late_frames=$($tool --archive "$dir/count.sqlite" add "$dir/late.kss" 2>/dev/null | awk '{ print $2 }')
t_passes=$(ms "$tool" --archive "$dir/grown.sqlite" passes)

into_empty=()
into_grown=()
for ((run = 0; run < runs; ++run)); do
  rm -f "$dir/empty.sqlite"
  into_empty+=("$(ms "$tool" --archive "$dir/empty.sqlite" add "$dir/late.kss")")
  cp "$dir/grown.sqlite" "$dir/work.sqlite"
  sync  # the copy's pages written out before the clock starts, not during the add
  into_grown+=("$(ms "$tool" --archive "$dir/work.sqlite" add "$dir/late.kss")")
  rm -f "$dir/work.sqlite"
done
m_empty=$(echo "${into_empty[*]}" | median)
m_grown=$(echo "${into_grown[*]}" | median)

grown_frames=$($tool --archive "$dir/grown.sqlite" summary | awk '/^frames:/ { print $2 }')
echo "passes on $days1 days ($grown_frames frames): $t_passes ms"
echo "add of $late_frames frames into an empty archive: median $m_empty ms of $runs"
echo "add of them into the $grown_frames-frame archive: median $m_grown ms of $runs" \
  "(grown / empty = $(ratio "$m_grown" "$m_empty"))"
((frames > 0)) || exit 0

$bin/bench/make-archive-bench-log "$frames" "$dir/pass.kss"
cp "$dir/pass.kss" "$dir/second.kss"
printf '\300' >>"$dir/second.kss"  # another file of the same frames
# The first add and the second station's log, RUNS times each on an archive made anew by
# `$1` (a command) at the URL `$2`; LABEL `$3`.
second_station() {
  local firsts=() seconds=() m_first m_second
  for ((run = 0; run < runs; ++run)); do
    $1
    firsts+=("$(ms "$tool" --archive "$2" add "$dir/pass.kss")")
    seconds+=("$(ms "$tool" --archive "$2" add "$dir/second.kss")")
  done
  m_first=$(echo "${firsts[*]}" | median)
  m_second=$(echo "${seconds[*]}" | median)
  echo "$3: first add of a $frames-frame pass: median $m_first ms of $runs"
  echo "$3: a second station's log of it: median $m_second ms of $runs" \
    "(second / first = $(ratio "$m_second" "$m_first"))"
}
fresh_sqlite() { rm -f "$dir/pass.sqlite"; }
second_station fresh_sqlite "$dir/pass.sqlite" SQLite
# QUILMAR_BENCH_POSTGRES: the URL of a PostgreSQL database whose public schema the bench may
# drop and make again before each run.
fresh_postgres() {
  psql -q "$QUILMAR_BENCH_POSTGRES" -c 'DROP SCHEMA public CASCADE' -c 'CREATE SCHEMA public' \
    >/dev/null 2>&1
}
if [[ -n ${QUILMAR_BENCH_POSTGRES:-} ]]; then
  second_station fresh_postgres "$QUILMAR_BENCH_POSTGRES" PostgreSQL
fi
