// The resampler is shaped around its inner loop, which costs one pass over 2 * kHalfWidth taps per
// output frame. Work goes in chunks of frames, in two passes. The first turns each frame's read position
// into an input offset, a table row and a blend weight; it has no dependencies between frames, so the
// slow double-to-integer conversions overlap instead of delaying the loads of the second pass. The second
// blends the kernel from two adjacent table rows and dots it with the interleaved input: each group of
// four taps is duplicated pairwise (k0 k0 k1 k1 ...) so it lines up with four frames of L R input and no
// deinterleaving is needed, and the products are summed as a tree to keep the dependency chains short.
// That loop is written with the GCC/Clang vector extension, which lowers to plain SSE2 on x86-64 and to
// NEON on ARM; the compiler does not find this shape on its own from scalar loops.
//
// Positions come from one closed-form formula shared with advance(), applied to the offset from the
// block's starting frame, so long blocks do not drift and the fractional phase keeps full precision far
// into a track.

#include "platform/dsp/resampler.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <numbers>

#include "platform/audio/realtime.h"

namespace korvex::dsp {

namespace {

constexpr int kHalf = Resampler::kHalfWidth;
constexpr int kTapCount = 2 * kHalf;
static_assert(kTapCount % 4 == 0, "the dot product works in groups of four taps");
// Kaiser shape: about 96 dB of stopband, with the passband flat to within 0.02 dB up to about 0.08 of
// the input rate below the cutoff at this width.
constexpr double kBeta = 10.0;
// Output frames per chunk of the two-pass loop.
constexpr int kChunk = 64;

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
// lowered so it reaches exactly zero at the kernel's edges, keeping the kernel continuous as taps enter and
// leave the read window.
double kernelAt(double d, double fc, double i0Beta) {
    const double x = d / kHalf;
    if (std::abs(x) >= 1.0) return 0.0;
    const double window = (besselI0(kBeta * std::sqrt(1.0 - x * x)) - 1.0) / (i0Beta - 1.0);
    const double arg = 2.0 * std::numbers::pi * fc * d;
    const double sinc = d == 0.0 ? 1.0 : std::sin(arg) / arg;
    return 2.0 * fc * sinc * window;
}

// Change of the increment per frame: incStart at frame 0, incEnd at the frame after the block.
inline double rampSlope(double incStart, double incEnd, std::size_t frames) {
    return frames > 0 ? (incEnd - incStart) / static_cast<double>(frames) : 0.0;
}

// `offset` plus the distance frame i of a block reads past frame 0 (i is a whole number held as a
// double, which lets the per-frame loop vectorise).
inline double stepFrom(double offset, double incStart, double slope, double i) {
    return offset + i * incStart + (i * (i - 1.0) * 0.5) * slope;
}

// The read position of frame i of a block starting at `pos`; i == frame count gives the position after it.
inline double positionAt(double pos, double incStart, double slope, std::size_t i) {
    const double base = std::floor(pos);
    return base + stepFrom(pos - base, incStart, slope, static_cast<double>(i));
}

using Float4 = float __attribute__((vector_size(16)));
using Float8 = float __attribute__((vector_size(32)));

inline Float4 load4(const float* p) {
    Float4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// On x86-64 the frame loop is built twice, for plain SSE2 and for processors with AVX2 and FMA (most since
// 2013), and the loader picks one when the program starts. The eight-lane vectors below are two SSE2
// registers in the first build and one AVX register in the second.
#if defined(__x86_64__) && defined(__GNUC__)
#define KORVEX_RESAMPLER_CLONES __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define KORVEX_RESAMPLER_CLONES
#endif

// One stereo output frame: `row` and the row after it bracket the fractional position, `t` in [0, 1)
// blends them, and `x` points at the first of the kTapCount interleaved input frames.
inline __attribute__((always_inline)) void renderFrame(const float* row, float t, const float* x,
                                                       float* out) {
    const float s = 1.0f - t;
    Float8 sums[kTapCount / 4];
    for (std::ptrdiff_t j = 0; j < kTapCount; j += 4) {
        const Float4 k = s * load4(row + j) + t * load4(row + kTapCount + j);
        Float8 input;
        std::memcpy(&input, x + 2 * j, sizeof input);
        sums[j / 4] = input * __builtin_shufflevector(k, k, 0, 0, 1, 1, 2, 2, 3, 3);
    }
    for (int n = kTapCount / 4; n > 1; n /= 2) {
        for (int j = 0; j < n / 2; ++j) sums[j] += sums[j + n / 2];
        if (n % 2 != 0) sums[0] += sums[n - 1];
    }
    // Lanes hold L R L R L R L R; fold them onto the first pair.
    const Float4 half = __builtin_shufflevector(sums[0], sums[0], 0, 1, 2, 3) +
                        __builtin_shufflevector(sums[0], sums[0], 4, 5, 6, 7);
    const Float4 lr = half + __builtin_shufflevector(half, half, 2, 3, 2, 3);
    out[0] = lr[0];
    out[1] = lr[1];
}

// The second pass over one chunk of frames.
KORVEX_RESAMPLER_CLONES
void renderChunk(const float* bank, const std::int32_t* rowStart, const double* blend, const float* in,
                 const std::int32_t* frame, int count, float* dst) {
    for (std::ptrdiff_t i = 0; i < count; ++i)
        renderFrame(bank + rowStart[i], static_cast<float>(blend[i]), in + 2 * frame[i], dst + 2 * i);
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
    // The small allowance keeps an increment of exactly 2^(b / kBanksPerOctave) in bank b.
    const int bank = static_cast<int>(std::ceil(octaves * kBanksPerOctave - 1e-9));
    return std::clamp(bank, 0, kBanks - 1);
}

double Resampler::process_rt(const float* in, std::size_t inFrames, double pos, double incStart,
                             double incEnd, float* out, std::size_t outFrames) const {
    static_cast<void>(inFrames);
    const float* bank =
        table_.data() + static_cast<std::size_t>(bankFor(std::max(incStart, incEnd))) * kRowsPerBank * kTaps;
    const double slope = rampSlope(incStart, incEnd, outFrames);
    const double base = std::floor(pos);
    const double offset = pos - base;
    // Frame 0 of the block's first tap window.
    const auto origin = static_cast<std::ptrdiff_t>(base) - (kHalfWidth - 1);

    // Per chunk: frame offset from `origin`, start of the lower table row, and the blend between rows.
    // Doubles and 32-bit integers only, so the first pass vectorises with SSE2.
    alignas(16) std::int32_t frame[kChunk];
    alignas(16) std::int32_t rowStart[kChunk];
    alignas(16) double blend[kChunk];
    for (std::size_t done = 0; done < outFrames; done += kChunk) {
        const int count = static_cast<int>(std::min<std::size_t>(kChunk, outFrames - done));
        const auto first = static_cast<double>(done);
        for (int i = 0; i < count; ++i) {
            // Non-negative for positive increments, so truncation floors.
            const double rel = stepFrom(offset, incStart, slope, first + i);
            const auto whole = static_cast<std::int32_t>(rel);
            const double phase = (rel - whole) * kPhases;
            const auto r = static_cast<std::int32_t>(phase);
            frame[i] = whole;
            rowStart[i] = r * kTaps;
            blend[i] = phase - r;
            assert(rel >= 0.0 && origin + whole >= 0 &&
                   origin + whole + kTaps <= static_cast<std::ptrdiff_t>(inFrames));
        }
        renderChunk(bank, rowStart, blend, in + 2 * origin, frame, count, out + 2 * done);
    }
    return positionAt(pos, incStart, slope, outFrames);
}

double Resampler::advance(double pos, double incStart, double incEnd, std::size_t outFrames) {
    return positionAt(pos, incStart, rampSlope(incStart, incEnd, outFrames), outFrames);
}

}  // namespace korvex::dsp
