#!/usr/bin/env bash
# The web server at a mission's scale: makes a log of DAYS days of passes (default 2088,
# 1,002,240 housekeeping frames), adds it to a new SQLite archive and to a new PostgreSQL 15
# database (a server started in a temporary folder, as the postgres user when run as root),
# serves each and measures with wrk:
#   - /api/latest from one client (latency percentiles),
#   - /api/series of 1000 points over the whole archive, a year, a month, a day and an hour
#     (each ending at the newest frame; the median of 20 requests),
#   - 200 viewers each reading /api/latest once a second for 30 s (wrk -c200 -t2 with a delay
#     script, the viewers' reads spread over the second: about 200 requests a second; latency
#     percentiles),
# and prints the query plan of the latest-values read on both engines. Needs the release build:
#   cmake --preset release && cmake --build --preset release --target quilmar-hk-archive \
#     make-trend-log
# Usage: bench/serve_bench.sh [DAYS]
set -euo pipefail
days=${1:-2088}
cd "$(dirname "$0")/.."
bin=build/release
archive_cmd=$bin/cli/archive/quilmar-hk-archive
dir=$(mktemp -d)
source bench/bench_postgres.sh
server=
cleanup() {
  [[ -n $server ]] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null || true
  stop_bench_postgres
  rm -rf "$dir"
}
trap cleanup EXIT

cat >"$dir/viewer.lua" <<'LUA'
-- One viewer: its page reads the latest values once a second. Viewers open their pages at
-- different moments: each connection's first wait is a random part of a second (a thread
-- holds 100 connections), then a second between reads.
local waits = 0
request = function() return wrk.format("GET", "/api/latest") end
delay = function()
  waits = waits + 1
  if waits <= 100 then return math.random(0, 999) end
  return 1000
end
LUA

# Starts the server on the archive; sets port and server.
serve() {
  "$archive_cmd" --archive "$1" serve --listen 127.0.0.1:0 --site "$dir" >"$dir/serve.out" 2>&1 &
  server=$!
  for _ in $(seq 100); do
    port=$(sed -nE 's|.*127\.0\.0\.1:([0-9]+)/.*|\1|p' "$dir/serve.out")
    [[ -n $port ]] && return 0
    sleep 0.1
  done
  cat "$dir/serve.out" >&2
  exit 1
}

# The median time of 20 GETs of the URL, in ms, and its status.
median_ms() {
  for _ in $(seq 20); do
    curl -s -o /dev/null -w '%{http_code} %{time_total}\n' "$1"
  done | sort -k2 -n | awk '{ t[NR] = $2 * 1000; s = $1 } END { printf "%.1f ms (status %s)", t[10], s }'
}

measure() {
  local engine=$1 url=http://127.0.0.1:$port
  echo "== $engine"
  curl -sf "$url/api/latest" >/dev/null
  echo "-- /api/latest, one client, 10 s:"
  wrk -t1 -c1 -d10s --latency "$url/api/latest" | grep -E '^ +(50|90|99)%|Requests/sec'
  local newest
  newest=$(curl -s "$url/api/latest" | python3 -c 'import json,sys
d = json.load(sys.stdin)["sections"]
print(max(s["time"] for s in d.values() if s))')
  local end_s
  end_s=$(date -u -d "$newest" +%s)
  for span in all 31536000 2592000 86400 3600; do
    local query="parameter=eps_tcs_battery_volts&points=1000"
    if [[ $span != all ]]; then
      query+="&from=$(date -u -d "@$((end_s - span))" +%FT%TZ)&to=$newest"
    fi
    echo "-- /api/series 1000 points, span $span s: $(median_ms "$url/api/series?$query")"
  done
  echo "-- 200 viewers, /api/latest once a second each, 30 s:"
  wrk -t2 -c200 -d30s --latency -s "$dir/viewer.lua" "$url" |
    grep -E '^ +(50|90|99)%|Requests/sec|requests in|Socket errors|Non-2xx'
  kill "$server"
  wait "$server" 2>/dev/null || true
  server=
}

latest_sql="SELECT id FROM frame WHERE time_utc IS NOT NULL AND frame_type = 'S' AND \
eps_tcs_size_of_hk_data IS NOT NULL ORDER BY time_utc DESC LIMIT 8"

$bin/tools/make-trend-log "$dir/mission.kss" "$days" >/dev/null
"$archive_cmd" --archive "$dir/mission.sqlite" add "$dir/mission.kss" >/dev/null
echo "SQLite plan of the latest values:"
sqlite3 "$dir/mission.sqlite" "EXPLAIN QUERY PLAN $latest_sql"
serve "$dir/mission.sqlite"
measure SQLite

start_bench_postgres
psql -q -h "$dir/pg" -U postgres -d postgres -c "CREATE DATABASE archive"
url="postgresql://postgres@/archive?host=$dir/pg"
"$archive_cmd" --archive "$url" add "$dir/mission.kss" >/dev/null
psql -q -h "$dir/pg" -U postgres -d archive -c "ANALYZE"
echo "PostgreSQL plan of the latest values:"
psql -h "$dir/pg" -U postgres -d archive -c "EXPLAIN ANALYZE $latest_sql" | grep -v '^$'
serve "$url"
measure PostgreSQL
