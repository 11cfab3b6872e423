// The resampler is shaped around its inner loop. Each output frame costs one pass over 2 * kHalfWidth
// taps: the kernel for the frame's fractional position is blended from two adjacent rows of a polyphase
// table into a small aligned array, then dotted with the interleaved input, left and right landing in
// alternate lanes of the same accumulators. Both loops have fixed trip counts and unit strides so the
// compiler vectorises them with plain SSE2; the table bank in use (about 16 KiB) stays in L1.
//
// Positions are computed in closed form from the block start rather than accumulated, so advance() gives
// the same end position bit for bit without stepping, and long blocks do not drift.

#include "platform/dsp/resampler.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <numbers>

#include "platform/audio/realtime.h"

namespace korvex::dsp {

namespace {

constexpr int kHalf = Resampler::kHalfWidth;
constexpr int kTapCount = 2 * kHalf;
// Kaiser shape: about 96 dB of stopband with a transition of roughly +-0.09 of the input rate around the
// cutoff at this width.
constexpr double kBeta = 10.0;

double besselI0(double x) {
    double sum = 1.0;
    double term = 1.0;
    const double q = x * x / 4.0;
    for (int k = 1; k < 500 && term > 1e-17 * sum; ++k) {
        term *= q / (static_cast<double>(k) * static_cast<double>(k));
        sum += term;
    }
    return sum;
}

// Windowed sinc at distance `d` input frames for a cutoff of `fc` cycles per input frame. The window is
// offset so it reaches exactly zero at the kernel's edges, keeping the kernel continuous as taps enter and
// leave the read window.
double kernelAt(double d, double fc, double i0Beta) {
    const double x = d / kHalf;
    if (std::abs(x) >= 1.0) return 0.0;
    const double window = (besselI0(kBeta * std::sqrt(1.0 - x * x)) - 1.0) / (i0Beta - 1.0);
    const double arg = 2.0 * std::numbers::pi * fc * d;
    const double sinc = d == 0.0 ? 1.0 : std::sin(arg) / arg;
    return 2.0 * fc * sinc * window;
}

// Slope of the increment across a block: incStart at frame 0, incEnd at the last frame.
inline double rampSlope(double incStart, double incEnd, std::size_t frames) {
    return frames > 1 ? (incEnd - incStart) / static_cast<double>(frames - 1) : 0.0;
}

// Read position of frame i of a block; i == frame count gives the position after the block.
inline double positionAt(double pos, double incStart, double slope, std::size_t i) {
    const double di = static_cast<double>(i);
    return pos + di * incStart + (di * (di - 1.0) * 0.5) * slope;
}

// One stereo output frame: `row` and the row after it bracket the fractional position, `t` in [0, 1)
// blends them, and `x` points at the first of the kTapCount interleaved input frames.
inline void renderFrame(const float* row, float t, const float* x, float* out) {
    alignas(16) float k[kTapCount];
    for (int j = 0; j < kTapCount; ++j) k[j] = row[j] + t * (row[kTapCount + j] - row[j]);
    float acc[8] = {};
    for (int j = 0; j < kTapCount; j += 4) {
        for (int u = 0; u < 4; ++u) {
            acc[2 * u] += x[2 * (j + u)] * k[j + u];
            acc[2 * u + 1] += x[2 * (j + u) + 1] * k[j + u];
        }
    }
    out[0] = (acc[0] + acc[4]) + (acc[2] + acc[6]);
    out[1] = (acc[1] + acc[5]) + (acc[3] + acc[7]);
}

}  // namespace

Resampler::Resampler() : table_(static_cast<std::size_t>(kBanks) * kRowsPerBank * kTaps) {
    audio::assertNotRealtime();
    const double i0Beta = besselI0(kBeta);
    double row[kTaps];
    float* dst = table_.data();
    for (int b = 0; b < kBanks; ++b) {
        const double fc = 0.5 * std::exp2(-static_cast<double>(b) / kBanksPerOctave);
        for (int r = 0; r < kRowsPerBank; ++r) {
            const double frac = static_cast<double>(r) / kPhases;
            double sum = 0.0;
            for (int j = 0; j < kTaps; ++j) {
                row[j] = kernelAt(j - (kHalfWidth - 1) - frac, fc, i0Beta);
                sum += row[j];
            }
            // Unit gain at DC for every phase, so a constant input comes out constant.
            for (int j = 0; j < kTaps; ++j) *dst++ = static_cast<float>(row[j] / sum);
        }
    }
}

int Resampler::bankFor(double inc) {
    if (!(inc > 1.0)) return 0;
    const double octaves = std::log2(std::min(inc, kMaxIncrement));
    const int bank = static_cast<int>(std::ceil(octaves * kBanksPerOctave - 1e-9));
    return std::clamp(bank, 0, kBanks - 1);
}

double Resampler::process_rt(const float* in, std::size_t inFrames, double pos, double incStart,
                             double incEnd, float* out, std::size_t outFrames) const {
    static_cast<void>(inFrames);
    const float* bank = table_.data() + static_cast<std::size_t>(bankFor(std::max(incStart, incEnd))) *
                                            kRowsPerBank * kTaps;
    const double slope = rampSlope(incStart, incEnd, outFrames);
    for (std::size_t i = 0; i < outFrames; ++i) {
        const double p = positionAt(pos, incStart, slope, i);
        // The contract keeps p >= kHalfWidth - 1, so truncation floors.
        const auto n = static_cast<std::ptrdiff_t>(p);
        assert(p >= 0.0 && n - kHalfWidth + 1 >= 0 &&
               n + kHalfWidth < static_cast<std::ptrdiff_t>(inFrames));
        const double phase = (p - static_cast<double>(n)) * kPhases;
        const int r = static_cast<int>(phase);
        const float t = static_cast<float>(phase - r);
        renderFrame(bank + static_cast<std::ptrdiff_t>(r) * kTaps, t, in + 2 * (n - kHalfWidth + 1),
                    out + 2 * i);
    }
    return positionAt(pos, incStart, slope, outFrames);
}

double Resampler::advance(double pos, double incStart, double incEnd, std::size_t outFrames) {
    return positionAt(pos, incStart, rampSlope(incStart, incEnd, outFrames), outFrames);
}

}  // namespace korvex::dsp
