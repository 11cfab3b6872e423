// The effect chain's contract with its callers: which records it accepts, when a record is heard, and the
// text form korvex-render reads.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <thread>

#include "platform/dsp/effect_spec.h"
#include "platform/platform_support.h"

namespace korvex::test {
namespace {

using namespace korvex::dsp;

std::vector<float> noise(std::size_t frames, unsigned seed = 7) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> uniform(-0.5f, 0.5f);
    std::vector<float> v(2 * frames);
    for (float& x : v) x = uniform(random);
    return v;
}

TEST(EffectRecords, DefaultsAreValidAndEveryBoundIsChecked) {
    for (int k = 0; k < kEffectKinds; ++k) {
        const auto kind = static_cast<EffectKind>(k);
        EXPECT_TRUE(isValid(defaultParams(kind))) << effectName(kind);
        EXPECT_EQ(kindOf(defaultParams(kind)), kind);
        EXPECT_EQ(effectKindFromName(effectName(kind)), kind);
    }
    EXPECT_FALSE(effectKindFromName("Echo"));
    EXPECT_FALSE(effectKindFromName("reverb"));

    const float nan = std::numeric_limits<float>::quiet_NaN();
    // Inclusive bounds are accepted, one step beyond is refused.
    EXPECT_TRUE(isValid(EchoParams{0, 100, 1, 2000, 1}));
    EXPECT_FALSE(isValid(EchoParams{-0.01f, 50, 500, 500, 0}));
    EXPECT_FALSE(isValid(EchoParams{50, 100.5f, 500, 500, 0}));
    EXPECT_FALSE(isValid(EchoParams{50, 50, 0.5f, 500, 0}));
    EXPECT_FALSE(isValid(EchoParams{50, 50, 500, 2001, 0}));
    EXPECT_FALSE(isValid(EchoParams{50, 50, 500, 500, 2}));
    EXPECT_FALSE(isValid(EchoParams{nan, 50, 500, 500, 0}));
    EXPECT_TRUE(isValid(ChorusParams{100, 0, -99, 10, 0, 20, 0}));
    EXPECT_FALSE(isValid(ChorusParams{50, 10, -99.5f, 1, 1, 16, 3}));
    EXPECT_FALSE(isValid(ChorusParams{50, 10, 25, 10.1f, 1, 16, 3}));
    EXPECT_FALSE(isValid(ChorusParams{50, 10, 25, 1, -1, 16, 3}));
    EXPECT_FALSE(isValid(ChorusParams{50, 10, 25, 1, 1, 20.5f, 3}));
    EXPECT_FALSE(isValid(ChorusParams{50, 10, 25, 1, 1, 16, 5}));
    EXPECT_TRUE(isValid(FlangerParams{0, 100, 99, 0, 1, 4, 4}));
    EXPECT_FALSE(isValid(FlangerParams{50, 100, -50, 0.25f, 1, 4.5f, 2}));
    EXPECT_FALSE(isValid(FlangerParams{50, 101, -50, 0.25f, 1, 2, 2}));
    EXPECT_TRUE(isValid(DistortionParams{-60, 100, 100, 8000, 100}));
    EXPECT_FALSE(isValid(DistortionParams{0.5f, 15, 2400, 2400, 8000}));
    EXPECT_FALSE(isValid(DistortionParams{-18, 15, 99, 2400, 8000}));
    EXPECT_FALSE(isValid(DistortionParams{-18, 15, 2400, 8001, 8000}));
    EXPECT_FALSE(isValid(DistortionParams{-18, 15, 2400, 2400, 8100}));
    EXPECT_TRUE(isValid(CompressorParams{60, 0.01f, 50, -60, 1, 0}));
    EXPECT_TRUE(isValid(CompressorParams{-60, 500, 3000, 0, 100, 4}));
    EXPECT_FALSE(isValid(CompressorParams{0, 0.001f, 200, -20, 3, 4}));
    EXPECT_FALSE(isValid(CompressorParams{0, 10, 49, -20, 3, 4}));
    EXPECT_FALSE(isValid(CompressorParams{0, 10, 200, 1, 3, 4}));
    EXPECT_FALSE(isValid(CompressorParams{0, 10, 200, -20, 0.5f, 4}));
    EXPECT_FALSE(isValid(CompressorParams{0, 10, 200, -20, 3, 4.01f}));
    EXPECT_TRUE(isValid(ParamEqParams{80, 1, -15}));
    EXPECT_TRUE(isValid(ParamEqParams{16000, 36, 15}));
    EXPECT_FALSE(isValid(ParamEqParams{79, 12, 0}));
    EXPECT_FALSE(isValid(ParamEqParams{8000, 37, 0}));
    EXPECT_FALSE(isValid(ParamEqParams{8000, 12, 15.5f}));
    EXPECT_TRUE(isValid(GargleParams{1, 1}));
    EXPECT_TRUE(isValid(GargleParams{1000, 0}));
    EXPECT_FALSE(isValid(GargleParams{0, 0}));
    EXPECT_FALSE(isValid(GargleParams{1001, 0}));
    EXPECT_FALSE(isValid(GargleParams{20, 2}));
}

TEST(EffectChain, RefusedRecordsLeaveTheEffectAsItWas) {
    EffectChain chain({EffectKind::Echo, EffectKind::ParamEq}, kRate);
    ASSERT_EQ(chain.size(), 2u);
    EXPECT_EQ(chain.kind(0), EffectKind::Echo);
    EXPECT_EQ(chain.kind(1), EffectKind::ParamEq);
    EXPECT_EQ(std::get<EchoParams>(chain.parameters(0)).fLeftDelay, 500.0f);

    const EchoParams set{20, 30, 250, 400, 1};
    EXPECT_TRUE(chain.setParameters(0, set));
    EXPECT_FALSE(chain.setParameters(0, EchoParams{20, 30, 2500, 400, 1}));  // out of range
    EXPECT_FALSE(chain.setParameters(0, ParamEqParams{}));                   // another kind
    EXPECT_FALSE(chain.setParameters(2, EchoParams{}));                      // no such effect
    const auto kept = std::get<EchoParams>(chain.parameters(0));
    EXPECT_EQ(kept.fWetDryMix, 20.0f);
    EXPECT_EQ(kept.fLeftDelay, 250.0f);
    EXPECT_EQ(kept.lPanDelay, 1);
    EXPECT_EQ(std::get<ParamEqParams>(chain.parameters(1)).fCenter, 8000.0f);

    // The refused record is not heard either: the chain sounds exactly as one given only `set`.
    EffectChain echoOnly({EffectKind::Echo, EffectKind::ParamEq}, kRate);
    ASSERT_TRUE(echoOnly.setParameters(0, set));
    const auto in = noise(kRate / 2);
    EXPECT_EQ(runChain(chain, in), runChain(echoOnly, in));
}

TEST(EffectChain, RunsItsEffectsInOrder) {
    // A -30 dB tone at 1 kHz, a 15 dB boost there and a compressor at -20 dB, 3:1. Boosted first, the tone
    // reaches -15 dB and is compressed to -20 + 5/3; compressed first, it is still under the threshold and
    // comes out boosted to -15 dB.
    const auto in = sine(1000.0, 1.0, kRate, static_cast<float>(std::pow(10.0, -30.0 / 20)));
    const auto levelThrough = [&in](const std::vector<EffectKind>& kinds) {
        EffectChain chain(kinds, kRate);
        for (std::size_t i = 0; i < kinds.size(); ++i) {
            if (kinds[i] == EffectKind::ParamEq)
                EXPECT_TRUE(chain.setParameters(i, ParamEqParams{1000, 12, 15}));
            else
                EXPECT_TRUE(chain.setParameters(i, CompressorParams{0, 10, 200, -20, 3, 0}));
        }
        const auto out = runChain(chain, in);
        return -30.0 + db(rms(channel(out, 0, kRate / 2)) / rms(channel(in, 0, kRate / 2)));
    };
    EXPECT_NEAR(levelThrough({EffectKind::ParamEq, EffectKind::Compressor}), -20.0 + 5.0 / 3, 1.0);
    EXPECT_NEAR(levelThrough({EffectKind::Compressor, EffectKind::ParamEq}), -15.0, 0.5);
    // An empty chain passes the sound through untouched.
    EffectChain empty({}, kRate);
    EXPECT_EQ(empty.size(), 0u);
    EXPECT_EQ(runChain(empty, in), in);
}

TEST(EffectChain, RecordsFromAnotherThreadArriveWhileTheSoundRuns) {
    // A settings dialog writing records while the audio thread renders: the audio side never waits, and
    // once the writer stops, the last record written is the one heard.
    EffectChain chain({EffectKind::Gargle, EffectKind::ParamEq}, kRate);
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 20000; ++i) {
            ASSERT_TRUE(chain.setParameters(0, GargleParams{1 + i % 1000, i % 2}));
            ASSERT_TRUE(chain.setParameters(1, ParamEqParams{80.0f + static_cast<float>(i % 100), 12, -3}));
        }
        ASSERT_TRUE(chain.setParameters(0, GargleParams{100, 1}));
        done = true;
    });
    auto block = noise(kBlockFrames);
    while (!done) chain.process_rt(block.data(), kBlockFrames);
    writer.join();
    EXPECT_EQ(std::get<GargleParams>(chain.parameters(0)).dwRateHz, 100);

    // After a reset it sounds exactly like a fresh chain given only the last records.
    chain.reset_rt();
    std::vector<float> ones(2 * kRate / 10, 1.0f);
    chain.process_rt(ones.data(), kRate / 10);
    auto expected = std::vector<float>(2 * kRate / 10, 1.0f);
    EffectChain fresh({EffectKind::Gargle, EffectKind::ParamEq}, kRate);
    ASSERT_TRUE(fresh.setParameters(0, GargleParams{100, 1}));
    ASSERT_TRUE(fresh.setParameters(1, ParamEqParams{179, 12, -3}));
    fresh.process_rt(expected.data(), kRate / 10);
    for (std::size_t i = 0; i < ones.size(); ++i) ASSERT_NEAR(ones[i], expected[i], 1e-5) << i;
}

