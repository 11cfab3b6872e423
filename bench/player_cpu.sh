#!/usr/bin/env bash
# The whole player's CPU with two songs playing at +7 %, first without keylock and then with it on both decks:
# starts Korvex as bench/player_rss.sh does (under xvfb-run when there is no display, fresh settings, the null
# output, the same two MP3s of 60 minutes loaded into the two decks and playing), moves both pitch sliders with
# the keys, and prints the process's CPU time (user + system, all threads) over SECONDS as a share of one core;
# then K on both decks, and the same again.
#
#   bench/player_cpu.sh [BUILD_DIR] [SECONDS]        (defaults: build, 60)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
seconds=${2:-60}

make_mp3() {
  [ -f "$2" ] && return
  local five=/tmp/korvex-bench-5min-$1.mp3
  [ -f "$five" ] || ffmpeg -hide_banner -loglevel error -y -f lavfi -i "anoisesrc=color=pink:amplitude=0.2:d=300" \
    -f lavfi -i "sine=f=$1:d=300" -filter_complex amix=inputs=2 -ac 2 -ar 44100 -c:a libmp3lame -b:a 192k "$five"
  ffmpeg -hide_banner -loglevel error -y -stream_loop 12 -i "$five" -c copy -t 3600 "$2"
}
a=/tmp/korvex-bench-60min-220.mp3
b=/tmp/korvex-bench-60min-330.mp3
make_mp3 220 "$a"
make_mp3 330 "$b"

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$build" "$seconds"
fi

work=$(mktemp -d /tmp/korvex-cpu.XXXXXX)
mkdir -p "$work/run" && chmod 700 "$work/run"
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/run
"$build/korvex" --audio-output=null "$a" "$b" > "$work/korvex.log" 2>&1 &
pid=$!
trap 'kill -TERM $pid 2>/dev/null || true; wait $pid 2>/dev/null || true; rm -rf "$work"' EXIT
sleep 6
xdotool mousemove 400 262 click 1              # the first-start message
sleep 3
xdotool mousemove 100 463 click 1; sleep 0.5   # the second song of list A ...
xdotool mousemove 355 482 click 1; sleep 1     # ... goes to list B (the "→ B" button)
xdotool mousemove 560 445 click --repeat 2 1   # a double click loads it into deck B
sleep 2
xdotool mousemove 100 445 click --repeat 2 1   # and the first song into deck A (the drop loaded the last)
sleep 2
xdotool mousemove 154 201 click 1; sleep 0.3   # Play A
xdotool mousemove 571 201 click 1; sleep 0.3   # Play B
# S moves the keyboard deck's pitch slider a step towards faster: +7 % on deck A, then on deck B.
xdotool key Left; xdotool key --delay 20 $(printf 's %.0s' $(seq 53))
xdotool key Right; xdotool key --delay 20 $(printf 's %.0s' $(seq 53))
sleep 5

ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
hz=$(getconf CLK_TCK)
measure() {
  local before after
  before=$(ticks)
  sleep "$seconds"
  after=$(ticks)
  awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" -v what="$1" \
    'BEGIN { printf "%s: %.1f %% of one core over %d s\n", what, 100 * t / hz / s, s }'
}
measure "two decks at +7 %, keylock off"
xdotool key Left k Right k                     # keylock on both decks
sleep 3
measure "two decks at +7 %, keylock on "
# KORVEX_CPU_SHOT=FILE keeps a picture of the window at the end (both padlocks lit).
[ -n "${KORVEX_CPU_SHOT:-}" ] && import -window root "$KORVEX_CPU_SHOT"
exit 0
