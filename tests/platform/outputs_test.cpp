// The outputs a user hears or records: the WAVE file written while playing, the mode choice and fallback,
// and the real sound-card path through PortAudio into a headless sound server.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "platform/audio/audio_engine.h"
#include "platform/audio/audio_output.h"
#include "platform/audio/wav_writer.h"
#include "platform/media_player.h"
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
    writer.close();
    audio::WavWriter bad;
    EXPECT_FALSE(bad.open("/nonexistent-folder/x.wav", 44100, error));
    EXPECT_FALSE(error.empty());
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

TEST(OutputMode, WavOutputRecordsTheMixInRealTime) {
    const std::string dir = tempDir();
    writeWav16(dir + "/tone.wav", sine(440.0, 2.0));
    audio::AudioEngine engine;
    MediaPlayer player(engine, 0);
    player.setFileName(dir + "/tone.wav");
    player.waitUntilDecoded();
    player.play();
    std::string notice;
    auto output = audio::openOutput("wav:" + dir + "/out.wav", engine, notice);
    EXPECT_TRUE(notice.empty()) << notice;
    while (engine.framesRendered() < 22050) std::this_thread::yield();
    const auto partial = readSound(dir + "/out.wav");
    EXPECT_GE(partial.size() / 2, 11025u) << "readable while it grows";
    output->stop();
    const auto mix = readSound(dir + "/out.wav");
    EXPECT_NEAR(zeroCrossingFrequency(channel(mix, 0, 4410, 13230), 44100), 440.0, 0.5);
}

// Plays a tone through PortAudio's default device into a PulseAudio null sink and finds the tone in a
// recording of the sink's monitor.
TEST(PortAudioOutput, TheSoundCardPathCarriesTheTone) {
    if (std::system("command -v pulseaudio >/dev/null 2>&1 && command -v parec >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "pulseaudio is not installed (scripts/install-deps.sh installs it)";
    const std::string dir = tempDir();
    const std::string tool = KORVEX_PULSE_TOOL;
    ASSERT_EQ(std::system(("'" + tool + "' start '" + dir + "' > '" + dir + "/env'").c_str()), 0);
    const std::string run = dir + "/run";
    setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
    setenv("PULSE_SERVER", ("unix:" + run + "/pulse/native").c_str(), 1);

    writeWav16(dir + "/tone.wav", sine(523.25, 6.0));
    {
        audio::AudioEngine engine;
        MediaPlayer player(engine, 0);
        player.setFileName(dir + "/tone.wav");
        player.waitUntilDecoded();
        std::string notice;
        auto output = audio::openOutput("default", engine, notice);
        EXPECT_TRUE(notice.empty()) << notice;
        EXPECT_NE(output->describe().find("PortAudio"), std::string::npos);
        player.play();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the stream settles
        const int recorded =
            std::system(("'" + tool + "' record '" + dir + "' '" + dir + "/monitor.wav' 2").c_str());
        output->stop();
        EXPECT_EQ(WEXITSTATUS(recorded), 0);
    }
    std::system(("'" + tool + "' stop '" + dir + "'").c_str());
    unsetenv("PULSE_SERVER");

    const auto heard = readSound(dir + "/monitor.wav");
    ASSERT_GT(heard.size() / 2, 44100u);
    const auto middle = channel(heard, 0, heard.size() / 4, 22050);
    EXPECT_GT(rms(middle), 0.1);
    EXPECT_NEAR(zeroCrossingFrequency(middle, 44100), 523.25, 2.0);
}

}  // namespace
}  // namespace korvex::test
