// Saving a take as FLAC, MP3 or Ogg Vorbis: made from the take's WAVE, it plays the same sound; a cancel or a
// failure leaves no half-written file and keeps what was at the destination.

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "platform/recording_formats.h"
#include "support/signals.h"

namespace korvex::test {
namespace {

TEST(RecordingFormats, EachFormatHoldsTheTakesToneAndLength) {
    const std::string dir = tempDir();
    const std::string wave = dir + "/take.wav";
    writeWav16(wave, sine(440.0, 3.0));
    const std::vector<float> original = readSound(wave);
    for (const auto& [name, format, container] :
         {std::tuple{"set.flac", SaveFormat::Flac, SF_FORMAT_FLAC},
          std::tuple{"set.MP3", SaveFormat::Mp3, SF_FORMAT_MPEG},
          std::tuple{"set.ogg", SaveFormat::OggVorbis, SF_FORMAT_OGG}}) {
        SCOPED_TRACE(name);
        const std::string out = dir + "/" + name;
        ASSERT_EQ(saveFormatFor(out), format);
        double last = 0.0;
        int calls = 0;
        std::string error;
        ASSERT_TRUE(convertRecording(
            wave, out, format,
            [&](double share) {
                EXPECT_GE(share, last);
                last = share;
                ++calls;
                return true;
            },
            error))
            << error;
        EXPECT_GT(calls, 10);
        EXPECT_DOUBLE_EQ(last, 1.0);
        EXPECT_FALSE(std::filesystem::exists(out + ".part"));
        SF_INFO info{};
        SNDFILE* file = sf_open(out.c_str(), SFM_READ, &info);
        ASSERT_NE(file, nullptr);
        sf_close(file);
        EXPECT_EQ(info.format & SF_FORMAT_TYPEMASK, container);
        int rate = 0;
        const std::vector<float> back = readSound(out, &rate);
        EXPECT_EQ(rate, 44100);
        if (format == SaveFormat::Flac) {
            EXPECT_EQ(back, original) << "FLAC is lossless";
            continue;
        }
        // Lossy coders add a little padding at the ends, never a drift.
        EXPECT_NEAR(static_cast<double>(back.size()) / 2.0, 3.0 * 44100, 0.05 * 44100);
        const std::vector<float> middle = channel(back, 1, 44100, 44100);
        EXPECT_NEAR(zeroCrossingFrequency(middle, 44100), 440.0, 0.5);
        EXPECT_NEAR(rms(middle), 0.5 / std::sqrt(2.0), 0.02);
    }
    EXPECT_EQ(saveFormatFor(dir + "/set.wav"), SaveFormat::Wave);
    EXPECT_FALSE(hasSaveEnding(dir + "/set.aiff"));
    EXPECT_FALSE(hasSaveEnding(dir + ".mp3/set"));
}

TEST(RecordingFormats, ACancelOrAFailureLeavesTheDestinationAsItWas) {
    const std::string dir = tempDir();
    const std::string wave = dir + "/take.wav";
    writeWav16(wave, sine(440.0, 2.0));
    const std::string out = dir + "/set.mp3";
    std::ofstream(out) << "an older set";
    std::string error;
    int calls = 0;
    EXPECT_FALSE(convertRecording(
        wave, out, SaveFormat::Mp3, [&](double) { return ++calls < 3; }, error));
    EXPECT_EQ(error, "cancelled");
    EXPECT_EQ(std::filesystem::file_size(out), 12u) << "the older file was touched";
    EXPECT_FALSE(std::filesystem::exists(out + ".part"));

    EXPECT_FALSE(convertRecording(wave, dir + "/no such folder/set.flac", SaveFormat::Flac, {}, error));
    EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
    EXPECT_FALSE(convertRecording(dir + "/missing.wav", out, SaveFormat::Flac, {}, error));
    EXPECT_NE(error.find("cannot read"), std::string::npos) << error;
    EXPECT_EQ(std::filesystem::file_size(out), 12u);
}

}  // namespace
}  // namespace korvex::test
