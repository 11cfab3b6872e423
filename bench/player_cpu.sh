#!/usr/bin/env bash
# The whole player's CPU in four states, through a real-time PulseAudio null sink as on a desktop: no song at
# all, both decks loaded and stopped, both decks playing, and (with --keylock) both playing with keylock. Each
# state is measured for SECONDS (process CPU time, user + system, as % of one core), RUNS times, and the median
# printed. Starts Korvex under xvfb-run when there is no display, with fresh settings each run; the clicks are at
# the standard skin's places. The MP3s are made with ffmpeg on first use, as the benchmarks do.
#
#   bench/player_cpu.sh [--build DIR] [--seconds N] [--runs N] [--latency MS] [--keylock]
#       defaults: build, 60 s, 3 runs, the player's own default latency
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$here/build
seconds=60
runs=3
latency=
keylock=
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --latency) latency=$2; shift 2 ;;
    --keylock) keylock=1; shift ;;
    *) echo "player_cpu: unknown option $1" >&2; exit 2 ;;
  esac
done
build=$(cd "$build" && pwd)

if [ -z "${DISPLAY:-}" ]; then
  args=(--build "$build" --seconds "$seconds" --runs "$runs")
  [ -n "$latency" ] && args+=(--latency "$latency")
  [ -n "$keylock" ] && args+=(--keylock)
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "${args[@]}"
fi

source "$here/bench/cpu_common.sh"

tool="$here/tests/tools/pulse-null-sink"
work=$(mktemp -d /tmp/korvex-cpu.XXXXXX)
pid=
cleanup() {
  set +e
  [ -n "$pid" ] && kill -TERM "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  "$tool" stop "$work" >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
eval "$("$tool" start "$work")"


# Starts a fresh player with the songs given; sets pid.
start() {
  run=$work/player.$RANDOM
  mkdir -p "$run/rt" && chmod 700 "$run/rt"
  local opts=()
  [ -n "$latency" ] && opts+=(--audio-latency="$latency")
  XDG_CONFIG_HOME=$run/config XDG_DATA_HOME=$run/data XDG_CACHE_HOME=$run/cache \
    "$build/korvex" "${opts[@]}" "$@" > "$run/korvex.log" 2>&1 &
  pid=$!
  sleep 6
  xdotool mousemove 400 262 click 1            # the first-start message
  sleep 2
}
stop() {
  kill -TERM "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  pid=
}

none=(); stopped=(); playing=(); locked=()
for r in $(seq 1 "$runs"); do
  start
  sleep 4
  none+=("$(measure "$pid")")
  stop

  start "$a" "$b"
  xdotool mousemove 100 463 click 1; sleep 0.5   # the second song of list A ...
  xdotool mousemove 355 482 click 1; sleep 1     # ... goes to list B (the "→ B" button)
  xdotool mousemove 560 445 click --repeat 2 1   # a double click loads it into deck B
  sleep 2
  xdotool mousemove 100 445 click --repeat 2 1   # and the first song into deck A
  # The songs' analysis (about a second of CPU each, at low priority) is a one-off cost: wait until both are in
  # the cache, so that what is measured is the steady state.
  for _ in $(seq 1 240); do
    [ "$(ls "$run/data/korvex/analysis" 2>/dev/null | wc -l)" -ge 2 ] && break
    sleep 0.5
  done
  sleep 2
  stopped+=("$(measure "$pid")")
  xdotool mousemove 154 201 click 1; sleep 0.3   # Play A
  xdotool mousemove 571 201 click 1              # Play B
  sleep 4
  playing+=("$(measure "$pid")")
  if [ -n "$keylock" ]; then
    xdotool key Left k Right k                   # keylock on both decks
    sleep 4
    locked+=("$(measure "$pid")")
  fi
  stop
  echo "run $r: no song ${none[-1]} %, loaded and stopped ${stopped[-1]} %, two playing ${playing[-1]} %${keylock:+, two keylocked ${locked[-1]} %}" >&2
done
echo "no song: $(echo "${none[@]}" | median) % · loaded, stopped: $(echo "${stopped[@]}" | median) % ·" \
  "two playing: $(echo "${playing[@]}" | median) %${keylock:+ · two keylocked: $(echo "${locked[@]}" | median) %}" \
  "(% of one core, medians of $runs runs of ${seconds} s)"
