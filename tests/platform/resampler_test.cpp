#include "platform/dsp/resampler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <numbers>
#include <utility>
#include <vector>

namespace {

using korvex::dsp::Resampler;

constexpr double kRate = 44100.0;
constexpr int kHalf = Resampler::kHalfWidth;

// Interleaved stereo sine of amplitude 0.5; the right channel is the cosine.
std::vector<float> stereoSine(double hz, std::size_t frames) {
    std::vector<float> v(frames * 2);
    const double w = 2.0 * std::numbers::pi * hz / kRate;
    for (std::size_t n = 0; n < frames; ++n) {
        v[2 * n] = static_cast<float>(0.5 * std::sin(w * static_cast<double>(n)));
        v[2 * n + 1] = static_cast<float>(0.5 * std::cos(w * static_cast<double>(n)));
    }
    return v;
}

// Start of the first block that render() reads.
constexpr double kStart = kHalf + 0.3;

// Renders 32 blocks of 256 frames at a fixed increment, chaining each block from the last one's end.
std::vector<float> render(const Resampler& r, const std::vector<float>& in, double inc) {
    std::vector<float> out(std::size_t{32} * 512);
    double pos = kStart;
    for (std::size_t b = 0; b < 32; ++b) {
        pos = r.process_rt(in.data(), in.size() / 2, pos, inc, inc, out.data() + 512 * b, 256);
    }
    return out;
}

TEST(Resampler, PassesSamplesThroughAtWholePositionsAndUnitIncrement) {
    const Resampler r;
    const std::vector<float> in = stereoSine(3000.0, 200);
    std::vector<float> out(200);
    EXPECT_EQ(r.process_rt(in.data(), 200, 40.0, 1.0, 1.0, out.data(), 100), 140.0);
    for (std::size_t i = 0; i < out.size(); ++i) EXPECT_NEAR(out[i], in[80 + i], 1e-6f) << i;
}

TEST(Resampler, MatchesTheIdealSineAtDjPitches) {
    // The reference phase assumes frame i is read at kStart + i * inc, so a wrong rate or a block that
    // resumes from the wrong position shows up as error, as does a poor kernel.
    const Resampler r;
    for (const double inc : {0.78, 1.07, 1.22}) {
        for (const auto& [hz, floorDb] : {std::pair{1000.0, 90.0}, std::pair{12000.0, 70.0}}) {
            const std::vector<float> out = render(r, stereoSine(hz, 12000), inc);
            const double w = 2.0 * std::numbers::pi * hz / kRate;
            double signal = 0.0;
            double error = 0.0;
            for (std::size_t i = 0; i < out.size() / 2; ++i) {
                const double pos = kStart + static_cast<double>(i) * inc;
                const double l = 0.5 * std::sin(w * pos);
                const double rt = 0.5 * std::cos(w * pos);
                signal += l * l + rt * rt;
                error += std::pow(out[2 * i] - l, 2) + std::pow(out[2 * i + 1] - rt, 2);
            }
            EXPECT_GE(10.0 * std::log10(signal / error), floorDb) << inc << " " << hz;
        }
    }
}

TEST(Resampler, AdvanceAgreesWithProcessAndWithTheGlideSum) {
    const Resampler r;
    const std::vector<float> in(8192, 0.0f);
    std::vector<float> out(2000);
    struct Case {
        double pos, incStart, incEnd;
        std::size_t frames;
    };
    // Positions are past the kernel's reach into the input's start.
    for (const Case c : {Case{kHalf + 4.5, 1.0, 1.0, 256}, Case{kHalf + 1.25, 0.8, 1.2, 1000},
                         Case{kHalf + 17.1, 2.5, 0.5, 97}, Case{kHalf - 0.1, 8.0, 8.0, 300},
                         Case{kHalf + 24.0, 1.07, 3.0, 1}, Case{kHalf + 24.0, 1.07, 3.0, 0}}) {
        const double end = Resampler::advance(c.pos, c.incStart, c.incEnd, c.frames);
        EXPECT_EQ(r.process_rt(in.data(), 4096, c.pos, c.incStart, c.incEnd, out.data(), c.frames), end);
        // inc_i = incStart + (incEnd - incStart) * i / frames, summed over the block's frames.
        const auto n = static_cast<double>(c.frames);
        const double sum = n * c.incStart + (c.incEnd - c.incStart) * (n - 1.0) / 2.0;
        EXPECT_NEAR(end, c.pos + (c.frames > 0 ? sum : 0.0), 1e-9);
    }
}

TEST(Resampler, ABlockSplitMidGlideRendersLikeTheWhole) {
    const Resampler r;
    const std::vector<float> in = stereoSine(5000.0, 1024);
    std::vector<float> whole(512);
    std::vector<float> split(512);
    // Slowing down, so every part keeps the same cutoff and only the stepping could differ.
    const double end = r.process_rt(in.data(), 1024, kHalf + 4.6, 1.0, 0.7, whole.data(), 256);
    const double mid = 1.0 + (0.7 - 1.0) * 100.0 / 256.0;
    const double joint = r.process_rt(in.data(), 1024, kHalf + 4.6, 1.0, mid, split.data(), 100);
    EXPECT_NEAR(r.process_rt(in.data(), 1024, joint, mid, 0.7, split.data() + 200, 156), end, 1e-9);
    for (std::size_t i = 0; i < whole.size(); ++i) EXPECT_NEAR(split[i], whole[i], 1e-6f) << i;
}

TEST(Resampler, ReadsOnlyItsWindowAndKeepsUnitGainAtDc) {
    const Resampler r;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (const auto& [incStart, incEnd] : {std::pair{0.05, 0.05}, std::pair{0.5, 0.5}, std::pair{1.07, 1.07},
                                           std::pair{2.5, 2.5}, std::pair{8.0, 8.0}, std::pair{0.9, 6.0}}) {
        const double pos = 8 + kHalf - 1 + 0.37;
        const double last = Resampler::advance(pos, incStart, incEnd, 256) - incEnd;
        const auto lo = static_cast<std::size_t>(std::floor(pos)) - kHalf + 1;
        const auto hi = static_cast<std::size_t>(std::floor(last)) + kHalf;
        std::vector<float> in(2 * (hi + 64), nan);
        for (std::size_t n = lo; n <= hi; ++n) in[2 * n] = in[2 * n + 1] = 0.25f;
        std::vector<float> out(512);
        r.process_rt(in.data(), hi + 1, pos, incStart, incEnd, out.data(), 256);
        for (const float v : out) ASSERT_NEAR(v, 0.25f, 1e-6f) << incStart << " " << incEnd;
    }
}

TEST(Resampler, LowersItsCutoffWhenSkippingFrames) {
    // At an increment of 2.5 a 19 kHz tone lies far above the output band and must not fold into it.
    const Resampler r;
    const std::vector<float> out = render(r, stereoSine(19000.0, 22000), 2.5);
    float peak = 0.0f;
    for (const float v : out) peak = std::max(peak, std::abs(v));
    EXPECT_LT(peak, 1e-3f);
}

}  // namespace
