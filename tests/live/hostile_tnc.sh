#!/usr/bin/env bash
# The export command's live mode against a TNC that misbehaves, served by socat: noise, an
# endless frame without FEND, a connection closed in the middle of a frame, a refused
# connection. Never a crash or a hang; the rows are always those the file export gives for
# the recording of what arrived; SIGTERM ends it with status 0 and the recording complete.
# Usage: hostile_tnc.sh EXPORT MAKE_DEMO_LOG
set -euo pipefail
export_exe=$1 demo_exe=$2

if ! command -v socat >/dev/null; then
  echo "SKIPPED: socat is not installed (scripts/ensure_packages.sh installs it)"
  exit 77
fi

source "$(dirname "$0")/live_test_lib.sh"

# Serves the file $2 once on port $1, then closes the connection. A server still running on
# the port (closing its listening socket) is waited for first.
server_pid=
serve() {
  [[ -n $server_pid ]] && { wait "$server_pid" || true; }
  socat -u "FILE:$2" "TCP-LISTEN:$1,reuseaddr,bind=127.0.0.1" &
  server_pid=$!
  pids+=($server_pid)
}

# Starts the live export on port $1 with the extra options that follow.
start_live() {
  local port=$1
  shift
  "$export_exe" --connect "127.0.0.1:$port" --record "$work/live.kss" "$@" \
    >"$work/live.csv" 2>"$work/live.err" &
  live_pid=$!
  pids+=($live_pid)
}

# Waits for the header and $1 rows (the pass's 5 by default). Rows are streamed as their
# frames arrive, so they are late, and the test fails, when they have not all come within 10 s.
await_pass() {
  local lines=$((${1:-5} + 1))
  for ((i = 0; i < 100 && $(line_count "$work/live.csv") < lines; ++i)); do sleep 0.1; done
  (($(line_count "$work/live.csv") >= lines)) ||
    fail "rows late: $(line_count "$work/live.csv") lines ($(wc -c <"$work/live.csv") bytes) of $lines after 10 s"
}

# What the recording holds after the bytes of the files named: each connection's bytes as
# they came, and one FEND after a connection that ended inside a frame (bytes after a FEND),
# which ends the cut frame so the next connection's first bytes are not read as its rest.
expected_recording() {
  : >"$work/sent.kss"
  for part in "$@"; do
    if (($(tr -cd '\300' <"$work/sent.kss" | wc -c))) &&
      [[ $(tail -c 1 "$work/sent.kss" | od -An -tx1 | tr -d ' ') != c0 ]]; then
      printf '\300' >>"$work/sent.kss"
    fi
    cat "$part" >>"$work/sent.kss"
  done
}

# SIGTERM must end the export with status 0, its recording holding every byte sent, and
# the rows the file export gives for the pass.
stop_and_check() {
  kill -TERM "$live_pid"
  local status=0
  wait "$live_pid" || status=$?
  [[ $status -eq 0 ]] || fail "$1: SIGTERM gave exit status $status"
  cmp -s "${2:-$work/pass.csv}" "$work/live.csv" || fail "$1: rows differ from the file export"
  if [[ ! -s $work/sent.kss ]]; then
    [[ ! -e $work/live.kss ]] || fail "$1: an empty recording was left behind"
    return
  fi
  cmp -s "$work/sent.kss" "$work/live.kss" || fail "$1: the recording is not what was sent"
  "$export_exe" "$work/live.kss" >"$work/recording.csv"
  cmp -s "$work/recording.csv" "$work/live.csv" || fail "$1: the recording exports other rows"
  rm -f "$work/live.kss"
}

"$demo_exe" --frames 5 "$work/pass.kss"
"$export_exe" "$work/pass.kss" >"$work/pass.csv"

# Noise on one connection; on the next, an endless frame (8 MiB without FEND) and then the
# pass, whose frames must all come through.
port=$(free_port)
head -c 1000000 /dev/urandom >"$work/noise.kss"
{ printf '\300'; head -c 8388608 /dev/zero; printf '\300'; cat "$work/pass.kss"; } >"$work/long.kss"
serve "$port" "$work/noise.kss"
start_live "$port"
await "$work/live.err" "connection lost" 20
serve "$port" "$work/long.kss"
await_pass
expected_recording "$work/noise.kss" "$work/long.kss"
stop_and_check "noise and endless frame"

# A connection closed in the middle of a frame, then a new connection with the whole pass:
# the cut frame (its address arrived) is read as far as it came, then the whole pass.
port=$(free_port)
head -c 100 "$work/pass.kss" >"$work/half.kss"
serve "$port" "$work/half.kss"
start_live "$port"
await "$work/live.err" "connection lost" 10
serve "$port" "$work/pass.kss"
await_pass 6
expected_recording "$work/half.kss" "$work/pass.kss"
"$export_exe" "$work/sent.kss" >"$work/cut.csv"
[[ $(wc -l <"$work/cut.csv") -eq 7 ]] || fail "closed mid-frame: the recording lost frames"
stop_and_check "closed mid-frame" "$work/cut.csv"

# A recording continued from a session that ended inside a frame: the new frames still read.
head -c 100 "$work/pass.kss" >"$work/live.kss"
port=$(free_port)
serve "$port" "$work/pass.kss"
start_live "$port"
await_pass
expected_recording "$work/half.kss" "$work/pass.kss"
"$export_exe" "$work/sent.kss" | tail -n 5 | cut -d, -f2- >"$work/continued.csv"
tail -n 5 "$work/pass.csv" | cut -d, -f2- | cmp -s - "$work/continued.csv" ||
  fail "continued recording: the new frames do not read back"
kill -TERM "$live_pid"
wait "$live_pid" || fail "continued recording: SIGTERM gave a failure"
cmp -s "$work/sent.kss" "$work/live.kss" || fail "continued recording: not the old bytes, a FEND and the new"
rm -f "$work/live.kss"

# Refused: nothing listens. The back-off shows on standard error.
port=$(free_port)
expected_recording
head -n 1 "$work/pass.csv" >"$work/header.csv"
start_live "$port"
await "$work/live.err" "cannot connect to 127.0.0.1:$port: Connection refused; retrying in 2 s" 10
grep -q "retrying in 1 s" "$work/live.err" || fail "refused: no first back-off of 1 s"
cp "$work/header.csv" "$work/pass.csv"
stop_and_check "refused"

echo "PASSED: noise, endless frame, cut-off connection and refusal handled"
