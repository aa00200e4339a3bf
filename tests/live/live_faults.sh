#!/usr/bin/env bash
# The export command's live mode where an operator's station goes wrong: a reader of the rows
# that stops reading, two sessions on one recording, a TNC that resets each connection right
# after sending, and start-ups that must fail without touching the files named.
# Usage: live_faults.sh EXPORT MAKE_DEMO_LOG
set -euo pipefail
export_exe=$1 demo_exe=$2

if ! command -v socat >/dev/null; then
  echo "SKIPPED: socat is not installed (scripts/ensure_packages.sh installs it)"
  exit 77
fi

source "$(dirname "$0")/live_test_lib.sh"

now_ms() { echo $(($(date +%s%N) / 1000000)); }

"$demo_exe" --frames 5 "$work/pass.kss"
"$export_exe" "$work/pass.kss" >"$work/pass.csv"

# A reader that stops (SIGSTOP) while thousands of rows arrive: reception and the recording go
# on, the rows that found no room are counted on standard error, and SIGTERM still ends the
# export within a second with the recording complete.
"$demo_exe" "$work/demo.kss"
for ((i = 0; i < 30; ++i)); do cat "$work/demo.kss"; done >"$work/many.kss"
port=$(free_port)
socat -u "FILE:$work/many.kss" "TCP-LISTEN:$port,reuseaddr,bind=127.0.0.1" &
pids+=($!)
mkfifo "$work/rows"
# In a session of its own: a stopped process in the test's process group would get SIGHUP from
# the kernel when another member exits and the group is orphaned (as under ctest).
setsid sh -c 'kill -STOP $$; exec cat' <"$work/rows" >"$work/read.csv" &
reader=$!
pids+=($reader)
"$export_exe" --connect "127.0.0.1:$port" --record "$work/stalled.kss" >"$work/rows" \
  2>"$work/stalled.err" &
live=$!
pids+=($live)
size=$(stat -c %s "$work/many.kss")
for ((i = 0; i < 200 && $(stat -c %s "$work/stalled.kss" 2>/dev/null || echo 0) < size; ++i)); do
  sleep 0.1
done
cmp -s "$work/many.kss" "$work/stalled.kss" || fail "stalled reader: the recording stopped short"
await "$work/stalled.err" "rows dropped from standard output" 15
start=$(now_ms)
kill -TERM "$live"
status=0
wait "$live" || status=$?
took=$(($(now_ms) - start))
((took < 1000)) || fail "stalled reader: SIGTERM took $took ms"
[[ $status -eq 0 ]] || fail "stalled reader: SIGTERM gave exit status $status"
kill -CONT "$reader"
"$export_exe" "$work/stalled.kss" >"$work/stalled.csv" 2>/dev/null
cmp -s "$work/stalled.csv" <("$export_exe" "$work/many.kss" 2>/dev/null) ||
  fail "stalled reader: the recording does not read back to the frames sent"

# Two sessions on one recording: the second is refused and writes nothing, neither to the
# recording nor to its --output, which stays as it was.
port=$(free_port)
printf 'kept\n' >"$work/other.csv"
"$export_exe" --connect "127.0.0.1:$port" --record "$work/shared.kss" >/dev/null \
  2>"$work/first.err" &
first=$!
pids+=($first)
await "$work/first.err" "retrying in 1 s" 10
status=0
timeout 10 "$export_exe" --connect "127.0.0.1:$port" --record "$work/shared.kss" \
  --output "$work/other.csv" 2>"$work/second.err" || status=$?
[[ $status -eq 1 ]] || fail "shared recording: the second session gave exit status $status"
grep -q "another session is recording to it" "$work/second.err" ||
  fail "shared recording: no reason given"
[[ $(cat "$work/other.csv") == kept ]] || fail "shared recording: --output was touched"
kill -TERM "$first"
wait "$first" || fail "shared recording: the first session failed"

# A TNC that sends a pass and resets the connection at once, round after round: every byte of
# every round is recorded and read, and every connection shows on standard error.
port=$(free_port)
rounds=6
# One server per round; the running one's pid is kept for the cleanup.
(for ((r = 0; r < rounds; ++r)); do
  socat -u "FILE:$work/pass.kss" "TCP-LISTEN:$port,reuseaddr,bind=127.0.0.1,linger=0" &
  echo $! >"$work/server.pid"
  wait $!
done) &
pids+=($!)
"$export_exe" --connect "127.0.0.1:$port" --record "$work/reset.kss" >"$work/reset.csv" \
  2>"$work/reset.err" &
live=$!
pids+=($live)
for ((i = 0; i < 300 && $(line_count "$work/reset.csv") < rounds * 5 + 1; ++i)); do sleep 0.1; done
kill -TERM "$live"
wait "$live" || fail "reset: SIGTERM gave a failure"
[[ $(line_count "$work/reset.csv") -eq $((rounds * 5 + 1)) ]] ||
  fail "reset: $(($(line_count "$work/reset.csv") - 1)) rows of $((rounds * 5))"
for ((r = 0; r < rounds; ++r)); do cat "$work/pass.kss"; done | cmp -s - "$work/reset.kss" ||
  fail "reset: the recording is not every round's bytes"
[[ $(grep -c "connected to" "$work/reset.err") -eq $rounds ]] || fail "reset: connections unreported"

# Start-ups that must fail, with the status and reason, leaving the files named as they were.
printf 'kept\n' >"$work/out.csv"
check_refused() { # STATUS PATTERN ARGS...
  local expected=$1 pattern=$2 status=0
  shift 2
  timeout 10 "$export_exe" "$@" >/dev/null 2>"$work/refused.err" || status=$?
  [[ $status -eq $expected ]] || fail "$*: exit status $status instead of $expected"
  grep -q -- "$pattern" "$work/refused.err" || fail "$*: no '$pattern' on standard error"
  [[ $(cat "$work/out.csv") == kept ]] || fail "$*: --output was touched"
}
check_refused 2 "name the same file" --connect 127.0.0.1:1 --record "$work/new.kss" \
  --output "$work/./new.kss"
[[ ! -e $work/new.kss ]] || fail "--record X --output X: X was created"
check_refused 1 "cannot open recording" --connect 127.0.0.1:1 --record "$work/no/such.kss" \
  --output "$work/out.csv"
ln -s "$work/out.csv" "$work/link.kss"
check_refused 1 "symbolic link" --connect 127.0.0.1:1 --record "$work/link.kss"
check_refused 1 "is not a serial device" --connect /etc/passwd
check_refused 1 "is not a serial device" --connect /dev/null --output "$work/out.csv"

echo "PASSED: stalled reader, shared recording, resets and refused start-ups"