TEST(EffectChain, AChangeIsHeardInTheNextBlock) {
    // Every kind: two identical chains, one of them changed between blocks; the very next block differs.
    const std::vector<EffectParams> changes{EchoParams{0, 50, 500, 500, 0},
                                            ChorusParams{80, 10, 25, 1.1f, 1, 16, 3},
                                            FlangerParams{50, 100, -50, 0.25f, 1, 2, 0},
                                            DistortionParams{-6, 15, 2400, 2400, 8000},
                                            CompressorParams{6, 10, 200, -20, 3, 4},
                                            ParamEqParams{1000, 12, 12},
                                            GargleParams{20, 1}};
    for (const EffectParams& change : changes) {
        const EffectKind kind = kindOf(change);
        EffectChain changed({kind}, kRate);
        EffectChain kept({kind}, kRate);
        const auto in = noise(8 * kBlockFrames);
        auto a = in;
        auto b = in;
        changed.process_rt(a.data(), 4 * kBlockFrames);
        kept.process_rt(b.data(), 4 * kBlockFrames);
        ASSERT_EQ(a, b);
        ASSERT_TRUE(changed.setParameters(0, change)) << effectName(kind);
        changed.process_rt(a.data() + 8 * kBlockFrames, kBlockFrames);
        kept.process_rt(b.data() + 8 * kBlockFrames, kBlockFrames);
        EXPECT_NE(a, b) << effectName(kind) << " did not change in the first block after the record";
    }
}

