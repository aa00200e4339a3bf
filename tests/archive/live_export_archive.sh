#!/usr/bin/env bash
# The export command's live mode with --archive against a socat TNC that hands over the demo
# pass in three parts, while the PostgreSQL server of the archive is stopped after the first
# part and started again after the second: every frame must be archived exactly once, and
# standard error must say when the archive went away and when it was back.
# Usage: live_export_archive.sh EXPORT_EXE DEMO_LOG   (exit 77: socat or PostgreSQL missing)
set -euo pipefail
export_tool=$1
log=$2
source "$(dirname "$0")/../live/live_test_lib.sh"
fail() {
  echo "FAIL: $*" >&2
  cat "$dir/stderr" >&2 2>/dev/null || true
  exit 1
}
pg_bin=/usr/lib/postgresql/15/bin
command -v socat >/dev/null && [[ -x $pg_bin/initdb ]] || exit 77
as_postgres=()
if [[ $(id -u) -eq 0 ]]; then as_postgres=(runuser -u postgres --); fi
dir=$work  # the shared helpers made it; this script ends its own processes
pg_ctl() { "${as_postgres[@]}" "$pg_bin/pg_ctl" -D "$dir/pg" -l "$dir/pg/server.log" -w "$@" >/dev/null; }
cleanup() {
  [[ -f $dir/pg/postmaster.pid ]] && pg_ctl -m immediate stop || true
  kill "${socat_pid:-}" 2>/dev/null || true
  rm -rf "$dir"
}
trap cleanup EXIT
chmod 755 "$dir"
mkdir "$dir/pg"
if [[ $(id -u) -eq 0 ]]; then chown postgres "$dir/pg"; fi
"${as_postgres[@]}" "$pg_bin/initdb" -D "$dir/pg" -A trust -U postgres --no-sync >/dev/null
start_server() { pg_ctl -o "-k $dir/pg -c listen_addresses= -F" start; }
start_server
url="postgresql://postgres@/postgres?host=$dir/pg"

size=$(stat -c %s "$log")
port=$(free_port)
{
  head -c $((size / 3)) "$log"
  sleep 3
  head -c $((2 * size / 3)) "$log" | tail -c +$((size / 3 + 1))
  sleep 5
  tail -c +$((2 * size / 3 + 1)) "$log"
  sleep 30
} | socat -u STDIN "TCP-LISTEN:$port,reuseaddr" &
socat_pid=$!
sleep 0.5
"$export_tool" --connect "127.0.0.1:$port" --frames 242 --output "$dir/rows.csv" \
  --archive "$url" --station XQ0GND 2>"$dir/stderr" &
export_pid=$!
await "$dir/stderr" "connected" 10
sleep 1.5
pg_ctl -m fast stop
await "$dir/stderr" "frames wait in memory" 20
start_server
wait "$export_pid" || fail "the export command exits $?"
grep -q "is back" "$dir/stderr" || fail "no report that the archive is back"
counts=$(psql -h "$dir/pg" -U postgres -d postgres -At \
  -c "SELECT count(*), count(DISTINCT frame_digest), min(station), count(received_at) FROM reception")
[[ $counts == "242|242|XQ0GND|242" ]] || fail "receptions (all, distinct, station, timed): $counts"
echo "PASS: 242 frames archived once across a database restart"
