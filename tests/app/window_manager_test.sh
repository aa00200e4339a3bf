#!/usr/bin/env bash
# The window program under a real window manager (openbox on the X display this runs on, as
# xvfb-run gives): where the window's frame lands at start-up, and what closing it by its
# close box writes to the settings file. Offscreen tests cannot see this: there is no frame.
# Usage: window_manager_test.sh PROGRAM
set -euo pipefail

program=$(realpath "$1")
here=$(dirname "$(realpath "$0")")
# The session bus library leaks a buffer when no bus is running; not ours to mend.
export LSAN_OPTIONS="suppressions=$here/lsan_suppressions.txt:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
work=$(mktemp -d)
wm_pid=""
app_pid=""
failures=0

cleanup() {
  [[ -n $app_pid ]] && kill "$app_pid" 2>/dev/null || true
  [[ -n $wm_pid ]] && kill "$wm_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# Waits up to 10 s for a command to succeed.
wait_for() {
  for _ in $(seq 100); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.1
  done
  return 1
}

window_id=""
start_program() {
  (cd "$work" && exec "$program") &
  app_pid=$!
  window_id=$(timeout 20 xdotool search --sync --onlyvisible --pid "$app_pid" --name QUILMAR | head -1)
  [[ -n $window_id ]] || { fail "no window appeared"; return 1; }
  # The frame is known once the window manager has published its extents; give the program
  # a moment after that to settle where it wants to be.
  wait_for xprop -id "$window_id" -notype _NET_FRAME_EXTENTS || fail "no frame extents"
  sleep 0.5
}

# The frame's outer rectangle: left top width height.
frame_rect() {
  local x y w h extents left right top bottom
  read -r x y w h < <(xwininfo -id "$window_id" | awk '
    /Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
    /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}')
  extents=$(xprop -id "$window_id" -notype _NET_FRAME_EXTENTS | sed 's/.*= //; s/,/ /g')
  read -r left right top bottom <<<"$extents"
  echo "$((x - left)) $((y - top)) $((w + left + right)) $((h + top + bottom))"
}

# Closes the window by its close box, as the window manager delivers it, and waits for the end.
close_program() {
  wmctrl -i -c "$window_id"
  for _ in $(seq 100); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$app_pid" 2>/dev/null; then
    fail "the program did not end after its window was closed"
    kill "$app_pid"
  fi
  wait "$app_pid" || fail "the program ended with status $?"
  app_pid=""
}

settings() { od -c "$work/quilmar_hkc.ini" 2>/dev/null | head -3; }

read -r screen_w screen_h < <(xdpyinfo | awk '/dimensions:/ {split($2, s, "x"); print s[1], s[2]}')
openbox --sm-disable &
wm_pid=$!
wait_for wmctrl -m || { echo "FAIL: openbox did not start" >&2; exit 1; }

# No settings file: the frame, title bar included, stands at the top left corner.
start_program
read -r fx fy fw fh < <(frame_rect)
[[ $fx -eq 0 && $fy -eq 0 ]] || fail "without a settings file the frame is at $fx,$fy, not 0,0"
close_program
[[ "$(cat "$work/quilmar_hkc.ini")" == $' 0 \r\n 0 \r' ]] || fail "first close wrote: $(settings)"

# A saved position survives any number of starts and closes unchanged.
printf ' 600 \r\n 1200 \r\n' >"$work/quilmar_hkc.ini"
for round in 1 2 3; do
  start_program
  read -r fx fy fw fh < <(frame_rect)
  [[ $fx -eq 80 && $fy -eq 40 ]] || fail "round $round: the frame is at $fx,$fy, not 80,40"
  close_program
  [[ "$(cat "$work/quilmar_hkc.ini")" == $' 600 \r\n 1200 \r' ]] ||
    fail "round $round: close wrote: $(settings)"
done

# A position off the screen comes back onto it, the whole frame within the screen.
for saved in ' 600 \r\n 30000 \r\n' ' 99999 \r\n 99999 \r\n'; do
  printf "$saved" >"$work/quilmar_hkc.ini"
  start_program
  read -r fx fy fw fh < <(frame_rect)
  if ((fx < 0 || fy < 0 || fx + fw > screen_w || fy + fh > screen_h)); then
    fail "saved '$saved': frame $fw x $fh at $fx,$fy leaves the $screen_w x $screen_h screen"
  fi
  close_program
done

# Negative edges are clamped to the screen's edge.
printf -- '-300 \r\n-600 \r\n' >"$work/quilmar_hkc.ini"
start_program
read -r fx fy fw fh < <(frame_rect)
[[ $fx -eq 0 && $fy -eq 0 ]] || fail "negative saved edges put the frame at $fx,$fy"
close_program

if ((failures > 0)); then
  exit 1
fi
echo "window placement under openbox: all checks passed"
