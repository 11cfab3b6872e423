#pragma once
// Test signals and measurements: generated tones, WAVE fixtures, frequency and level estimates.

#include <cstddef>
#include <string>
#include <vector>

namespace korvex::test {

// Interleaved stereo sine of `seconds` at `freq` Hz and `amplitude`, at `rate`.
std::vector<float> sine(double freq, double seconds, int rate = 44100, float amplitude = 0.5f);
// Writes interleaved stereo float samples as a 16-bit PCM WAVE file.
void writeWav16(const std::string& path, const std::vector<float>& stereo, int rate = 44100);
// Reads a sound file (any format libsndfile knows) as interleaved stereo float; `rate` receives its rate.
std::vector<float> readSound(const std::string& path, int* rate = nullptr);
// One channel (0 left, 1 right) of frames [first, first + count).
std::vector<float> channel(const std::vector<float>& stereo, int which, std::size_t first = 0,
                           std::size_t count = static_cast<std::size_t>(-1));
// Frequency from rising zero crossings, with sub-sample interpolation.
double zeroCrossingFrequency(const std::vector<float>& mono, int rate);
// Root mean square level.
double rms(const std::vector<float>& mono);
// Level of `freq` in `mono` by a Goertzel filter (amplitude of the sinusoid).
double goertzel(const std::vector<float>& mono, double freq, int rate);
// Largest absolute difference between neighbouring samples.
double maxStep(const std::vector<float>& mono);
// A fresh temporary folder for one test.
std::string tempDir();

}  // namespace korvex::test
