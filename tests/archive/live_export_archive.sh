#!/usr/bin/env bash
# The export command's live mode with --archive against a socat TNC that hands over the demo
# pass in three parts, while the PostgreSQL server of the archive is stopped after the first
# part and started again after the second: every frame must be archived exactly once, and
# standard error must say when the archive went away and when it was back.
# Usage: live_export_archive.sh EXPORT_EXE DEMO_LOG [ARCHIVE_EXE]
#   (exit 77: socat or PostgreSQL missing)
set -euo pipefail
export_tool=$1
log=$2
archive_exe=${3:-}
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
# The test server's processes: the postmaster and its children.
server_pids() {
  local postmaster
  postmaster=$(head -1 "$dir/pg/postmaster.pid")
  echo "$postmaster" $(pgrep -P "$postmaster")
}
cleanup() {
  [[ -f $dir/pg/postmaster.pid ]] && kill -CONT $(server_pids) 2>/dev/null || true
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
  -c "SELECT count(*), count(DISTINCT position), min(station), count(received_at) FROM reception")
[[ $counts == "242|242|XQ0GND|242" ]] || fail "receptions (all, distinct, station, timed): $counts"
echo "PASS: 242 frames archived once across a database restart"
rm -f "$dir/stderr"

# SIGTERM while the archive cannot take the frames that wait: held by another writer's lock,
# its server frozen (as a host that stops answering), a SQLite archive locked by another
# program. The export ends within a second anyway, the recording complete; one line says how
# many frames the archive lacks and the command that adds them, and that command, run as
# printed, leaves the archive with every frame of the pass once.
[[ -n $archive_exe ]] || exit 0
frames=$(($("$export_tool" "$log" 2>/dev/null | wc -l) - 1))
now_ms() { echo $(($(date +%s%N) / 1000000)); }
for mode in postgresql-lock postgresql-frozen sqlite-lock; do
  db=${mode//-/_}
  if [[ $mode == sqlite-* ]]; then
    target=$dir/$db.sqlite
  else
    psql -h "$dir/pg" -U postgres -d postgres -q -c "CREATE DATABASE $db"
    target="postgresql://postgres@/$db?host=$dir/pg"
  fi
  record=$dir/$db.kss
  port=$(free_port)
  { head -c $((size / 3)) "$log"; sleep 3; tail -c +$((size / 3 + 1)) "$log"; sleep 30; } |
    socat -u STDIN "TCP-LISTEN:$port,reuseaddr" &
  socat_pid=$!
  sleep 0.5
  "$export_tool" --connect "127.0.0.1:$port" --archive "$target" --record "$record" \
    --output "$dir/rows.csv" 2>"$dir/stderr" &
  export_pid=$!
  await "$dir/stderr" "connected" 10
  sleep 1.5  # the first part is archived
  case $mode in
    postgresql-lock) # the writers' advisory lock, as a long import holds it
      psql -h "$dir/pg" -U postgres -d "$db" -q \
        -c "SELECT pg_advisory_lock($((0x51484B41))), pg_sleep(60)" >/dev/null 2>&1 & ;;
    postgresql-frozen) kill -STOP $(server_pids) ;;
    sqlite-lock) # another program's write transaction, held until its input ends
      exec 7> >(exec sqlite3 "$target")
      echo "BEGIN IMMEDIATE;" >&7 ;;
  esac
  for ((i = 0; i < 100 && $(stat -c %s "$record") < size; ++i)); do sleep 0.1; done
  cmp -s "$log" "$record" || fail "$mode: the recording is not the pass"
  sleep 0.5
  start=$(now_ms)
  kill -TERM "$export_pid"
  status=0
  wait "$export_pid" || status=$?
  took=$(($(now_ms) - start))
  case $mode in
    postgresql-lock) psql -h "$dir/pg" -U postgres -d postgres -q -At -c "SELECT \
      pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = '$db'" >/dev/null ;;
    postgresql-frozen) kill -CONT $(server_pids) ;;
    sqlite-lock) exec 7>&- ;;
  esac
  kill "$socat_pid" 2>/dev/null || true
  ((took < 2000)) || fail "$mode: SIGTERM took $took ms"
  [[ $status -eq 0 ]] || fail "$mode: exit status $status"
  ! grep -v "^quilmar-hk-export: " "$dir/stderr" || fail "$mode: a stray line on standard error"
  add=$(sed -n 's/^.* frames were not archived; quilmar-hk-archive \(.*\) adds them from the recording$/\1/p' \
    "$dir/stderr")
  [[ -n $add ]] || fail "$mode: no line on the frames the archive lacks"
  eval "\"\$archive_exe\" $add" >/dev/null 2>"$dir/add.err" || fail "$mode: $add: $(cat "$dir/add.err")"
  if [[ $mode == sqlite-* ]]; then
    stored=$(sqlite3 "$target" "SELECT count(*) FROM frame")
  else
    stored=$(psql -h "$dir/pg" -U postgres -d "$db" -At -c "SELECT count(*) FROM frame")
  fi
  [[ $stored -eq $frames ]] || fail "$mode: $stored frames archived of $frames"
  echo "PASS: $mode: SIGTERM ended the export in $took ms; the recording added the rest"
done
