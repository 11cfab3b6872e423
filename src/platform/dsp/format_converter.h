#pragma once
// Turns the float stereo frames of a capture into the samples of a recording format: rate (band-limited
// resampling through the engine's resampler), channels (mono is the mean of left and right) and width
// (16-bit, or 8-bit held as a 16-bit value whose low byte is zero, which libsndfile writes as unsigned
// 8-bit exactly). At equal rates nothing is interpolated, so a 16-bit recording of the mix holds the mix's
// samples rounded to 16 bits.
//
// Runs on the recorder's writer thread. Allocates only while its buffers grow to the largest chunk seen.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/dsp/resampler.h"

namespace korvex::dsp {

// One float sample in -1 .. 1 as a 16-bit value (clipped), and as an 8-bit value placed in the high byte.
std::int16_t toPcm16(float sample);
std::int16_t toPcm8(float sample);

class FormatConverter {
public:
    // `inRate`: the capture's rate; `outRate`, `channels` (1 or 2), `bits` (8 or 16): the recording's.
    FormatConverter(int inRate, int outRate, int channels, int bits);

    // Converts `count` stereo frames and appends the samples (interleaved when stereo) to `out`.
    void push(const float* frames, std::size_t count, std::vector<std::int16_t>& out);
    // Appends the frames still held back for the resampler's look-ahead; the converter starts afresh.
    void flush(std::vector<std::int16_t>& out);

private:
    void emit(const float* stereo, std::size_t frames, std::vector<std::int16_t>& out) const;
    void resample(std::size_t outFrames, std::vector<std::int16_t>& out);

    int channels_;
    int bits_;
    bool direct_;
    double increment_;
    Resampler resampler_;
    // Input frames not yet consumed, with the kernel's context in front of the read position.
    std::vector<float> history_;
    double pos_ = 0.0;
    // Total input frames pushed since the last flush, and output frames produced.
    std::uint64_t inTotal_ = 0;
    std::uint64_t outTotal_ = 0;
    std::vector<float> scratch_;
};

}  // namespace korvex::dsp
