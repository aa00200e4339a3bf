#!/usr/bin/env bash
# The series query at a mission's scale: makes a log of DAYS days of passes (make-trend-log,
# default 2088 days, 1,002,240 housekeeping frames), adds it to a new SQLite archive and to a
# PostgreSQL 15 server started here (Unix socket in a temporary folder, as the postgres user
# when run as root; left out when PostgreSQL 15 is not installed), then times the series of
# battery volts in 1000 columns over the whole archive, the last month, the last day and the
# last pass (series-query-bench: the level read, its rows in the range, the points, the first
# run and the median of RUNS after it). Last, each archive is made one of schema version 4
# again (no per-minute overview, hours without their milliseconds) and opened, which sums
# both overviews up from the frames: that upgrade's time. Needs the release build:
#   cmake --preset release && cmake --build --preset release --target quilmar-hk-archive \
#     make-trend-log series-query-bench
# Usage: bench/series_query.sh [DAYS] [RUNS]
set -euo pipefail
days=${1:-2088}
runs=${2:-11}
cd "$(dirname "$0")/.."
bin=${QUILMAR_BENCH_BIN:-build/release}
tool=$bin/cli/archive/quilmar-hk-archive
bench=$bin/bench/series-query-bench
dir=$(mktemp -d)
source bench/bench_postgres.sh
cleanup() {
  stop_bench_postgres
  rm -rf "$dir"
}
trap cleanup EXIT

seconds() { # runs a command, prints its wall time in seconds
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null 2>"$dir/err" || { cat "$dir/err" >&2; exit 1; }
  end=$(date +%s%N)
  awk -v ns=$((end - start)) 'BEGIN { printf "%.1f", ns / 1e9 }'
}

# The statements that make an archive one of schema version 4 again.
downgrade_sql() {
  echo "DROP TABLE trend_minute;"
  echo "DROP INDEX trend_hour_start;"  # on a column version 4 did not have
  for column in hour_ms first_ms last_ms; do echo "ALTER TABLE trend_hour DROP COLUMN $column;"; done
  echo "UPDATE archive_meta SET value = '4' WHERE key = 'schema_version';"
}

$bin/tools/make-trend-log "$dir/mission.kss" "$days"
echo "SQLite: add $(seconds "$tool" --archive "$dir/mission.sqlite" add "$dir/mission.kss") s"
"$bench" "$dir/mission.sqlite" "$runs"
downgrade_sql | sqlite3 "$dir/mission.sqlite"
echo "SQLite: opening an archive of version 4 (overviews summed up): $(seconds "$tool" --archive "$dir/mission.sqlite" passes) s"

start_bench_postgres -F
psql=(psql -q -h "$dir/pg" -U postgres)
"${psql[@]}" -d postgres -c "CREATE DATABASE archive"
url="postgresql://postgres@/archive?host=$dir/pg"
echo "PostgreSQL: add $(seconds "$tool" --archive "$url" add "$dir/mission.kss") s"
echo "PostgreSQL, right after the add (no statistics yet):"
"$bench" "$url" "$runs"
"${psql[@]}" -d archive -c "VACUUM ANALYZE"
echo "PostgreSQL, after VACUUM ANALYZE (as autovacuum leaves it):"
"$bench" "$url" "$runs"
downgrade_sql | "${psql[@]}" -d archive
echo "PostgreSQL: opening an archive of version 4 (overviews summed up): $(seconds "$tool" --archive "$url" passes) s"
