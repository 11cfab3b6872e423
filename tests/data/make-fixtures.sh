#!/usr/bin/env bash
# Regenerates the small audio fixtures the engine tests open (needs the ffmpeg command and python3).
# The files are committed; run this only to change them.
set -euo pipefail
cd "$(dirname "$0")"
ff() { ffmpeg -hide_banner -loglevel error -y "$@"; }
# 2 s of 440 Hz at half scale, in each format a deck opens.
ff -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=2" -af "volume=0.5" -ac 2 -c:a libmp3lame -b:a 128k tone440.mp3
ff -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=2" -af "volume=0.5" -ac 2 -c:a wmav2 -b:a 128k tone440.wma
ff -f lavfi -i "color=c=black:s=64x48:r=25:d=2" -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=2" \
   -af "volume=0.5" -ac 2 -c:v mpeg1video -b:v 100k -c:a mp2 -b:a 128k -shortest -f mpeg tone440.mpg
ff -f lavfi -i "sine=frequency=440:sample_rate=22050:duration=2" -af "volume=0.5" -ac 1 -c:a pcm_s16le tone440_mono22k.wav
# 10 s of 660 Hz, cut to its first 60 % (an interrupted download).
ff -f lavfi -i "sine=frequency=660:sample_rate=44100:duration=10" -af "volume=0.5" -ac 2 -c:a libmp3lame -b:a 128k /tmp/korvex-full.mp3
head -c $(( $(stat -c %s /tmp/korvex-full.mp3) * 6 / 10 )) /tmp/korvex-full.mp3 > truncated660.mp3
rm -f /tmp/korvex-full.mp3
# A two-second MIDI file at 120 bpm: A4 (440 Hz) on an organ for the first second.
python3 - <<'PY'
import struct
def var(n):
    out = [n & 0x7F]; n >>= 7
    while n: out.insert(0, (n & 0x7F) | 0x80); n >>= 7
    return bytes(out)
ev = b''
ev += var(0) + bytes([0xFF, 0x51, 3]) + (500000).to_bytes(3, 'big')
ev += var(0) + bytes([0xC0, 79])          # ocarina: nearly a pure tone
ev += var(0) + bytes([0x90, 69, 100])     # A4 on
ev += var(960) + bytes([0x80, 69, 0])     # off after 2 beats (1 s)
ev += var(960) + bytes([0xFF, 0x2F, 0])
trk = b'MTrk' + struct.pack('>I', len(ev)) + ev
hdr = b'MThd' + struct.pack('>IHHH', 6, 0, 1, 480)
open('tone440.mid', 'wb').write(hdr + trk)
PY
printf 'This is not music, only text with a music file name.\n' > text.mp3
: > empty.mp3
head -c 65536 /dev/urandom > random.mp3
