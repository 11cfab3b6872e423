// Each effect against what a listener checks, through the chain a sampler slot runs.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/platform_support.h"

namespace korvex::test {
namespace {

using namespace korvex::dsp;

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
            if (repeat == 1)
                EXPECT_NEAR(level, 0.5 * std::sqrt(0.75), 1e-4);
            else
                EXPECT_NEAR(level / previous, 0.5, 0.01) << side << repeat;
            previous = level;
        }
        // Nothing between the repeats.
        EXPECT_LT(rms(channel(out, side, 100, delay - 200)), 1e-6);
    }
    // With no wet the input passes unchanged.
    chain = single(EchoParams{0, 80, 30, 70, 0});
    const auto tone = sine(330.0, 1.0);
    EXPECT_EQ(runChain(*chain, tone), tone);
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
    EXPECT_TRUE(
        std::all_of(out.begin(), out.end(), [](float v) { return std::isfinite(v) && std::abs(v) < 2; }));
}

// ---- chorus and flanger ---------------------------------------------------------------------------------

// Input whose every sample is its own frame number: with no feedback and all wet, the output at frame n is
// n - d(n), so the delay of each frame can be read straight off it (linear interpolation keeps a ramp exact).
std::vector<float> tracer(std::size_t frames) {
    std::vector<float> v(2 * frames);
    for (std::size_t i = 0; i < frames; ++i) v[2 * i] = v[2 * i + 1] = static_cast<float>(i);
    return v;
}

// The delay each frame was read at, from `first` on, on channel `which`.
std::vector<double> delays(const std::vector<float>& out, int which, std::size_t first) {
    std::vector<double> d;
    for (std::size_t i = first; 2 * i < out.size(); ++i)
        d.push_back(static_cast<double>(i) - out[2 * i + which]);
    return d;
}

// Rising crossings of `centre` per second.
double swingRate(const std::vector<double>& d, double centre) {
    std::vector<float> around;
    for (double v : d) around.push_back(static_cast<float>(v - centre));
    return zeroCrossingFrequency(around, kRate);
}

TEST(Flanger, TheDelaySwingsByTheDepthAtTheLfoFrequency) {
    // 4 ms centre, full depth: 176.4 samples, swinging +-88.2 twice a second.
    auto chain = single(FlangerParams{100, 100, 0, 2, 1, 4, 4});
    const auto out = runChain(*chain, tracer(kRate * 2));
    const auto left = delays(out, 0, 300);
    const auto right = delays(out, 1, 300);
    EXPECT_NEAR(*std::max_element(left.begin(), left.end()), 176.4 + 88.2, 0.1);
    EXPECT_NEAR(*std::min_element(left.begin(), left.end()), 176.4 - 88.2, 0.1);
    EXPECT_NEAR(swingRate(left, 176.4), 2.0, 0.02);
    // Phase code 4: the right side swings against the left.
    for (std::size_t i = 0; i < left.size(); i += 97) EXPECT_NEAR(left[i] + right[i], 2 * 176.4, 0.05) << i;

    // Half depth, a triangle, the right side a quarter turn ahead (code 3).
    chain = single(FlangerParams{100, 50, 0, 1, 0, 4, 3});
    const auto tri = runChain(*chain, tracer(kRate * 2));
    const auto l = delays(tri, 0, 0);
    const auto r = delays(tri, 1, 0);
    const double swing = 0.5 * 176.4 / 2;
    EXPECT_NEAR(l[kRate / 8], 176.4 + swing / 2, 0.05);  // an eighth of a turn up a straight ramp
    EXPECT_NEAR(l[kRate / 4], 176.4 + swing, 0.05);
    EXPECT_NEAR(r[0 + 300], 176.4 + swing * (1 - 4.0 * 300 / kRate), 0.05);  // starts at its top
    EXPECT_NEAR(r[kRate / 4], 176.4, 0.05);
}

