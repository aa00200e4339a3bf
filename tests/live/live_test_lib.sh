# Shell helpers shared by the live-reception test scripts. The sourcing script defines
# fail MESSAGE, which reports and exits.

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
