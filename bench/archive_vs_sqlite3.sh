#!/usr/bin/env bash
# Archive speed against the engines' own bulk loaders, side by side in one run: makes a
# KISS log of N distinct housekeeping frames (default 1,000,000), then times
#   - `add` into a new SQLite archive, the same `add` again, `export` of every frame as CSV;
#   - sqlite3's `.import` of that CSV into one table of a new database;
#   - the export command on a 5000-frame log, run N/5000 times (as many rows in all);
#   - with PostgreSQL 15 installed: `add` into a server started here (Unix socket in a
#     temporary folder, as the postgres user when run as root), psql's `\copy` of the CSV, and
#     the server's floor: the rows `add` wrote, copied out and loaded again by COPY into the
#     same tables and indexes of a new archive;
# and prints each time, the ratios and the peak memory of `add` and `export`. Needs the
# release build:
#   cmake --preset release && cmake --build --preset release --target quilmar-hk-archive \
#     quilmar-hk-export make-demo-log make-archive-bench-log
# Usage: bench/archive_vs_sqlite3.sh [FRAMES]
set -euo pipefail
frames=${1:-1000000}
cd "$(dirname "$0")/.."
bin=build/release
archive_tool=$bin/cli/archive/quilmar-hk-archive
export_tool=$bin/cli/quilmar-hk-export
dir=$(mktemp -d)
source bench/bench_postgres.sh
cleanup() {
  stop_bench_postgres
  rm -rf "$dir"
}
trap cleanup EXIT

seconds() { # runs a command, prints its wall time in seconds; peak RSS (KiB) to $dir/rss
  local start end
  start=$(date +%s%N)
  /usr/bin/time -f %M -o "$dir/rss" "$@" >/dev/null 2>"$dir/err" || { cat "$dir/err" >&2; exit 1; }
  end=$(date +%s%N)
  awk -v ns=$((end - start)) 'BEGIN { printf "%.2f", ns / 1e9 }'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

$bin/bench/make-archive-bench-log "$frames" "$dir/log.kss"
$bin/bench/make-archive-bench-log 5000 "$dir/small.kss"
cat "$dir/log.kss" >/dev/null

t_add=$(seconds "$archive_tool" --archive "$dir/a.sqlite" add "$dir/log.kss")
rss_add=$(cat "$dir/rss")
t_again=$(seconds "$archive_tool" --archive "$dir/a.sqlite" add "$dir/log.kss")
t_export=$(seconds "$archive_tool" --archive "$dir/a.sqlite" export --output "$dir/all.csv")
rss_export=$(cat "$dir/rss")
rows=$(($(wc -l <"$dir/all.csv") - 1))
t_import=$(seconds sqlite3 "$dir/plain.sqlite" ".import --csv $dir/all.csv frames")
runs=$(((rows + 4999) / 5000))
t_small_scaled=$(seconds sh -c "for i in \$(seq $runs); do \"$export_tool\" --output \"$dir/small.csv\" \"$dir/small.kss\"; done")

echo "frames in the log: $frames, archived (distinct): $rows"
echo "SQLite  add:            $t_add s (peak memory $((rss_add / 1024)) MiB)"
echo "SQLite  sqlite3 .import: $t_import s   add / .import = $(ratio "$t_add" "$t_import")"
echo "SQLite  add again:      $t_again s   again / first = $(ratio "$t_again" "$t_add")"
echo "export  all rows:       $t_export s (peak memory $((rss_export / 1024)) MiB)"
echo "export command x$runs:   $t_small_scaled s   export / that = $(ratio "$t_export" "$t_small_scaled")"

start_bench_postgres -F
psql=(psql -q -h "$dir/pg" -U postgres)
"${psql[@]}" -d postgres -c "CREATE DATABASE archive" -c "CREATE DATABASE plain"
columns=$(head -1 "$dir/all.csv" | tr -d '\r' | awk -F, '{for (i = 1; i <= NF; i++) printf "%sc%d text", (i > 1 ? ", " : ""), i}')
"${psql[@]}" -d plain -c "CREATE TABLE frames ($columns)"
url="postgresql://postgres@/archive?host=$dir/pg"
t_pg_add=$(seconds "$archive_tool" --archive "$url" add "$dir/log.kss")
t_pg_again=$(seconds "$archive_tool" --archive "$url" add "$dir/log.kss")
t_pg_copy=$(seconds "${psql[@]}" -d plain -c "\\copy frames FROM '$dir/all.csv' WITH (FORMAT csv, HEADER true)")
# The server's floor: the same rows into the same schema by COPY alone, from files on the
# server, with nothing decoded and no client in between.
"${psql[@]}" -d postgres -c "CREATE DATABASE floor"
floor_url="postgresql://postgres@/floor?host=$dir/pg"
"$archive_tool" --archive "$floor_url" add "$dir/small.kss" >/dev/null 2>&1
"${psql[@]}" -d floor -c "TRUNCATE frame, reception, pass, trend_hour, source"
for table in frame reception; do
  "${psql[@]}" -d archive -c "COPY $table TO '$dir/pg/$table.copy' (FORMAT binary)"
done
t_pg_floor=$(seconds "${psql[@]}" -d floor -c "COPY frame FROM '$dir/pg/frame.copy' (FORMAT binary)" \
  -c "COPY reception FROM '$dir/pg/reception.copy' (FORMAT binary)")
echo "PostgreSQL add:         $t_pg_add s"
echo "PostgreSQL COPY floor:  $t_pg_floor s   add / floor = $(ratio "$t_pg_add" "$t_pg_floor")"
echo "PostgreSQL psql \\copy:  $t_pg_copy s   add / \\copy = $(ratio "$t_pg_add" "$t_pg_copy")"
echo "PostgreSQL add again:   $t_pg_again s   again / first = $(ratio "$t_pg_again" "$t_pg_add")"