TEST(Chorus, TheDelaySwingsByTheDepthAtTheLfoFrequencyOnBothSidesOfOneLine) {
    // 20 ms centre, full depth: 882 samples +-441, once a second; code 2 puts both sides in step.
    auto chain = single(ChorusParams{100, 100, 0, 1, 1, 20, 2});
    auto in = tracer(kRate * 3);
    const auto out = runChain(*chain, in);
    const auto left = delays(out, 0, 1400);
    EXPECT_NEAR(*std::max_element(left.begin(), left.end()), 882.0 + 441.0, 0.2);
    EXPECT_NEAR(*std::min_element(left.begin(), left.end()), 882.0 - 441.0, 0.2);
    EXPECT_NEAR(swingRate(left, 882.0), 1.0, 0.02);
    EXPECT_EQ(channel(out, 0), channel(out, 1));

    // One line fed with the mean of both sides: a sound on the left only comes out on both, halved.
    chain = single(ChorusParams{100, 0, 0, 1, 1, 10, 3});
    for (std::size_t i = 0; i < in.size(); i += 2) in[i + 1] = 0.0f;
    const auto mono = runChain(*chain, in);
    EXPECT_NEAR(mono[2 * 10000], (10000 - 441) / 2.0, 0.01);
    EXPECT_NEAR(mono[2 * 10000 + 1], (10000 - 441) / 2.0, 0.01);
}

// With the sweep stopped, the delay and its feedback form a comb: positive feedback lifts the frequencies
// whose period divides the delay and sinks those half way between; negative feedback swaps them.
TEST(ChorusAndFlanger, NegativeFeedbackInvertsTheComb) {
    struct Case {
        EffectParams up, down;
        double peak, trough;  // Hz: 1 / delay and 1.5 / delay
    };
    const Case cases[] = {
        {FlangerParams{100, 0, 50, 0, 1, 2, 2}, FlangerParams{100, 0, -50, 0, 1, 2, 2}, 500.0, 750.0},
        {ChorusParams{100, 0, 50, 0, 1, 10, 2}, ChorusParams{100, 0, -50, 0, 1, 10, 2}, 100.0, 150.0},
    };
    for (const Case& c : cases) {
        for (const bool positive : {true, false}) {
            const EffectParams& p = positive ? c.up : c.down;
            EffectChain a({kindOf(p)}, kRate);
            ASSERT_TRUE(a.setParameters(0, p));
            const double atPeak = responseDb(a, c.peak, 0.5);
            a.reset_rt();
            const double atTrough = responseDb(a, c.trough, 0.5);
            // 1 / (1 - 0.5) against 1 / (1 + 0.5): 9.5 dB apart.
            if (positive) {
                EXPECT_NEAR(atPeak, 6.0, 0.5) << c.peak;
                EXPECT_NEAR(atTrough, -3.5, 0.5) << c.peak;
            } else {
                EXPECT_NEAR(atPeak, -3.5, 0.5) << c.peak;
                EXPECT_NEAR(atTrough, 6.0, 0.5) << c.peak;
            }
        }
    }
}

// ---- distortion -----------------------------------------------------------------------------------------

// Harmonic content against the fundamental, as a ratio of levels.
double distortionOf(const std::vector<float>& mono, double fundamental) {
    const double f = goertzel(mono, fundamental, kRate) / std::sqrt(2.0);
    const double all = rms(mono);
    return std::sqrt(std::max(0.0, all * all - f * f)) / f;
}

TEST(Distortion, HarmonicsRiseWithTheEdge) {
    double previous = 0.0;
    double first = 0.0;
    for (const float edge : {0.0f, 25.0f, 50.0f, 75.0f, 100.0f}) {
        auto chain = single(DistortionParams{0, edge, 1000, 8000, 8000});
        // 300 Hz: 147 samples a period; 100 whole periods after the filters have settled.
        const auto out = runChain(*chain, sine(300.0, 0.5, kRate, 0.5f));
        const double d = distortionOf(channel(out, 0, 4410, 14700), 300.0);
        if (edge == 0.0f) first = d;
        // Rising towards the 48 % of a square wave.
        EXPECT_GT(d, previous) << edge;
        previous = d;
    }
    EXPECT_LT(first, 0.03);
    EXPECT_GT(previous, 0.4);
}

