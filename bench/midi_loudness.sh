#!/usr/bin/env bash
# MIDI songs never clip and play as loud as other music: renders every MIDI file of a set through
# korvex-render (the deck engine at full volume), counts the samples at full scale and measures each
# song's integrated loudness (EBU R 128, the ffmpeg command's ebur128 filter). The MP3 fixtures of the
# tests and benchmarks are measured the same way, as the level MIDI songs are compared with.
#
#   bench/midi_loudness.sh [BUILD_DIR] [MIDI_FILE...]
#
# Without MIDI files it takes the 31 songs of Debian's openttd-openmsx package, installing it when it is
# missing (apt-get, as root or through sudo). Prints one line per file and a summary; exits 1 when any
# sample clipped or the mean MIDI loudness is more than 3 LU from the MP3 fixtures' mean.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build="${1:-$here/build}"
[ $# -gt 0 ] && shift
render="$build/tools/render/korvex-render"
[ -x "$render" ] || { echo "no $render: build first" >&2; exit 2; }
command -v ffmpeg > /dev/null || { echo "the ffmpeg command is needed" >&2; exit 2; }

midis=("$@")
if [ ${#midis[@]} -eq 0 ]; then
  set_dir=/usr/share/games/openttd/baseset/openmsx
  if ! ls "$set_dir"/*.mid > /dev/null 2>&1; then
    sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get install -y --no-install-recommends openttd-openmsx > /dev/null
  fi
  midis=("$set_dir"/*.mid)
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The MP3 fixtures: the tests' tone and the benchmarks' noise and tone (made as decode_bench.cpp makes it).
mp3s=("$here/tests/data/tone440.mp3" "$work/noise-and-tone.mp3")
ffmpeg -hide_banner -loglevel error -y -f lavfi -i "anoisesrc=color=pink:amplitude=0.2:d=60" \
  -f lavfi -i "sine=f=220:d=60" -filter_complex amix=inputs=2 -ac 2 -ar 44100 -c:a libmp3lame -b:a 192k \
  "$work/noise-and-tone.mp3"

# "clipped peak_dbfs" of a 32-bit float WAVE file.
clip_and_peak() {
  python3 - "$1" <<'PY'
import math, struct, sys
from array import array
data = open(sys.argv[1], 'rb').read()
pos = 12
while pos + 8 <= len(data):
    tag, size = data[pos:pos + 4], struct.unpack('<I', data[pos + 4:pos + 8])[0]
    if tag == b'data':
        break
    pos += 8 + size + (size & 1)
samples = array('f')
body = data[pos + 8:pos + 8 + size]
samples.frombytes(body[:len(body) // 4 * 4])
full = 32767 / 32768
clipped = sum(1 for v in samples if abs(v) >= full)
peak = max((abs(v) for v in samples), default=0.0)
print(clipped, len(samples), '%.2f' % (20 * math.log10(peak) if peak > 0 else -120.0))
PY
}

loudness() {
  ffmpeg -hide_banner -nostats -i "$1" -af ebur128 -f null - 2>&1 |
    awk '/Integrated loudness/ {getline; print $2}' | tail -1
}

measure() {  # file kind
  local out="$work/out.wav"
  "$render" "$1" "$out" > /dev/null
  read -r clipped samples peak < <(clip_and_peak "$out")
  local lufs
  lufs=$(loudness "$out")
  printf '%-4s %-40s clipped %6d of %9d  peak %7s dBFS  loudness %6s LUFS\n' "$2" "$(basename "$1")" \
    "$clipped" "$samples" "$peak" "$lufs"
}

results="$work/results.txt"
for f in "${mp3s[@]}"; do measure "$f" mp3 | tee -a "$results"; done
for f in "${midis[@]}"; do measure "$f" midi | tee -a "$results"; done

awk '
  { kind = $1; clipped = $4; lufs = $(NF - 1) }
  kind == "midi" { n++; sum += lufs; if (clipped > 0) bad++; total += clipped
                   if (n == 1 || lufs < lo) lo = lufs; if (n == 1 || lufs > hi) hi = lufs }
  kind == "mp3" { m++; ref += lufs }
  END {
    mean = sum / n; reference = ref / m
    printf "MIDI files: %d, with clipped samples: %d (%d samples); loudness %.1f .. %.1f, mean %.1f LUFS\n", n, bad, total, lo, hi, mean
    printf "MP3 fixtures: mean %.1f LUFS; MIDI mean - MP3 mean = %+.1f LU\n", reference, mean - reference
    d = mean - reference; if (d < 0) d = -d
    exit (bad > 0 || d > 3) ? 1 : 0
  }' "$results"