// Largest step between neighbouring samples, on either channel from frame `first` on, against the sound's
// peak level within 2 ms around it. A tone's own steps stay near its angular frequency per sample whatever
// its level; a click stands out as a step of the order of the level itself.
double largestStep(const std::vector<float>& stereo, std::size_t first) {
    constexpr std::size_t kAround = 88;
    double worst = 0.0;
    for (int which = 0; which < 2; ++which) {
        const auto mono = channel(stereo, which, first);
        double loudest = 0.0;
        for (float v : mono) loudest = std::max(loudest, static_cast<double>(std::abs(v)));
        for (std::size_t i = kAround + 1; i + kAround < mono.size(); ++i) {
            double peak = 0.05 * loudest;
            for (std::size_t j = i - kAround; j <= i + kAround; ++j)
                peak = std::max(peak, static_cast<double>(std::abs(mono[j])));
            worst = std::max(worst, std::abs(static_cast<double>(mono[i]) - mono[i - 1]) / peak);
        }
    }
    return worst;
}

TEST(EffectChain, RecordsSwitchedBackAndForthNeverClick) {
    // Two far-apart records per kind, swapped every three blocks under a steady tone. A moving filter or a
    // quick gain change may bend the tone's shape a little, so its steps may grow to three times its own at
    // either record held steady; a click (a jump of a good part of the level) lies far beyond that.
    const std::vector<std::pair<EffectParams, EffectParams>> pairs{
        {EchoParams{50, 50, 300, 300, 0}, EchoParams{100, 80, 700, 200, 1}},
        {ChorusParams{50, 10, 25, 1.1f, 1, 16, 3}, ChorusParams{100, 60, -60, 4, 0, 5, 0}},
        {FlangerParams{50, 100, -50, 0.25f, 1, 2, 2}, FlangerParams{90, 30, 80, 3, 0, 4, 4}},
        {DistortionParams{-30, 10, 1000, 1000, 4000}, DistortionParams{0, 12, 3000, 2000, 2000}},
        {CompressorParams{0, 10, 200, -20, 3, 4}, CompressorParams{12, 1, 100, -40, 20, 1}},
        {ParamEqParams{200, 4, 15}, ParamEqParams{2000, 36, -15}},
        {GargleParams{20, 0}, GargleParams{300, 0}},
    };
    // A tone faded in, so its start leaves no kink for an echo to repeat.
    auto in = sine(220.0, 2.0, kRate, 0.5f);
    for (std::size_t i = 0; i < kRate / 10; ++i) {
        const auto fade = static_cast<float>(
            0.5 - 0.5 * std::cos(std::numbers::pi * static_cast<double>(i) / (kRate / 10)));
        in[2 * i] *= fade;
        in[2 * i + 1] *= fade;
    }
    for (const auto& [a, b] : pairs) {
        const EffectKind kind = kindOf(a);
        double steady = 0.0;
        for (const EffectParams& p : {a, b}) {
            EffectChain chain({kind}, kRate);
            ASSERT_TRUE(chain.setParameters(0, p));
            steady = std::max(steady, largestStep(runChain(chain, in), kRate));
        }
        EffectChain chain({kind}, kRate);
        auto out = in;
        for (std::size_t block = 0; block * kBlockFrames < kRate * 2; ++block) {
            if (block % 3 == 0) {
                ASSERT_TRUE(chain.setParameters(0, block % 2 == 0 ? a : b));
            }
            chain.process_rt(out.data() + 2 * block * kBlockFrames,
                             std::min(kBlockFrames, 2 * kRate - block * kBlockFrames));
        }
        EXPECT_LT(largestStep(out, kRate / 10), 3.0 * steady) << effectName(kind) << " steady " << steady;
    }
}

