// Every kind of file a deck opens, and the broken ones it must refuse without crashing.

#include <gtest/gtest.h>

#include <fstream>
#include <ostream>

#include "support/engine_rig.h"
#include "support/signals.h"

namespace korvex::test {
namespace {

std::string fixture(const char* name) { return std::string(KORVEX_TEST_DATA) + "/" + name; }

struct Format {
    const char* file;
    double duration;
    double frequency;
    friend void PrintTo(const Format& format, std::ostream* os) { *os << format.file; }
};

class DeckFormats : public ::testing::TestWithParam<Format> {};

TEST_P(DeckFormats, OpensWithADurationAndPlaysItsTone) {
    const Format format = GetParam();
    EngineRig rig;
    rig.player.setFileName(fixture(format.file));
    ASSERT_FALSE(rig.player.hasError()) << rig.player.errorText();
    EXPECT_NEAR(rig.player.duration(), format.duration, 0.15) << "known as soon as the file is open";
    rig.player.waitUntilDecoded();
    EXPECT_NEAR(rig.player.duration(), format.duration, 0.15);
    rig.player.play();
    const auto out = rig.render(0.8);
    const auto steady = channel(out, 0, 8820, 22050);
    EXPECT_GT(rms(steady), 0.02);
    EXPECT_NEAR(zeroCrossingFrequency(steady, EngineRig::kRate), format.frequency, 2.0);
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, DeckFormats,
                         ::testing::Values(Format{"tone440.mp3", 2.0, 440.0}, Format{"tone440.wma", 2.0, 440.0},
                                           Format{"tone440.mpg", 2.0, 440.0},
                                           Format{"tone440_mono22k.wav", 2.0, 440.0},
                                           Format{"tone440.mid", 3.0, 440.0}),
                         [](const ::testing::TestParamInfo<Format>& entry) {
                             std::string name = entry.param.file;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

TEST(DeckBrokenFiles, TruncatedMp3PlaysWhatItHoldsAndEndsCleanly) {
    EngineRig rig;
    rig.player.setFileName(fixture("truncated660.mp3"));
    ASSERT_FALSE(rig.player.hasError());
    rig.player.waitUntilDecoded();
    const double held = rig.player.duration();
    EXPECT_GT(held, 5.0);
    EXPECT_LT(held, 7.0);
    rig.player.setCurrentPosition(held - 0.5);
    rig.player.play();
    const auto out = rig.render(1.0);
    EXPECT_EQ(rig.endEvents, 1);
    EXPECT_EQ(rig.player.playState(), 0);
    EXPECT_NEAR(zeroCrossingFrequency(channel(out, 0, 2205, 13230), EngineRig::kRate), 660.0, 2.0);
    EXPECT_LT(rms(channel(out, 0, 26460)), 1e-6) << "silent after the end";
}

TEST(DeckBrokenFiles, UnplayableFilesSetHasError) {
    const std::string dir = tempDir();
    for (const std::string& path : {fixture("text.mp3"), fixture("empty.mp3"), fixture("random.mp3"),
                                     dir + "/missing.mp3", dir, fixture("make-fixtures.sh")}) {
        SCOPED_TRACE(path);
        EngineRig rig;
        rig.player.setFileName(path);
        EXPECT_TRUE(rig.player.hasError());
        EXPECT_FALSE(rig.player.errorText().empty());
        EXPECT_EQ(rig.player.duration(), 0.0);
        rig.player.play();
        rig.player.setCurrentPosition(1.0);
        const auto out = rig.render(0.1);
        EXPECT_EQ(rig.player.playState(), 0);
        EXPECT_LT(rms(channel(out, 0)), 1e-6);
    }
}

TEST(DeckBrokenFiles, DamagedMidiSetsHasError) {
    const std::string dir = tempDir();
    const std::string path = dir + "/cut.mid";
    std::ifstream in(fixture("tone440.mid"), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(path, std::ios::binary) << bytes.substr(0, 10);
    EngineRig rig;
    rig.player.setFileName(path);
    EXPECT_TRUE(rig.player.hasError());
    // A good file afterwards clears the error.
    rig.player.setFileName(fixture("tone440.mp3"));
    EXPECT_FALSE(rig.player.hasError());
}

}  // namespace
}  // namespace korvex::test
