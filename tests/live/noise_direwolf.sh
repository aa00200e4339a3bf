#!/usr/bin/env bash
# Frames among noise keep coming through, on both roads a station has:
# - KISS bytes with line noise between the frames (random bytes, FENDs among them) and frames
#   that share one FEND: the file export of such a log, and the live export of it sent by a
#   TNC over TCP, must give exactly the rows of the clean pass;
# - a real software TNC: the pass as 9600 bit/s audio in bursts with radio noise (random
#   samples) between them, decoded by Direwolf and served as KISS over TCP; the live export
#   and its recording must again give the rows of the clean pass.
# Usage: noise_direwolf.sh EXPORT MAKE_DEMO_LOG KISS_TO_AUDIO
set -euo pipefail
export_exe=$1 demo_exe=$2 audio_exe=$3
frames=${FRAMES:-200}
bursts=10

if ! command -v direwolf >/dev/null || ! command -v socat >/dev/null; then
  echo "SKIPPED: direwolf or socat is not installed (scripts/ensure_packages.sh installs them)"
  exit 77
fi

source "$(dirname "$0")/live_test_lib.sh"

# Waits up to $2 seconds for the header and all rows of the pass in the CSV file $1.
await_rows() {
  for ((i = 0; i < $2 * 10 && $(line_count "$1") < stored + 1; ++i)); do sleep 0.1; done
  [[ $(line_count "$1") -eq $((stored + 1)) ]] || fail "$1: $(($(line_count "$1") - 1)) of $stored rows"
}

"$demo_exe" --frames "$frames" "$work/pass.kss"
"$export_exe" "$work/pass.kss" >"$work/pass.csv"
# The pass holds one frame of another station: the rows are the spacecraft's frames.
stored=$(($(wc -l <"$work/pass.csv") - 1))
((stored > frames / 2)) || fail "the pass holds only $stored of the spacecraft's frames"

# The pass's frames with 10 MB of noise spread between them: every other frame follows noise
# after a doubled FEND (an empty frame), the others follow the frame before, sharing its FEND.
head -c 10000000 /dev/urandom >"$work/noise.bin"
perl -e '
  local $/; open(my $in, "<:raw", $ARGV[0]) or die; my $log = <$in>;
  open(my $n, "<:raw", $ARGV[1]) or die; my $noise = <$n>;
  my @frames = grep { length } split /\xC0/, $log;
  my $share = int(length($noise) / @frames * 2);
  binmode STDOUT;
  for my $i (0 .. $#frames) {
    print $i % 2 ? "$frames[$i]\xC0"
                 : substr($noise, $i / 2 * $share, $share) . "\xC0\xC0$frames[$i]\xC0";
  }' "$work/pass.kss" "$work/noise.bin" >"$work/noisy.kss"
"$export_exe" "$work/noisy.kss" >"$work/noisy.csv" 2>"$work/noisy.err"
cmp -s "$work/pass.csv" "$work/noisy.csv" ||
  fail "file export among noise: $(($(wc -l <"$work/noisy.csv") - 1)) of $stored rows, or other rows"

# The same bytes from a TNC over TCP, in one stream.
port=$(free_port)
socat -u "FILE:$work/noisy.kss" "TCP-LISTEN:$port,bind=127.0.0.1,reuseaddr" 2>"$work/socat.err" &
pids+=($!)
"$export_exe" --connect "127.0.0.1:$port" --frames "$stored" >"$work/stream.csv" \
  2>"$work/stream.err" &
pids+=($!)
await_rows "$work/stream.csv" 30
cmp -s "$work/pass.csv" "$work/stream.csv" || fail "live export among noise: other rows"

# Through Direwolf: the pass in bursts, each its own audio, with noise between them.
perl -e '
  local $/; open(my $in, "<:raw", $ARGV[0]) or die; my $log = <$in>;
  my @frames = grep { length } split /\xC0/, $log;
  my $per = int((@frames + $ARGV[1] - 1) / $ARGV[1]);
  for my $b (0 .. $ARGV[1] - 1) {
    my @part = @frames[$b * $per .. ($b + 1) * $per - 1];
    @part = grep { defined } @part;
    next unless @part;
    open(my $out, ">:raw", "$ARGV[2]/burst$b.kss") or die;
    print $out join("", map { "\xC0$_\xC0" } @part);
  }' "$work/pass.kss" "$bursts" "$work"
: >"$work/pass.s16"
for ((b = 0; b < bursts; ++b)); do
  [[ -f $work/burst$b.kss ]] || continue
  head -c 96000 /dev/urandom >>"$work/pass.s16" # one second of radio noise
  "$audio_exe" "$work/burst$b.kss" "$work/burst$b.s16"
  cat "$work/burst$b.s16" >>"$work/pass.s16"
done
head -c 96000 /dev/urandom >>"$work/pass.s16"

kiss_port=$(free_port)
write_direwolf_conf "$kiss_port"
mkfifo "$work/audio"
direwolf -c "$work/direwolf.conf" -t 0 -q hd - <"$work/audio" >"$work/direwolf.log" 2>&1 &
pids+=($!)
# The writer stays open until the client is connected: Direwolf ends at the end of its
# audio, and frames decoded before a client attaches are not sent to it.
exec 3>"$work/audio"
await "$work/direwolf.log" "Ready to accept KISS TCP client" 10
"$export_exe" --connect "127.0.0.1:$kiss_port" --frames "$stored" --record "$work/live.kss" \
  >"$work/live.csv" 2>"$work/live.err" &
pids+=($!)
await "$work/direwolf.log" "Attached to KISS TCP client application" 10
cat "$work/pass.s16" >&3
await_rows "$work/live.csv" 60
exec 3>&-
cmp -s "$work/pass.csv" "$work/live.csv" || fail "through Direwolf among noise: other rows"
"$export_exe" "$work/live.kss" >"$work/recorded.csv"
cmp -s "$work/pass.csv" "$work/recorded.csv" || fail "the recording exports differently"
echo "PASSED: $stored frames among noise, from a file, a TCP stream and Direwolf"
