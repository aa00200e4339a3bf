#!/usr/bin/env bash
# Live export of about a million frames through loopback: socat serves a KISS stream made of
# copies of the demo pass, the export's live mode writes JSON Lines to /dev/null. Prints the
# peak RSS after 1000 frames and after all of them, and the wall time.
# Usage: bench/live_export_loopback.sh build/release/cli/quilmar-hk-export [COPIES]
set -euo pipefail
export_exe=$1
copies=${2:-4100}
demo=$(dirname "$0")/../samples/demo.kss
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for ((i = 0; i < copies; ++i)); do cat "$demo"; done >"$work/stream.kss"
frames=$("$export_exe" --summary "$demo" | sed -n 's/^Frames stored: *\([0-9]*\).*/\1/p')
total=$((frames * copies))

run() {
  local port=$((20000 + RANDOM % 29000))
  socat -u "FILE:$work/stream.kss" "TCP-LISTEN:$port,reuseaddr,bind=127.0.0.1" 2>/dev/null &
  sleep 0.3
  /usr/bin/time -f "%M %e" -o "$work/time" "$export_exe" --connect "127.0.0.1:$port" \
    --format json --output /dev/null --frames "$1" 2>/dev/null
  wait
  read -r rss seconds <"$work/time"
  echo "$1 frames: peak RSS ${rss} KiB, ${seconds} s"
}
echo "stream: $(du -m "$work/stream.kss" | cut -f1) MB, $total frames"
run 1000
run "$total"
