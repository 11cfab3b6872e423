#!/usr/bin/env bash
# The load check: Korvex plays a set through a real-time PulseAudio null sink while the machine is kept busy,
# and at the same time `aplay` plays a mix of the same music twice more, each into a null sink of its own on
# the same server: once with its own buffer (500 ms) and once with Korvex's output latency. All three meet
# exactly the same load. The sinks' monitors are recorded and searched for gaps (runs of silence longer than
# 5 ms inside the music). The gaps aplay has at Korvex's latency are the sound server's share; Korvex's
# share is what it has beyond them.
#
# Korvex runs what a DJ's set runs (korvex-playcheck --continuous): two decks in continuous play with
# automatic crossfade through three MP3s each (every hand-over loads and decodes the next song), one
# effecter-mode sampler slot looping with Echo and Chorus, and the recorder recording the master mix to a
# file. The load repeats every minute, all at normal priority: eight busy loops, then four compilers, then
# disk writes with fsync beside two programs that allocate, fill and free 1 GB over and over; each a third
# of the minute.
#
#   bench/load_check.sh [BUILD_DIR] [--seconds N] [--latency MS]
#       defaults: build, 600 s (also KORVEX_LOAD_SECONDS), Korvex's default output latency
#       KORVEX_LOAD_KEEP=1 keeps the working folder (recordings, the players' output, the server's log)
#
# Prints one line for each player: gaps, the longest, the time lost, the music's length, the gaps by load
# phase; Korvex's line adds the sound output's underflow count and what else ran.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${KORVEX_LOAD_SECONDS:-600}
build=$here/build
latency=
while [ $# -gt 0 ]; do
  case $1 in
    --seconds) seconds=$2; shift 2 ;;
    --seconds=*) seconds=${1#--seconds=}; shift ;;
    --latency) latency=$2; shift 2 ;;
    --latency=*) latency=${1#--latency=}; shift ;;
    *) build=$1; shift ;;
  esac
done
build=$(cd "$build" && pwd)
playcheck=$build/tools/playcheck/korvex-playcheck
[ -n "$latency" ] || latency=$("$playcheck" --default-latency)
[ "$seconds" -ge 15 ] || { echo "load_check: --seconds must be 15 or more" >&2; exit 2; }
tool="$here/tests/tools/pulse-null-sink"
work=$(mktemp -d /tmp/korvex-load.XXXXXX)
loadpids=()
cleanup() {
  set +e
  [ ${#loadpids[@]} -gt 0 ] && kill "${loadpids[@]}" 2>/dev/null
  kill $(jobs -p) 2>/dev/null
  wait 2>/dev/null
  "$tool" stop "$work" >/dev/null 2>&1
  [ -n "${KORVEX_LOAD_KEEP:-}" ] && echo "load_check: kept $work" >&2 || rm -rf "$work"
}
trap cleanup EXIT

eval "$("$tool" start "$work")"
for sink in aplay_own aplay_same; do
  pactl load-module module-null-sink sink_name=$sink rate=44100 channels=2 norewinds=1 >/dev/null
done

# The music: three songs a deck (pink noise under a tone, 40 s each), a two-second loop for the sampler.
song=40
for i in 1 2 3 4 5 6; do
  ffmpeg -hide_banner -loglevel error -y -f lavfi -i "anoisesrc=color=pink:amplitude=0.15:d=$song" \
    -f lavfi -i "sine=f=$((110 * (i + 1))):d=$song" -filter_complex amix=inputs=2 -ac 2 -ar 44100 "$work/s$i.wav"
  ffmpeg -hide_banner -loglevel error -y -i "$work/s$i.wav" -c:a libmp3lame -b:a 192k "$work/s$i.mp3"
done
sox -n -r 44100 -c 2 -b 16 "$work/loop.wav" synth 2 square 220 tremolo 4 60 vol 0.15
# aplay's mix: the songs in the order the decks play them, one after the other, with the loop under them all.
songs=()
for _ in $(seq 0 $((seconds / (song * 6) + 1))); do
  songs+=("$work/s1.wav" "$work/s4.wav" "$work/s2.wav" "$work/s5.wav" "$work/s3.wav" "$work/s6.wav")
done
sox "${songs[@]}" "$work/songs.wav" trim 0 $((seconds + 10))
sox "$work/loop.wav" "$work/loops.wav" repeat $((seconds / 2 + 6)) trim 0 $((seconds + 10))
sox -m "$work/songs.wav" "$work/loops.wav" "$work/mix.wav"
printf '#include <bits/stdc++.h>\nint main() { std::map<std::string, std::vector<double>> m; return m.size(); }\n' \
  > "$work/heavy.cpp"

# The load, in phases of a third of a minute (of the run, when it is shorter), repeated to the end.
phase=$(( (seconds < 60 ? seconds : 60) / 3 ))
start_phase() {
  case $1 in
    0) for _ in 1 2 3 4 5 6 7 8; do (while :; do :; done) & loadpids+=($!); done ;;
    1) for _ in 1 2 3 4; do
         (while :; do g++ -std=c++20 -O2 -c "$work/heavy.cpp" -o /dev/null; done) & loadpids+=($!)
       done ;;
    2) for n in 1 2; do
         (while :; do dd if=/dev/zero of="$work/io$n" bs=1M count=512 conv=fsync status=none; rm -f "$work/io$n"; done) &
         loadpids+=($!)
         (while :; do python3 -c 'b = bytearray(1 << 30)
for i in range(0, len(b), 4096): b[i] = 1' ; done) & loadpids+=($!)
       done ;;
  esac
}
load() {
  local t=0 p=0
  while [ $t -lt "$seconds" ]; do
    start_phase $p
    sleep "$phase"
    kill "${loadpids[@]}" 2>/dev/null || true
    wait "${loadpids[@]}" 2>/dev/null || true
    loadpids=()
    t=$((t + phase)); p=$(((p + 1) % 3))
  done
}

