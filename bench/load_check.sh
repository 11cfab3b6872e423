#!/usr/bin/env bash
# The load check: two decks play through a real-time PulseAudio null sink for 60 s while the machine is
# made busy at normal priority (eight busy loops for 30 s, then four compilers for 30 s). The sink's
# monitor is recorded and searched for gaps (runs of silence longer than 5 ms inside the music); the
# output's underflow count is printed. The same is then done with `aplay` playing the same mix, for
# comparison.
#
#   bench/load_check.sh [BUILD_DIR]        (default: build)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
tool="$here/tests/tools/pulse-null-sink"
work=$(mktemp -d /tmp/korvex-load.XXXXXX)
seconds=60
trap '"$tool" stop "$work" >/dev/null 2>&1 || true; kill $(jobs -p) 2>/dev/null || true' EXIT

eval "$("$tool" start "$work")"
sox -n -r 44100 -c 2 -b 16 "$work/a.wav" synth $((seconds + 15)) sine 440 vol 0.3
sox -n -r 44100 -c 2 -b 16 "$work/b.wav" synth $((seconds + 15)) sine 660 vol 0.3
sox -m "$work/a.wav" "$work/b.wav" "$work/mix.wav"
printf '#include <bits/stdc++.h>\nint main() { std::map<std::string, std::vector<double>> m; return m.size(); }\n' \
  > "$work/heavy.cpp"

# Busy loops, then compilers, all at normal priority.
load() {
  local pids=()
  for _ in 1 2 3 4 5 6 7 8; do (while :; do :; done) & pids+=($!); done
  sleep $((seconds / 2)); kill "${pids[@]}"; pids=()
  for _ in 1 2 3 4; do
    (while :; do g++ -std=c++20 -O2 -c "$work/heavy.cpp" -o /dev/null; done) & pids+=($!)
  done
  sleep $((seconds / 2)); kill "${pids[@]}"; wait "${pids[@]}" 2>/dev/null || true
}

# Finds runs of silence longer than 5 ms between the first and the last sound of a recording.
gaps() {
  python3 - "$1" <<'PY'
import sys, wave, array
w = wave.open(sys.argv[1])
data = array.array('h', w.readframes(w.getnframes()))
frames = len(data) // 2
quiet = [abs(data[2 * i]) <= 2 and abs(data[2 * i + 1]) <= 2 for i in range(frames)]
loud = [i for i in range(frames) if not quiet[i]]
if not loud:
    print("gaps=all silent"); sys.exit()
first, last = loud[0], loud[-1]
runs, run, longest, lost = 0, 0, 0, 0
for i in range(first, last + 1):
    if quiet[i]:
        run += 1
        continue
    if run > 220:
        runs += 1; lost += run; longest = max(longest, run)
    run = 0
print("gaps=%d longest_ms=%.1f lost_ms=%.1f music_s=%.1f" % (runs, longest / 44.1, lost / 44.1, (last - first) / 44100))
PY
}

measure() {
  local name=$1; shift
  "$@" > "$work/$name.out" 2>&1 &
  local player=$!
  sleep 2
  "$tool" record "$work" "$work/$name.wav" "$seconds" &
  local recorder=$!
  load
  wait "$recorder"
  wait "$player" || true
  echo "$name: $(gaps "$work/$name.wav") $(grep -o 'underflows=[0-9]*' "$work/$name.out" || true)"
}

measure korvex "$build/tools/playcheck/korvex-playcheck" "$work/a.wav" "$work/b.wav" $((seconds + 4))
measure aplay timeout $((seconds + 4)) aplay -q -D default "$work/mix.wav"
