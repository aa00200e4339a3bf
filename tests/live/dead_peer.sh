#!/usr/bin/env bash
# A TNC whose host vanishes without closing the connection (a cable pulled, a suspended laptop,
# a NAT that forgot the mapping): in a private network namespace the TNC's packets are dropped
# by a blackhole route rule. A TNC that is alive but silent must stay connected past the first
# keepalive probes; a dead one must be reported lost within about half a minute and the export
# must reconnect and read a TNC that is back on the same port.
# Usage: dead_peer.sh EXPORT MAKE_DEMO_LOG
set -euo pipefail

if [[ ${1:-} != --inside ]]; then
  if ! command -v socat >/dev/null || ! command -v ip >/dev/null; then
    echo "SKIPPED: socat or ip is not installed (scripts/ensure_packages.sh installs them)"
    exit 77
  fi
  if ! unshare -n true 2>/dev/null; then
    echo "SKIPPED: no private network namespace can be made here (needs root)"
    exit 77
  fi
  exec unshare -n "$0" --inside "$@"
fi
shift
export_exe=$1 demo_exe=$2

source "$(dirname "$0")/live_test_lib.sh"

# The namespace is the test's own: its loopback, and the local routing table looked up after
# the blackhole rules, so that they can drop loopback packets.
ip link set lo up
if ! ip rule add pref 100 lookup local || ! ip rule del pref 0; then
  echo "SKIPPED: the routing rules cannot be changed here"
  exit 77
fi

"$demo_exe" --frames 5 "$work/pass.kss"
"$export_exe" "$work/pass.kss" >"$work/pass.csv"
port=$(free_port)
# A TNC that accepts and never sends: what it would read goes to /dev/null. (No child
# process that could outlive the test.)
socat -u "TCP-LISTEN:$port,reuseaddr,bind=127.0.0.1" OPEN:/dev/null &
silent=$!
pids+=($silent)
sleep 0.3
"$export_exe" --connect "127.0.0.1:$port" --record "$work/live.kss" >"$work/live.csv" \
  2>"$work/live.err" &
live=$!
pids+=($live)
await "$work/live.err" "connected to" 10

# Silent but alive past two rounds of probes (after 10 s idle each) and the 25 s a dead peer
# is given: still connected.
sleep 26
grep -q "connection lost" "$work/live.err" && fail "a silent TNC was taken for dead"

# The TNC's host is gone: nothing it sends or is sent arrives any more.
ip rule add pref 1 to 127.0.0.1 ipproto tcp dport "$port" blackhole
ip rule add pref 2 from 127.0.0.1 ipproto tcp sport "$port" blackhole
start=$SECONDS
await "$work/live.err" "connection lost" 40
took=$((SECONDS - start))
((took <= 35)) || fail "the dead TNC was found after $took s"
kill "$silent"

# The network is back and a TNC serves a pass on the same port: it is read.
ip rule del pref 1
ip rule del pref 2
socat -u "FILE:$work/pass.kss" "TCP-LISTEN:$port,reuseaddr,bind=127.0.0.1" &
pids+=($!)
for ((i = 0; i < 400 && $(line_count "$work/live.csv") < 6; ++i)); do sleep 0.1; done
cmp -s "$work/pass.csv" "$work/live.csv" || fail "the TNC that came back was not read"
kill -TERM "$live"
wait "$live" || fail "SIGTERM gave a failure"
echo "PASSED: a silent TNC stayed connected, a dead one was found in $took s and replaced"