TEST(Distortion, ContentAboveThePreLowPassFallsAndTheGainComesLast) {
    const auto levelAt = [](double freq, float cutoff, float gain) {
        auto chain = single(DistortionParams{gain, 0, 2400, 8000, cutoff});
        return responseDb(*chain, freq, 0.1);
    };
    // A quiet tone keeps the clipper nearly straight.
    EXPECT_LT(levelAt(6000, 1000, 0) - levelAt(6000, 8000, 0), -12.0);
    EXPECT_NEAR(levelAt(200, 1000, 0) - levelAt(200, 8000, 0), 0.0, 1.0);
    EXPECT_NEAR(levelAt(2400, 8000, -18) - levelAt(2400, 8000, 0), -18.0, 0.05);
    EXPECT_NEAR(levelAt(2400, 8000, -60) - levelAt(2400, 8000, 0), -60.0, 0.05);

    // At 22.05 kHz an 8 kHz centre and cutoff are held at 7350 Hz and the filters stay stable.
    auto low = single(DistortionParams{0, 100, 8000, 8000, 8000}, 22050);
    const auto out = runChain(*low, sine(5000.0, 1.0, 22050, 0.9f));
    EXPECT_TRUE(
        std::all_of(out.begin(), out.end(), [](float v) { return std::isfinite(v) && std::abs(v) < 4; }));
    EXPECT_GT(rms(channel(out, 0, 11025)), 0.05);
}

// ---- compressor -----------------------------------------------------------------------------------------

// Output level in dB (peak of a sine, full scale 0 dB) of a steady tone at `inputDb`.
double compressedDb(const CompressorParams& params, double inputDb, double freq = 1000.0) {
    auto chain = single(params);
    const auto amplitude = static_cast<float>(std::pow(10.0, inputDb / 20.0));
    const auto in = sine(freq, 2.0, kRate, amplitude);
    const auto out = runChain(*chain, in);
    return inputDb + db(rms(channel(out, 0, kRate)) / rms(channel(in, 0, kRate)));
}

TEST(Compressor, ASteadyToneAboveTheThresholdComesOutAtThresholdPlusTheExcessOverTheRatio) {
    EXPECT_NEAR(compressedDb(CompressorParams{0, 10, 200, -20, 3, 4}, -10), -20 + 10.0 / 3, 1.0);
    EXPECT_NEAR(compressedDb(CompressorParams{0, 10, 200, -20, 10, 4}, -10), -20 + 10.0 / 10, 1.0);
    EXPECT_NEAR(compressedDb(CompressorParams{0, 10, 200, -30, 4, 0}, -10), -30 + 20.0 / 4, 1.0);
    EXPECT_NEAR(compressedDb(CompressorParams{0, 10, 200, -20, 3, 4}, -10, 60.0), -20 + 10.0 / 3, 1.0);
    // The gain comes after the reduction, and a tone under the threshold only gets the gain.
    EXPECT_NEAR(compressedDb(CompressorParams{9, 10, 200, -20, 3, 4}, -10), -20 + 10.0 / 3 + 9, 1.0);
    EXPECT_NEAR(compressedDb(CompressorParams{0, 10, 200, -20, 3, 4}, -30), -30, 0.05);
    EXPECT_NEAR(compressedDb(CompressorParams{-12, 10, 200, -20, 3, 4}, -30), -42, 0.05);
}

// Gain reduction in dB at every frame of a level that steps from -40 dB up to 0 dB at 0.5 s and back
// down at 1.5 s (a steady level, so the gain is output / input; no pre-delay).
std::vector<double> reductionOverSteps(float attack, float release) {
    auto chain = single(CompressorParams{0, attack, release, -20, 3, 0});
    std::vector<float> in(2 * 4 * kRate, 0.01f);
    std::fill(in.begin() + kRate, in.begin() + 3 * kRate, 1.0f);
    const auto out = runChain(*chain, in);
    std::vector<double> reduction;
    for (std::size_t i = 0; i < out.size(); i += 2) reduction.push_back(-db(out[i] / in[i]));
    return reduction;
}

// Seconds from `from` until `reached` first holds.
template <typename Test>
double secondsUntil(const std::vector<double>& values, std::size_t from, Test reached) {
    for (std::size_t i = from; i < values.size(); ++i)
        if (reached(values[i])) return static_cast<double>(i - from) / kRate;
    return 1e9;
}

