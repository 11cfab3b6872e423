// The effect chain's contract with its callers: which records it accepts, when a record is heard, and the
// text form korvex-render reads.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "platform/dsp/effect_spec.h"
#include "platform/effect_support.h"

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

TEST(EffectChain, AnEmptyChainPassesSoundThrough) {
    EffectChain chain({}, kRate);
    EXPECT_EQ(chain.size(), 0u);
    const auto in = noise(4096);
    EXPECT_EQ(runChain(chain, in), in);
}

TEST(EffectChain, AChangeIsHeardInTheNextBlock) {
    // Every kind: two identical chains, one of them changed between blocks; the very next block differs.
    const std::vector<EffectParams> changes{
        EchoParams{0, 50, 500, 500, 0},        ChorusParams{80, 10, 25, 1.1f, 1, 16, 3},
        FlangerParams{50, 100, -50, 0.25f, 1, 2, 0}, DistortionParams{-6, 15, 2400, 2400, 8000},
        CompressorParams{6, 10, 200, -20, 3, 4}, ParamEqParams{1000, 12, 12},
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

TEST(EffectSpec, ReadsNamesFieldsAndValues) {
    EffectSpec spec;
    std::string error;
    ASSERT_TRUE(parseEffectSpec("echo:wetdrymix=50,feedback=0,leftdelay=250,rightdelay=400,pandelay=1", spec, error))
        << error;
    EXPECT_EQ(spec.kind, EffectKind::Echo);
    const auto echo = std::get<EchoParams>(spec.params);
    EXPECT_EQ(echo.fFeedback, 0.0f);
    EXPECT_EQ(echo.fLeftDelay, 250.0f);
    EXPECT_EQ(echo.fRightDelay, 400.0f);
    EXPECT_EQ(echo.lPanDelay, 1);

    ASSERT_TRUE(parseEffectSpec("gargle", spec, error));
    EXPECT_EQ(std::get<GargleParams>(spec.params).dwRateHz, 20);
    ASSERT_TRUE(parseEffectSpec("parameq:center=1000,gain=-7.5", spec, error));
    EXPECT_EQ(std::get<ParamEqParams>(spec.params).fCenter, 1000.0f);
    EXPECT_EQ(std::get<ParamEqParams>(spec.params).fBandwidth, 12.0f);
    EXPECT_EQ(std::get<ParamEqParams>(spec.params).fGain, -7.5f);
    ASSERT_TRUE(parseEffectSpec("distortion:posteqcenterfrequency=1000,prelowpasscutoff=500", spec, error));
    ASSERT_TRUE(parseEffectSpec("compressor:attack=0.01,predelay=0,ratio=100", spec, error));
    ASSERT_TRUE(parseEffectSpec("flanger:waveform=0,phase=4", spec, error));
    EXPECT_EQ(std::get<FlangerParams>(spec.params).lPhase, 4);

    const EffectSpec before = spec;
    for (const char* bad : {"reverb", "Echo", "echo:volume=3", "echo:feedback", "echo:feedback=abc",
                            "echo:leftdelay=0", "chorus:waveform=0.5", "chorus:phase=5", "gargle:ratehz=1001",
                            "parameq:center=", "parameq:center=1000,", "echo:fFeedback=10"}) {
        error.clear();
        EXPECT_FALSE(parseEffectSpec(bad, spec, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
    EXPECT_EQ(spec.kind, before.kind);
}

}  // namespace
}  // namespace korvex::test
