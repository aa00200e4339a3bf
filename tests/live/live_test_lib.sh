# Shell helpers shared by the live-reception test scripts, sourced once the script knows it
# can run (its tools are there).

# The test's folder and the processes it starts (pids+=(PID), and a server whose pid is in
# $work/server.pid): ended, even when stopped, and removed however the script exits.
work=$(mktemp -d)
pids=()
cleanup() {
  exec 3>&- || true
  [[ -f $work/server.pid ]] && pids+=("$(cat "$work/server.pid")")
  for pid in "${pids[@]}"; do
    kill -CONT "$pid" 2>/dev/null || true
    kill "$pid" 2>/dev/null || true
  done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Reports the failure with the end of each standard-error log of the test, and exits.
fail() {
  echo "FAILED: $*"
  for log in "$work"/*.err "$work/direwolf.log"; do
    [[ -f $log ]] && { echo "--- $log"; tail -n 30 "$log"; }
  done
  exit 1
}

# The lines of file $1; 0 while it is not there yet. A command started in the background
# (`cmd >file &`) creates its output file only once its own process runs, so a loop that
# polls the file may look before it exists.
line_count() {
  if [[ -f $1 ]]; then wc -l <"$1"; else echo 0; fi
}

# Waits up to $3 seconds for the pattern $2 in the file $1.
await() {
  for ((i = 0; i < $3 * 10; ++i)); do
    grep -q -- "$2" "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  fail "no '$2' in $1 within $3 s"
}

# A TCP port nothing listens on (bash's /dev/tcp fails to connect).
free_port() {
  local port
  for ((i = 0; i < 50; ++i)); do
    port=$((20000 + RANDOM % 29000)) # Direwolf takes ports below 49152 only
    if ! (exec 9<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
      echo "$port"
      return
    fi
  done
  fail "no free TCP port"
}

# Writes $work/direwolf.conf for a 9600 bit/s modem reading 48 kHz audio from standard input
# and serving KISS over TCP on port $1.
write_direwolf_conf() {
  cat >"$work/direwolf.conf" <<CONF
ADEVICE stdin null
ARATE 48000
ACHANNELS 1
CHANNEL 0
MODEM 9600
KISSPORT $1
AGWPORT 0
CONF
}