TEST(EffectChain, ResetForgetsTheSoundSoFar) {
    for (int k = 0; k < kEffectKinds; ++k) {
        EffectChain chain({static_cast<EffectKind>(k)}, kRate);
        auto loud = noise(kRate);
        chain.process_rt(loud.data(), kRate);
        chain.reset_rt();
        auto quiet = silence(kRate / 2);
        chain.process_rt(quiet.data(), kRate / 2);
        EXPECT_EQ(quiet, silence(kRate / 2)) << effectName(static_cast<EffectKind>(k));
    }
}

TEST(EffectSpec, ReadsNamesFieldsAndValues) {
    EffectSpec effect;
    std::string error;
    ASSERT_TRUE(
        parseEffectSpec("echo:wetdrymix=50,feedback=0,leftdelay=250,rightdelay=400,pandelay=1", effect, error))
        << error;
    EXPECT_EQ(effect.kind, EffectKind::Echo);
    const auto echo = std::get<EchoParams>(effect.params);
    EXPECT_EQ(echo.fFeedback, 0.0f);
    EXPECT_EQ(echo.fLeftDelay, 250.0f);
    EXPECT_EQ(echo.fRightDelay, 400.0f);
    EXPECT_EQ(echo.lPanDelay, 1);

    ASSERT_TRUE(parseEffectSpec("gargle", effect, error));
    EXPECT_EQ(std::get<GargleParams>(effect.params).dwRateHz, 20);
    ASSERT_TRUE(parseEffectSpec("parameq:center=1000,gain=-7.5", effect, error));
    EXPECT_EQ(std::get<ParamEqParams>(effect.params).fCenter, 1000.0f);
    EXPECT_EQ(std::get<ParamEqParams>(effect.params).fBandwidth, 12.0f);
    EXPECT_EQ(std::get<ParamEqParams>(effect.params).fGain, -7.5f);
    ASSERT_TRUE(parseEffectSpec("distortion:posteqcenterfrequency=1000,prelowpasscutoff=500", effect, error));
    ASSERT_TRUE(parseEffectSpec("compressor:attack=0.01,predelay=0,ratio=100", effect, error));
    ASSERT_TRUE(parseEffectSpec("Flanger:WaveForm=0,phase=4", effect, error));
    EXPECT_EQ(std::get<FlangerParams>(effect.params).lPhase, 4);

    const EffectSpec before = effect;
    for (const char* bad :
         {"reverb", "echo:", "echo:volume=3", "echo:feedback", "echo:feedback=abc", "echo:leftdelay=0",
          "chorus:waveform=0.5", "chorus:phase=5", "gargle:ratehz=1001",
          "parameq:center=", "parameq:center=1000,", "echo:fFeedback=10", "echo:feedback=1e999"}) {
        error.clear();
        EXPECT_FALSE(parseEffectSpec(bad, effect, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
    EXPECT_EQ(effect.kind, before.kind);
}

}  // namespace
}  // namespace korvex::test
