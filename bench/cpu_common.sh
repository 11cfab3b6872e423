# Shared by bench/player_cpu.sh and bench/peer_cpu.sh (sourced): the two 5-minute MP3s both players play, made
# with ffmpeg on first use as the benchmarks do, and the CPU measurement.

make_mp3() {
  [ -f "$2" ] && return
  ffmpeg -hide_banner -loglevel error -y -f lavfi -i "anoisesrc=color=pink:amplitude=0.2:d=300" \
    -f lavfi -i "sine=f=$1:d=300" -filter_complex amix=inputs=2 -ac 2 -ar 44100 -c:a libmp3lame -b:a 192k "$2"
}
a=/tmp/korvex-bench-5min-220.mp3
b=/tmp/korvex-bench-5min-330.mp3
make_mp3 220 "$a"
make_mp3 330 "$b"

ticks=$(getconf CLK_TCK)
# CPU time of process $1 in clock ticks (user + system).
cputicks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
# % of one core process $1 uses over $seconds.
measure() {
  local before after
  before=$(cputicks "$1")
  sleep "$seconds"
  after=$(cputicks "$1")
  awk -v d=$((after - before)) -v t="$ticks" -v s="$seconds" 'BEGIN { printf "%.2f", 100 * d / t / s }'
}
median() { tr ' ' '\n' | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