TEST(Compressor, AttackAndReleaseCloseNinetyPercentOfAStepInTheirTimes) {
    // 20 dB over a 3:1 threshold: 13.3 dB of reduction to reach and to give back.
    const double full = 20.0 * (1 - 1 / 3.0);
    for (const auto& [attack, release] :
         {std::pair{10.0f, 200.0f}, std::pair{50.0f, 1000.0f}, std::pair{1.0f, 50.0f}}) {
        const auto r = reductionOverSteps(attack, release);
        EXPECT_NEAR(r[kRate / 2 - 1], 0.0, 1e-3);
        EXPECT_NEAR(r[3 * kRate / 2 - 1], full, 0.05);
        const double up = secondsUntil(r, kRate / 2, [&](double v) { return v >= 0.9 * full; });
        const double down = secondsUntil(r, 3 * kRate / 2, [&](double v) { return v <= 0.1 * full; });
        EXPECT_NEAR(up * 1000, attack, 0.2 * attack) << attack;
        EXPECT_NEAR(down * 1000, release, 0.2 * release) << release;
    }
}

TEST(Compressor, ThePreDelayLetsTheReductionMeetThePeak) {
    // A step to full level through a fast attack: without look-ahead its first 4 ms pass loud; with 4 ms of
    // pre-delay the sound arrives 4 ms late, already turned down.
    const auto firstMsPeak = [](float predelay) {
        auto chain = single(CompressorParams{0, 0.5f, 200, -20, 10, predelay});
        std::vector<float> in(2 * kRate, 0.0f);
        std::fill(in.begin() + kRate, in.end(), 1.0f);
        const auto out = runChain(*chain, in);
        const auto delayed = static_cast<std::size_t>(predelay / 1000.0 * kRate);
        const auto left = channel(out, 0, kRate / 2 + delayed, 44);
        EXPECT_EQ(out[2 * (kRate / 2 + delayed) - 2], 0.0f);  // nothing before the sound arrives
        return *std::max_element(left.begin(), left.end());
    };
    EXPECT_GT(firstMsPeak(0), 0.5f);
    EXPECT_LT(firstMsPeak(4), 0.25f);
}

// ---- gargle ---------------------------------------------------------------------------------------------

TEST(Gargle, MultipliesByATriangleOrASquareAtTheRateSoATonePicksUpSidebands) {
    // A steady input shows the modulation itself: 100 Hz is 441 samples a period.
    auto chain = single(GargleParams{100, 0});
    const auto tri = runChain(*chain, std::vector<float>(2 * 2000, 1.0f));
    chain = single(GargleParams{100, 1});
    const auto square = runChain(*chain, std::vector<float>(2 * 2000, 1.0f));
    for (std::size_t i = 0; i < 2000; ++i) {
        const double turn = std::fmod(static_cast<double>(i) / 441.0, 1.0);
        EXPECT_NEAR(tri[2 * i], 1.0 - std::abs(2.0 * turn - 1.0), 1e-4) << i;
        EXPECT_EQ(tri[2 * i + 1], tri[2 * i]);
        EXPECT_EQ(square[2 * i], turn < 0.5 ? 1.0f : 0.0f) << i;
    }

    // A 1025 Hz tone times a 0..1 wave: half the tone, plus sidebands at 1025 Hz +- 100 Hz of half the
    // wave's fundamental, 4/pi^2 for the triangle and 2/pi for the square. (1025 Hz keeps the products of
    // the wave's upper harmonics off the frequencies measured.)
    for (const int shape : {0, 1}) {
        chain = single(GargleParams{100, shape});
        const auto out = channel(runChain(*chain, sine(1025.0, 1.0, kRate, 0.5f)), 0);
        const double side = shape == 0 ? 4.0 / (std::numbers::pi * std::numbers::pi) : 2.0 / std::numbers::pi;
        EXPECT_NEAR(goertzel(out, 1025.0, kRate), 0.25, 0.002) << shape;
        EXPECT_NEAR(goertzel(out, 925.0, kRate), 0.25 * side, 0.002) << shape;
        EXPECT_NEAR(goertzel(out, 1125.0, kRate), 0.25 * side, 0.002) << shape;
        EXPECT_LT(goertzel(out, 975.0, kRate), 0.002) << shape;
    }
}

}  // namespace
}  // namespace korvex::test
