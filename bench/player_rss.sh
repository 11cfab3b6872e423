#!/usr/bin/env bash
# The whole player's memory with two 60-minute MP3s playing, one in each deck: starts Korvex (under xvfb-run when
# there is no display) with fresh settings and the null output, dismisses the first-start message, hands the
# second song to list B, loads it into deck B, presses both Play buttons and prints the resident size every 30 s.
# The clicks are at the standard skin's places. The MP3s are made with ffmpeg on first use, as the benchmarks do.
#
#   bench/player_rss.sh [BUILD_DIR] [SECONDS]        (defaults: build, 420)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
seconds=${2:-420}

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

work=$(mktemp -d /tmp/korvex-rss.XXXXXX)
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
xdotool mousemove 571 201 click 1              # Play B
peak=0
for t in $(seq 30 30 "$seconds"); do
  sleep 30
  rss=$(awk '/^VmRSS/ { print $2 }' "/proc/$pid/status")
  [ "$rss" -gt "$peak" ] && peak=$rss
  echo "t=${t}s rss=$((rss / 1024)) MiB"
done
echo "peak rss=$((peak / 1024)) MiB ($(awk '/^VmHWM/ { print int($2 / 1024) }' "/proc/$pid/status") MiB high-water mark)"
