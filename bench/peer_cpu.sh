#!/usr/bin/env bash
# The peer's CPU, measured as bench/player_cpu.sh measures Korvex's: Mixxx (Debian's `mixxx` package, not
# installed by the project's scripts) through a real-time PulseAudio null sink of its own, at its own default
# audio settings, with fresh settings each run: no song, the same two 5-minute MP3s loaded and stopped (its
# analysis over), and both playing. Process CPU time, user + system, % of one core; medians of the runs.
#
#   bench/peer_cpu.sh [--seconds N] [--runs N]      defaults: 20 s, 3 runs
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=20
runs=3
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    *) echo "peer_cpu: unknown option $1" >&2; exit 2 ;;
  esac
done
command -v mixxx >/dev/null || { echo "peer_cpu: mixxx is not installed (apt-get install mixxx)" >&2; exit 3; }
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1920x1080x24" "$0" --seconds "$seconds" --runs "$runs"
fi

source "$here/bench/cpu_common.sh"

tool="$here/tests/tools/pulse-null-sink"
work=$(mktemp -d /tmp/korvex-peer-cpu.XXXXXX)
pid=
cleanup() {
  set +e
  [ -n "$pid" ] && kill -TERM "$pid" 2>/dev/null && sleep 3 && kill -KILL "$pid" 2>/dev/null
  "$tool" stop "$work" >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
eval "$("$tool" start "$work")"

# Starts a fresh Mixxx with the songs given; sets pid. Mixxx puts the first song named on its command line into
# deck 2 and lists both in its library; a double click on the second row puts that one into deck 1.
start() {
  run=$work/mixxx.$RANDOM
  mkdir -p "$run/home/Music"
  HOME=$run/home XDG_CONFIG_HOME=$run/home/.config XDG_DATA_HOME=$run/home/.local/share \
    mixxx --settingsPath "$run/settings" "$@" > "$run/mixxx.log" 2>&1 &
  pid=$!
  sleep 20
  xdotool key Return                             # the first start's question for the music folder: ~/Music
  sleep 8
  if [ $# -gt 1 ]; then
    xdotool mousemove 356 480 click --repeat 2 --delay 80 1
    sleep 1
    xdotool key Escape
  fi
}
stop() {
  kill -TERM "$pid" 2>/dev/null || true
  for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  pid=
}

none=(); stopped=(); playing=()
for r in $(seq 1 "$runs"); do
  start
  none+=("$(measure "$pid")")
  stop

  start "$a" "$b"
  sleep 45                                       # its analysis of the two songs (beats, key, waveform)
  stopped+=("$(measure "$pid")")
  xdotool key d; sleep 0.3; xdotool key l        # play decks 1 and 2 (its default keyboard mapping)
  sleep 4
  playing+=("$(measure "$pid")")
  [ -n "${PEER_SCREENSHOT:-}" ] && import -window root "$PEER_SCREENSHOT"
  stop
  echo "run $r: no song ${none[-1]} %, loaded and stopped ${stopped[-1]} %, two playing ${playing[-1]} %" >&2
done
echo "Mixxx: no song: $(echo "${none[@]}" | median) % · loaded, stopped: $(echo "${stopped[@]}" | median) % ·" \
  "two playing: $(echo "${playing[@]}" | median) % (% of one core, medians of $runs runs of ${seconds} s)"
