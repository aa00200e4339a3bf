#!/usr/bin/env bash
# Builds the KISS log fuzzer (preset "fuzz") and runs it for SECONDS (default 60) over the
# seed corpus. New inputs go to build/fuzz/corpus-work, never into the repository; crash,
# leak and timeout inputs to build/fuzz/artifacts. Exits non-zero on any finding.
set -uo pipefail
seconds=${1:-60}
cd "$(dirname "$0")/.."

cmake --preset fuzz >/dev/null || exit 1
cmake --build --preset fuzz --target kiss_fuzzer || exit 1

work=build/fuzz/corpus-work
artifacts=build/fuzz/artifacts
log=build/fuzz/fuzz.log
mkdir -p "$work" "$artifacts"
cp -n fuzz/corpus/* "$work"/ 2>/dev/null

build/fuzz/fuzz/kiss_fuzzer -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=262144 \
  -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" fuzz/corpus >"$log" 2>&1
status=$?
tail -n 20 "$log"

if [ "$status" -ne 0 ] || grep -qE "ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|SUMMARY: " "$log"; then
  echo "run_fuzzer: the fuzzer found a problem (exit $status); see $log and $artifacts" >&2
  exit 1
fi
echo "run_fuzzer: no findings in $seconds s"
