#!/usr/bin/env bash
# A PostgreSQL archive whose host does not answer at all (switched off, behind a firewall that
# drops packets): in a private network namespace its packets go unanswered. The archive
# command must give up after its connect timeout with one line naming the archive and the
# reason, not wait out the system's TCP timeout minutes later.
# Usage: unreachable_host.sh ARCHIVE_EXE
set -euo pipefail

if [[ ${1:-} != --inside ]]; then
  if ! command -v ip >/dev/null || ! unshare -n true 2>/dev/null; then
    echo "SKIPPED: ip is not installed or no private network namespace can be made here"
    exit 77
  fi
  exec unshare -n "$0" --inside "$@"
fi
archive_exe=$2

source "$(dirname "$0")/../live/live_test_lib.sh"

# A host nobody has: its packets leave over the loopback device and, addressed to no one
# here, are dropped without an answer, as a switched-off host's are.
ip link set lo up
ip route add 10.9.9.0/24 dev lo || { echo "SKIPPED: the routes cannot be changed here"; exit 77; }
start=$(date +%s)
status=0
PGPASSWORD=secret timeout 60 "$archive_exe" \
  --archive "postgresql://hk@10.9.9.2:5432/mission" summary >"$work/out" 2>"$work/err" ||
  status=$?
took=$(($(date +%s) - start))
[[ $status -eq 1 ]] || fail "exit status $status after $took s, expected 1 within the connect timeout"
((took <= 20)) || fail "gave up only after $took s"
[[ $(wc -l <"$work/err") -eq 1 ]] || fail "expected one line on standard error"
grep -q "archive postgresql://hk@10.9.9.2:5432/mission: .*timeout" "$work/err" ||
  fail "the line names no archive or no timeout: $(cat "$work/err")"
! grep -q secret "$work/err" || fail "the password was printed"
echo "PASS: gave up after $took s: $(cat "$work/err")"
