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
pg_bin=/usr/lib/postgresql/15/bin
as_postgres=()
if [[ $(id -u) -eq 0 ]]; then as_postgres=(runuser -u postgres --); fi
cleanup() {
  if [[ -f $dir/pg/postmaster.pid ]]; then
    "${as_postgres[@]}" "$pg_bin/pg_ctl" -D "$dir/pg" -m immediate -w stop >/dev/null || true
  fi
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
  for column in hour_ms first_ms last_ms; do echo "ALTER TABLE trend_hour DROP COLUMN $column;"; done
  echo "UPDATE archive_meta SET value = '4' WHERE key = 'schema_version';"
}

$bin/tools/make-trend-log "$dir/mission.kss" "$days"
echo "SQLite: add $(seconds "$tool" --archive "$dir/mission.sqlite" add "$dir/mission.kss") s"
"$bench" "$dir/mission.sqlite" "$runs"
downgrade_sql | sqlite3 "$dir/mission.sqlite"
echo "SQLite: opening an archive of version 4 (overviews summed up): $(seconds "$tool" --archive "$dir/mission.sqlite" passes) s"

[[ -x $pg_bin/initdb ]] || { echo "PostgreSQL 15 not installed: no PostgreSQL figures"; exit 0; }
mkdir "$dir/pg"
chmod 755 "$dir"
if [[ $(id -u) -eq 0 ]]; then chown postgres "$dir/pg"; fi
"${as_postgres[@]}" "$pg_bin/initdb" -D "$dir/pg" -A trust -U postgres --no-sync >/dev/null
"${as_postgres[@]}" "$pg_bin/pg_ctl" -D "$dir/pg" -l "$dir/pg/log" -w \
  -o "-k $dir/pg -c listen_addresses= -F" start >/dev/null
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
