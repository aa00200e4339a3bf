#!/usr/bin/env bash
# Builds the fuzzers (preset "fuzz") and runs them for SECONDS in all (default 60) over their
# seed corpora: five sixths to kiss_fuzzer (logs, streams cut between connections, the writers'
# round trip), the rest to tnc_address_fuzzer. Inputs stay small (4 KiB, 256 bytes for an
# address) so that thousands run every second. New inputs go to build/fuzz/*-work, never into
# the repository; crash, leak and timeout inputs to build/fuzz/artifacts. Exits non-zero on any
# finding.
set -uo pipefail
seconds=${1:-60}
cd "$(dirname "$0")/.."

cmake --preset fuzz >/dev/null || exit 1
cmake --build --preset fuzz --target kiss_fuzzer tnc_address_fuzzer || exit 1

artifacts=build/fuzz/artifacts
mkdir -p "$artifacts"
failed=0

# run NAME SECONDS MAX_LEN SEED_DIR
run() {
  local name=$1 time=$2 max_len=$3 seeds=$4
  local work=build/fuzz/$name-work log=build/fuzz/$name.log
  mkdir -p "$work"
  build/fuzz/fuzz/"$name" -max_total_time="$time" -timeout=10 -rss_limit_mb=2048 \
    -max_len="$max_len" -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" "$seeds" \
    >"$log" 2>&1
  local status=$?
  tail -n 12 "$log"
  if [ "$status" -ne 0 ] ||
    grep -qE "ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|SUMMARY: " "$log"; then
    echo "run_fuzzer: $name found a problem (exit $status); see $log and $artifacts" >&2
    failed=1
  fi
  local runs per_second edges
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  per_second=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  edges=$(grep -oE 'cov: [0-9]+' "$log" | tail -n 1 | cut -d' ' -f2)
  echo "run_fuzzer: $name: ${runs:-?} inputs in $time s, ${per_second:-?} per second, ${edges:-?} edges"
}

address_seconds=$((seconds / 6 > 0 ? seconds / 6 : 1))
run kiss_fuzzer $((seconds - address_seconds)) 4096 fuzz/corpus
run tnc_address_fuzzer "$address_seconds" 256 fuzz/address_corpus
[ "$failed" -eq 0 ] || exit 1
echo "run_fuzzer: no findings in $seconds s"
