// Each effect against what a listener checks, through the chain a sampler slot runs.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/effect_support.h"

namespace korvex::test {
namespace {

using namespace korvex::dsp;

// Frame of the largest absolute sample of channel `which` within [from, to).
std::size_t peakFrame(const std::vector<float>& stereo, int which, std::size_t from, std::size_t to) {
    std::size_t best = from;
    for (std::size_t i = from; i < to; ++i)
        if (std::abs(stereo[2 * i + which]) > std::abs(stereo[2 * best + which])) best = i;
    return best;
}

// Level in dB of a steady sine at `freq` after the effect, relative to its level before, measured on the
// left channel past the first `settle` seconds.
double responseDb(EffectChain& chain, double freq, double settle = 0.2) {
    const auto in = sine(freq, settle + 0.3, kRate, 0.25f);
    const auto out = runChain(chain, in);
    const auto first = static_cast<std::size_t>(settle * kRate);
    return db(rms(channel(out, 0, first)) / rms(channel(in, 0, first)));
}

// ---- echo -----------------------------------------------------------------------------------------------

TEST(Echo, AnImpulseComesBackAfterEachSidesDelayLowerByTheFeedbackEachTime) {
    auto chain = single(EchoParams{50, 50, 250, 400, 0});
    auto in = silence(2 * kRate);
    in[0] = in[1] = 1.0f;
    const auto out = runChain(*chain, in);
    EXPECT_FLOAT_EQ(out[0], 0.5f);  // the dry half
    for (int side = 0; side < 2; ++side) {
        const std::size_t delay = side == 0 ? 11025 : 17640;  // 250 and 400 ms
        double previous = 0.0;
        for (std::size_t repeat = 1; repeat * delay + 100 < 2 * kRate; ++repeat) {
            const std::size_t at = peakFrame(out, side, repeat * delay - 100, repeat * delay + 100);
            EXPECT_NEAR(static_cast<double>(at), static_cast<double>(repeat * delay), 1.0) << side << repeat;
            const double level = std::abs(out[2 * at + side]);
            if (repeat == 1) EXPECT_NEAR(level, 0.5 * std::sqrt(0.75), 1e-4);
            else EXPECT_NEAR(level / previous, 0.5, 0.01) << side << repeat;
            previous = level;
        }
        // Nothing between the repeats.
        EXPECT_LT(rms(channel(out, side, 100, delay - 200)), 1e-6);
    }
}

TEST(Echo, PanDelaySendsEachRepeatToTheOtherSide) {
    auto chain = single(EchoParams{100, 50, 250, 400, 1});
    auto in = silence(2 * kRate);
    in[0] = 1.0f;  // left only
    const auto out = runChain(*chain, in);
    // First repeat on the right after the right delay, the second back on the left after both.
    EXPECT_NEAR(static_cast<double>(peakFrame(out, 1, 1, 30000)), 17640.0, 1.0);
    EXPECT_NEAR(static_cast<double>(peakFrame(out, 0, 1, 40000)), 17640.0 + 11025.0, 1.0);
    EXPECT_LT(std::abs(out[2 * 11025]), 1e-6);  // not where the left delay alone would put it
    const double first = std::abs(out[2 * 17640 + 1]);
    EXPECT_NEAR(std::abs(out[2 * (17640 + 11025)]) / first, 0.5, 0.01);
}

TEST(Echo, NoWetPassesTheInputUnchanged) {
    auto chain = single(EchoParams{0, 80, 30, 70, 0});
    const auto in = sine(330.0, 1.0);
    EXPECT_EQ(runChain(*chain, in), in);
}

// ---- parametric EQ --------------------------------------------------------------------------------------

// The band's edges are where the boost in dB is half the centre's; for a 6 dB boost those are the points
// 3 dB below the peak.
TEST(ParamEq, TheCentreGetsTheGainAndTheBandEdgesHalfOfIt) {
    for (const float gain : {6.0f, 12.0f, -15.0f}) {
        for (const float semitones : {12.0f, 24.0f, 4.0f}) {
            auto chain = single(ParamEqParams{1000, semitones, gain});
            const double half = std::exp2(semitones / 24.0);
            EXPECT_NEAR(responseDb(*chain, 1000.0), gain, 0.5) << gain << " " << semitones;
            chain->reset_rt();
            EXPECT_NEAR(responseDb(*chain, 1000.0 * half), gain / 2, 0.5) << gain << " " << semitones;
            chain->reset_rt();
            EXPECT_NEAR(responseDb(*chain, 1000.0 / half), gain / 2, 0.5) << gain << " " << semitones;
        }
    }
    auto flat = single(ParamEqParams{1000, 12, 15});
    EXPECT_NEAR(responseDb(*flat, 60.0), 0.0, 0.5);
    flat->reset_rt();
    EXPECT_NEAR(responseDb(*flat, 15000.0), 0.0, 0.5);
}

TEST(ParamEq, ACentreAboveAThirdOfTheRateIsHeldThere) {
    // At 44.1 kHz a 16 kHz centre sits at 14.7 kHz.
    auto chain = single(ParamEqParams{16000, 12, 12});
    EXPECT_NEAR(responseDb(*chain, 14700.0), 12.0, 0.5);
    // At 22.05 kHz a 16 kHz centre would lie beyond the Nyquist frequency; held at 7350 Hz it stays stable.
    auto low = single(ParamEqParams{16000, 36, 15}, 22050);
    const auto in = sine(7350.0, 1.0, 22050, 0.25f);
    const auto out = runChain(*low, in);
    const auto tail = channel(out, 0, 11025);
    EXPECT_NEAR(db(rms(tail) / rms(channel(in, 0, 11025))), 15.0, 0.5);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](float v) { return std::isfinite(v) && std::abs(v) < 2; }));
}

}  // namespace
}  // namespace korvex::test
