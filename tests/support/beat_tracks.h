#pragma once
// Music with beats at known places, made on the spot for the analysis tests and benchmarks.

#include <vector>

namespace korvex::test {

// Interleaved stereo: a click (a short tone burst over a low thump) on every beat from `firstBeat` on,
// the first of every bar louder. `clickHz` is the burst's tone.
std::vector<float> clickTrack(double bpm, double seconds, double firstBeat = 0.0, int rate = 44100,
                              double clickHz = 1500.0);

// Interleaved stereo, more like music: kick on every beat, snare on 2 and 4, swung hi-hats on the eighths,
// a bass line and a chord pad; `seed` varies the parts.
std::vector<float> drumGroove(double bpm, double seconds, double firstBeat, unsigned seed, int rate = 44100);

}  // namespace korvex::test
