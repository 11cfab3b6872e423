// korvex-playcheck's set, as the load check runs it: continuous play hands over between the decks, the
// sampler slot loops with its effects, and the recorder's file holds the mix of all of it.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/platform_support.h"

namespace korvex::test {
namespace {

TEST(Playcheck, ContinuousSetWithSamplerAndRecordingIsAllInTheRecordedMix) {
    const std::string dir = tempDir();
    writeWav16(dir + "/a1.wav", sine(440.0, 4.0, kRate, 0.3f));
    writeWav16(dir + "/a2.wav", sine(550.0, 4.0, kRate, 0.3f));
    writeWav16(dir + "/b1.wav", sine(660.0, 4.0, kRate, 0.3f));
    writeWav16(dir + "/loop.wav", sine(1000.0, 0.5, kRate, 0.2f));
    const double seconds = 7.0;
    const CommandResult result = runCommand(
        std::string("'") + KORVEX_PLAYCHECK_EXE + "' --audio-output=null --continuous '" + dir + "/a1.wav' '" +
        dir + "/b1.wav' 7 --a='" + dir + "/a2.wav' --sample='" + dir + "/loop.wav' --record='" + dir +
        "/set.wav'");
    ASSERT_EQ(result.status, 0) << result.output;

    int handovers = -1;
    unsigned long long starved = 1;
    double recorded = 0.0;
    unsigned long long lost = 1;
    char sample[16] = {};
    const auto at = result.output.find("handovers=");
    ASSERT_NE(at, std::string::npos) << result.output;
    ASSERT_EQ(std::sscanf(result.output.c_str() + at,
                          "handovers=%d starved_blocks=%llu sample=%15s recorded_s=%lf lost_frames=%llu",
                          &handovers, &starved, sample, &recorded, &lost),
              5)
        << result.output;
    EXPECT_GE(handovers, 1) << result.output;
    EXPECT_EQ(starved, 0u) << "each next song was decoded while its deck waited";
    EXPECT_STREQ(sample, "looping");
    EXPECT_NEAR(recorded, seconds, 0.5);
    EXPECT_EQ(lost, 0u);

    int rate = 0;
    const std::vector<float> mix = readSound(dir + "/set.wav", &rate);
    ASSERT_EQ(rate, kRate);
    ASSERT_GE(mix.size() / 2, static_cast<std::size_t>(6.5 * kRate));
    const auto second = [&](double from) {
        return channel(mix, 0, static_cast<std::size_t>(from * kRate), static_cast<std::size_t>(0.5 * kRate));
    };
    // Deck A alone at the start, the sampler's loop (through its echo) all along, deck B once it took over.
    EXPECT_GT(goertzel(second(0.2), 440.0, kRate), 0.03);
    EXPECT_LT(goertzel(second(0.2), 660.0, kRate), 0.005);
    for (double t = 0.2; t < 6.5; t += 1.0) EXPECT_GT(goertzel(second(t), 1000.0, kRate), 0.02) << "at " << t;
    EXPECT_GT(goertzel(second(4.2), 660.0, kRate), 0.03);
}

}  // namespace
}  // namespace korvex::test
