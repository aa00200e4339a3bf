#!/usr/bin/env bash
# End to end against a real software TNC: a short pass of housekeeping frames becomes 9600
# bit/s audio, Direwolf decodes it from a pipe and serves the frames as KISS over TCP or on a
# pseudo-terminal, and the export command's live mode must write exactly the rows the file
# export writes for the same frames; so must the file export of its recording.
# Usage: direwolf_e2e.sh tcp|pty EXPORT MAKE_DEMO_LOG KISS_TO_AUDIO
set -euo pipefail
mode=$1 export_exe=$2 demo_exe=$3 audio_exe=$4
frames=${FRAMES:-20}

if ! command -v direwolf >/dev/null; then
  echo "SKIPPED: direwolf is not installed (scripts/ensure_packages.sh installs it)"
  exit 77
fi

source "$(dirname "$0")/live_test_lib.sh"

"$demo_exe" --frames "$frames" "$work/pass.kss"
"$audio_exe" "$work/pass.kss" "$work/pass.s16"
"$export_exe" "$work/pass.kss" >"$work/file.csv"
"$export_exe" --format json "$work/pass.kss" >"$work/file.json"
[[ $(($(wc -l <"$work/file.csv") - 1)) -eq $frames ]] || fail "the pass does not hold $frames frames"

kiss_port=$(free_port)
write_direwolf_conf "$kiss_port"
mkfifo "$work/audio"
pty_option=()
[[ $mode == pty ]] && pty_option=(-p)
direwolf -c "$work/direwolf.conf" -t 0 -q hd "${pty_option[@]}" - <"$work/audio" \
  >"$work/direwolf.log" 2>&1 &
pids+=($!)
# The writer stays open until the clients are connected: Direwolf ends at the end of its
# audio, and frames decoded before a client attaches are not sent to it.
exec 3>"$work/audio"
await "$work/direwolf.log" "Ready to accept KISS TCP client" 10

live=(--frames "$frames")
if [[ $mode == pty ]]; then
  await "$work/direwolf.log" "Virtual KISS TNC is available on" 10
  address=$(sed -n 's/.*Virtual KISS TNC is available on \(\/dev\/[^ ]*\).*/\1/p' \
    "$work/direwolf.log" | head -n 1)
  "$export_exe" --connect "$address" --baud 9600 "${live[@]}" --record "$work/live.kss" \
    >"$work/live.csv" 2>"$work/csv.err" &
  pids+=($!)
  await "$work/csv.err" "connected to $address at 9600 baud" 10
else
  address=localhost:$kiss_port
  "$export_exe" --connect "$address" "${live[@]}" --record "$work/live.kss" \
    >"$work/live.csv" 2>"$work/csv.err" &
  pids+=($!)
  "$export_exe" --connect "127.0.0.1:$kiss_port" "${live[@]}" --format json \
    --output "$work/live.jsonl" 2>"$work/json.err" &
  pids+=($!)
  await "$work/csv.err" "connected to $address" 10
  await "$work/json.err" "connected to 127.0.0.1:$kiss_port" 10
  await "$work/direwolf.log" "Attached to KISS TCP client application 1" 10
fi

cat "$work/pass.s16" >&3
# The live exports end by themselves after the last frame.
for pid in "${pids[@]:1}"; do
  for ((i = 0; i < 200 && $(kill -0 "$pid" 2>/dev/null && echo 1 || echo 0); ++i)); do
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null && fail "the live export did not end after $frames frames"
  wait "$pid" || fail "the live export exited with status $?"
done
exec 3>&-

cmp "$work/file.csv" "$work/live.csv" || fail "live CSV rows differ from the file export"
"$export_exe" "$work/live.kss" >"$work/recorded.csv"
cmp "$work/file.csv" "$work/recorded.csv" || fail "the recording exports differently"
if [[ $mode == tcp ]]; then
  # The file export's frame objects, one per line as live JSON Lines writes them.
  sed -n 's/^    \({.*}\),\{0,1\}$/\1/p' "$work/file.json" >"$work/file.jsonl"
  [[ $(wc -l <"$work/file.jsonl") -eq $frames ]] || fail "file JSON frames not found"
  cmp "$work/file.jsonl" "$work/live.jsonl" || fail "live JSON Lines differ from the file export"
fi
echo "PASSED: $frames frames through Direwolf ($mode) match the file export"