# Records a sink's monitor; at real-time priority where allowed, so the measurement is not what the load
# starves.
record() {
  local rt=()
  chrt -f 3 true 2>/dev/null && rt=(chrt -f 3)
  timeout -s INT "$seconds" "${rt[@]}" parec --device="$1.monitor" --format=s16le --rate=44100 --channels=2 \
    --latency-msec=20 > "$2"
}

# Finds runs of silence longer than 5 ms between the first and the last sound of a raw 16-bit stereo
# recording; $2 is where the load began, in seconds after the recording did.
gaps() {
  python3 - "$1" "$2" "$phase" <<'PY'
import re, sys
data = open(sys.argv[1], 'rb').read()
offset, phase = float(sys.argv[2]), float(sys.argv[3])
data = data[:len(data) // 4 * 4]
# A sample is quiet at -2 .. 2: low byte 0..2 with high byte 0, or low byte 0xfe..0xff with high byte 0xff.
lo = bytes(1 if b <= 2 else 2 if b >= 0xfe else 8 for b in range(256))
hi = bytes(1 if b == 0 else 2 if b == 0xff else 4 for b in range(256))
def anded(a, b):
    return (int.from_bytes(a, 'little') & int.from_bytes(b, 'little')).to_bytes(len(a), 'little')
quiet = anded(data[0::2].translate(lo), data[1::2].translate(hi))       # one byte a sample, 0 when loud
frames = anded(quiet[0::2].translate(bytes([0, 1, 1] + [0] * 253)),
               quiet[1::2].translate(bytes([0, 1, 1] + [0] * 253)))    # one byte a frame, 1 when quiet
first, last = frames.find(b'\0'), frames.rfind(b'\0')
if first < 0:
    print("gaps=all-silent"); sys.exit()
runs = [m for m in re.finditer(rb'\x01{221,}', frames[first:last + 1])]
longest = max((m.end() - m.start() for m in runs), default=0)
lost = sum(m.end() - m.start() for m in runs)
by = [0, 0, 0]
for m in runs:
    t = (first + m.start()) / 44100 - offset
    if t >= 0: by[int(t // phase) % 3] += 1
print("gaps=%d longest_ms=%.1f lost_ms=%.1f music_s=%.1f by_phase=busy:%d,compilers:%d,io+memory:%d"
      % (len(runs), longest / 44.1, lost / 44.1, (last - first) / 44100, by[0], by[1], by[2]))
PY
}

PULSE_SINK=korvex_null "$playcheck" --continuous "$work/s1.mp3" "$work/s4.mp3" $((seconds + 4)) --audio-latency="$latency" \
  --a="$work/s2.mp3" --a="$work/s3.mp3" --b="$work/s5.mp3" --b="$work/s6.mp3" \
  --sample="$work/loop.wav" --record="$work/set.wav" > "$work/korvex.out" 2>&1 &
korvex=$!
PULSE_SINK=aplay_own timeout $((seconds + 4)) aplay -q -D default "$work/mix.wav" > "$work/aplay_own.out" 2>&1 &
PULSE_SINK=aplay_same timeout $((seconds + 4)) aplay -q -D default --buffer-time=$((latency * 1000)) "$work/mix.wav" \
  > "$work/aplay_same.out" 2>&1 &
sleep 2
recorders=()
for sink in korvex_null aplay_own aplay_same; do
  record $sink "$work/$sink.raw" & recorders+=($!)
done
sleep 0.5
load
wait "${recorders[@]}" || true
wait $korvex || { echo "load_check: korvex-playcheck failed:" >&2; cat "$work/korvex.out" >&2; exit 1; }
echo "korvex (${latency} ms): $(gaps "$work/korvex_null.raw" 0.5) $(tr '\n' ' ' < "$work/korvex.out")"
echo "aplay (500 ms): $(gaps "$work/aplay_own.raw" 0.5)"
echo "aplay (${latency} ms): $(gaps "$work/aplay_same.raw" 0.5)"
echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
