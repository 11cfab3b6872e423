// The MIDI synthesiser's limiter: nothing gets past its ceiling, quiet material passes untouched, the gain
// moves in ramps and comes back slowly, and blocks of any size give the same samples.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "platform/dsp/peak_limiter.h"

namespace korvex::test {
namespace {

using dsp::PeakLimiter;
constexpr int kRate = 44100;

std::vector<float> run(PeakLimiter& limiter, const std::vector<float>& in) {
    std::vector<float> out(in.size());
    limiter.process(in.data(), out.data(), in.size() / 2);
    return out;
}

TEST(PeakLimiter, QuietMaterialComesOutUntouchedOnlyLater) {
    PeakLimiter limiter(kRate);
    EXPECT_EQ(limiter.latency(), 220) << "5 ms of look-ahead";
    std::vector<float> in(2 * kRate);
    for (std::size_t i = 0; i < in.size(); ++i)
        in[i] = 0.94f * static_cast<float>(std::sin(0.05 * static_cast<double>(i)));
    const std::vector<float> out = run(limiter, in);
    const auto delay = static_cast<std::size_t>(2 * limiter.latency());
    for (std::size_t i = 0; i < delay; ++i) ASSERT_EQ(out[i], 0.0f) << i;
    for (std::size_t i = delay; i < out.size(); ++i) ASSERT_EQ(out[i], in[i - delay]) << i;
}

TEST(PeakLimiter, PeaksStayUnderTheCeilingAndTheGainRampsDownAndRecoversSlowly) {
    PeakLimiter limiter(kRate);
    // A steady level with a burst eight times too loud in one channel, then a single sample spike.
    std::vector<float> in(2 * 3 * kRate, 0.5f);
    for (std::size_t f = kRate; f < kRate + 2000; ++f) in[2 * f] = -4.0f;
    in[2 * (2 * kRate)] = 20.0f;
    const std::vector<float> out = run(limiter, in);
    const auto lag = static_cast<std::size_t>(limiter.latency());

    float top = 0.0f;
    for (const float v : out) top = std::max(top, std::abs(v));
    EXPECT_LE(top, PeakLimiter::kCeiling);
    EXPECT_GT(top, 0.93f) << "the burst is held at the ceiling, not far below it";

    // The right channel carries the steady level throughout: out / in is the gain applied.
    double largestStep = 0.0;
    for (std::size_t f = lag + 1; f < out.size() / 2; ++f)
        largestStep =
            std::max(largestStep, std::abs(static_cast<double>(out[2 * f + 1] - out[2 * f - 1])) / 0.5);
    EXPECT_LE(largestStep, 1.0 / (lag + 1) + 1e-6)
        << "no hard edge: each change is spread over the look-ahead";
    auto gainAt = [&](std::size_t frame) { return out[2 * (frame + lag) + 1] / 0.5f; };
    // Both channels get that one gain: the burst is turned down, never cut off flat.
    for (std::size_t f = 0; f + lag < out.size() / 2; ++f)
        ASSERT_NEAR(out[2 * (f + lag)], in[2 * f] * gainAt(f), 1e-5) << f;
    EXPECT_EQ(gainAt(kRate - lag - 2), 1.0f) << "untouched before the look-ahead reaches the burst";
    EXPECT_NEAR(gainAt(kRate + 1000), PeakLimiter::kCeiling / 4.0f, 1e-4);
    EXPECT_LT(gainAt(kRate + 2000 + 3528), 0.5f) << "80 ms after the burst the level is still coming back";
    EXPECT_GT(gainAt(kRate + 2000 + 3528), PeakLimiter::kCeiling / 4.0f);
    EXPECT_GT(gainAt(2 * kRate - lag - 2), 0.97f) << "back within a second";
}

TEST(PeakLimiter, AnySplitIntoBlocksAndAResetGiveTheSameSamples) {
    std::mt19937 random(7);
    std::normal_distribution<float> loud(0.0f, 0.8f);
    std::vector<float> in(2 * kRate);
    for (float& v : in) v = loud(random);

    PeakLimiter whole(kRate);
    const std::vector<float> expected = run(whole, in);

    PeakLimiter blocks(kRate);
    run(blocks, std::vector<float>(4000, 1.5f));  // something else first, then a reset
    blocks.reset();
    std::vector<float> got(in.size());
    std::uniform_int_distribution<std::size_t> size(1, 5000);
    for (std::size_t at = 0; at < in.size() / 2;) {
        const std::size_t n = std::min(size(random), in.size() / 2 - at);
        blocks.process(in.data() + 2 * at, got.data() + 2 * at, n);
        at += n;
    }
    EXPECT_EQ(got, expected);
    float top = 0.0f;
    for (const float v : got) top = std::max(top, std::abs(v));
    EXPECT_LE(top, PeakLimiter::kCeiling);
}

}  // namespace
}  // namespace korvex::test
