// The outputs a user hears or records: the WAVE file written while playing, the mode choice and fallback.
// The WAVE output and the sound-card path are heard end to end by the window tests and the input capture.

#include <gtest/gtest.h>

#include <thread>

#include "platform/audio/audio_engine.h"
#include "platform/audio/audio_output.h"
#include "platform/audio/wav_writer.h"
#include "support/signals.h"

namespace korvex::test {
namespace {

TEST(WavWriter, FileIsReadableAfterEveryWrite) {
    const std::string path = tempDir() + "/mix.wav";
    audio::WavWriter writer;
    std::string error;
    ASSERT_TRUE(writer.open(path, 44100, error)) << error;
    const auto tone = sine(440.0, 0.5);
    for (int part = 1; part <= 3; ++part) {
        ASSERT_TRUE(writer.write(tone.data(), tone.size() / 2));
        // Read back without closing, as a crashed process would leave it.
        int rate = 0;
        const auto back = readSound(path, &rate);
        EXPECT_EQ(rate, 44100);
        ASSERT_EQ(back.size(), tone.size() * static_cast<std::size_t>(part));
        EXPECT_EQ(back[1000], tone[1000]) << "float samples are written exactly";
    }
    writer.close();  // a file that cannot be opened falls back to the null output (below)
}

TEST(OutputMode, OptionWinsOverEnvironmentAndDefaultIsTheSoundCard) {
    EXPECT_EQ(audio::chooseOutputMode({"--audio-output=null"}, "wav:/tmp/x.wav"), "null");
    EXPECT_EQ(audio::chooseOutputMode({"-x"}, "wav:/tmp/x.wav"), "wav:/tmp/x.wav");
    EXPECT_EQ(audio::chooseOutputMode({}, nullptr), "default");
    EXPECT_EQ(audio::chooseOutputMode({}, ""), "default");
}

TEST(OutputMode, AnUnopenableOutputFallsBackToNullWithANotice) {
    audio::AudioEngine engine;
    std::string notice;
    auto output = audio::openOutput("wav:/nonexistent-folder/x.wav", engine, notice);
    ASSERT_NE(output, nullptr);
    EXPECT_EQ(output->describe(), "null");
    EXPECT_NE(notice.find("playing silently"), std::string::npos);
    // The null output keeps time: frames advance while nothing is heard.
    const auto before = engine.framesRendered();
    while (engine.framesRendered() < before + 2048) std::this_thread::yield();
    output->stop();
}

}  // namespace
}  // namespace korvex::test
