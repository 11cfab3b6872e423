// Recording input: the ring between the producing thread and the writer, the choice of source, the format
// conversion, lost frames, and the capture device heard through a headless sound server.

#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

#include "platform/audio/audio_engine.h"
#include "platform/audio/audio_output.h"
#include "platform/audio/manual_output.h"
#include "platform/capture.h"
#include "platform/dsp/format_converter.h"
#include "platform/media_player.h"
#include "platform/wave_recording.h"
#include "support/signals.h"

namespace korvex::test {
namespace {

TEST(CaptureRing, KeepsOrderAcrossTheWrapAndCountsWhatDidNotFit) {
    audio::CaptureRing ring(8);
    ASSERT_EQ(ring.capacity(), 8u);
    std::vector<float> frames(2 * 12);
    for (std::size_t i = 0; i < frames.size(); ++i) frames[i] = static_cast<float>(i);
    ring.write_rt(frames.data(), 6);
    std::vector<float> out(2 * 8);
    EXPECT_EQ(ring.read(out.data(), 4), 4u);
    EXPECT_EQ(out[7], 7.0f);
    // Two frames still wait, so six more fit.
    ring.write_rt(frames.data() + 12, 6);
    EXPECT_EQ(ring.lostFrames(), 0u);
    ring.write_rt(frames.data(), 3);
    EXPECT_EQ(ring.lostFrames(), 3u);
    ASSERT_EQ(ring.read(out.data(), 8), 8u);
    EXPECT_EQ(out[0], 8.0f) << "frame 4 comes next";
    EXPECT_EQ(out[2 * 2], 12.0f) << "then the second write, across the wrap";
    EXPECT_EQ(out[7 * 2], 22.0f);
    EXPECT_EQ(ring.available(), 0u);
}

TEST(RecordSource, OptionWinsOverEnvironmentAndTheMixIsTheDefault) {
    EXPECT_EQ(audio::chooseRecordSource({"--record-source=mix"}, "input"), "mix");
    EXPECT_EQ(audio::chooseRecordSource({"--record-source=input"}, "mix"), "input");
    EXPECT_EQ(audio::chooseRecordSource({}, "input"), "input");
    EXPECT_EQ(audio::chooseRecordSource({}, nullptr), "mix");
    EXPECT_EQ(audio::chooseRecordSource({}, ""), "mix");
    EXPECT_FALSE(audio::isRecordSource("speakers"));
    EXPECT_TRUE(audio::isRecordSource("input"));
}

// The recorder's tests hear the converted tone's pitch and level in every saved format; here the frame count
// and the clipping of samples beyond full scale.
TEST(FormatConverter, EveryInputFrameHasItsOutputAndLoudSamplesClip) {
    const auto tone = sine(1000.0, 1.0, 44100, 0.5f);
    dsp::FormatConverter converter(44100, 22050, 1, 8);
    std::vector<std::int16_t> out;
    for (std::size_t done = 0; done < tone.size() / 2; done += 1000)
        converter.push(tone.data() + done * 2, std::min<std::size_t>(1000, tone.size() / 2 - done), out);
    converter.flush(out);
    EXPECT_EQ(out.size(), 22050u);
    EXPECT_EQ(dsp::toPcm16(1.5f), 32767);
    EXPECT_EQ(dsp::toPcm16(-1.0f), -32767);
    EXPECT_EQ(dsp::toPcm8(-2.0f), -127 * 256);
}

TEST(WaveRecording, ASlowWriterLosesFramesCountedNeverSilently) {
    const std::string dir = tempDir();
    audio::AudioEngine engine;
    audio::WaveRecording recording(dir, "lost", 1024);
    std::string error;
    ASSERT_EQ(recording.start(audio::makeMixCapture(engine), error),
              audio::WaveRecording::StartResult::kStarted)
        << error;
    std::vector<float> block(44100 * 2);
    engine.render_rt(block.data(), 44100);  // one second in one go: far more than the ring holds
    recording.stop();
    EXPECT_EQ(recording.lostFrames(), 44100u - 1024u);
    EXPECT_EQ(recording.save(dir + "/lost.wav", error), audio::WaveRecording::SaveResult::kIncomplete);
    EXPECT_NE(error.find("lost"), std::string::npos) << error;
}

// Plays a tone through PortAudio's default device into a PulseAudio null sink and records the default
// capture device, which is the sink's monitor: the recording holds the tone, so both the sound-card path
// and the capture path work.
TEST(InputCapture, TheCaptureDeviceRecordsWhatThePlayerPlaysIntoTheSink) {
    if (std::system("command -v pulseaudio >/dev/null 2>&1 && command -v parec >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "pulseaudio is not installed (scripts/install-deps.sh installs it)";
    const std::string dir = tempDir();
    const std::string tool = KORVEX_PULSE_TOOL;
    ASSERT_EQ(std::system(("'" + tool + "' start '" + dir + "' > '" + dir + "/env'").c_str()), 0);
    const std::string run = dir + "/run";
    setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
    setenv("PULSE_SERVER", ("unix:" + run + "/pulse/native").c_str(), 1);

    writeWav16(dir + "/tone.wav", sine(659.25, 8.0));
    std::string error;
    audio::WaveRecording::SaveResult saved = audio::WaveRecording::SaveResult::kWriteFailed;
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
        audio::WaveRecording recording(dir, "input");
        recording.setFormat({44100, 2, 16});
        ASSERT_EQ(recording.start(audio::makeInputCapture(), error),
                  audio::WaveRecording::StartResult::kStarted)
            << error;
        std::this_thread::sleep_for(std::chrono::milliseconds(2500));  // a real device runs at real time
        recording.stop();
        saved = recording.save(dir + "/input.wav", error);
        output->stop();
    }
    std::system(("'" + tool + "' stop '" + dir + "'").c_str());
    unsetenv("PULSE_SERVER");

    ASSERT_EQ(saved, audio::WaveRecording::SaveResult::kSaved) << error;
    const auto heard = readSound(dir + "/input.wav");
    ASSERT_GT(heard.size() / 2, 44100u);
    // A busy machine may let the sound server skip now and then: the tone's pitch is read in five short
    // windows and the middle value counts.
    std::vector<double> pitches;
    for (std::size_t w = 0; w < 5; ++w) {
        const auto part = channel(heard, 0, heard.size() / 8 + w * 8820, 8820);
        EXPECT_GT(rms(part), 0.1);
        pitches.push_back(zeroCrossingFrequency(part, 44100));
    }
    std::sort(pitches.begin(), pitches.end());
    EXPECT_NEAR(pitches[2], 659.25, 2.0);
}

// The sound server dies while the input is recorded and comes back: the capture opens again by itself, the
// file's time stays true (silence stands in for the gap, counted) and the player's output comes back too.
TEST(InputCapture, ARecordingOutlivesTheSoundServer) {
    if (std::system("command -v pulseaudio >/dev/null 2>&1 && command -v parec >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "pulseaudio is not installed (scripts/install-deps.sh installs it)";
    const std::string dir = tempDir();
    const std::string tool = KORVEX_PULSE_TOOL;
    auto server = [&](const char* command) {
        return std::system(("'" + tool + "' " + command + " '" + dir + "' > /dev/null").c_str());
    };
    ASSERT_EQ(server("start"), 0);
    const std::string run = dir + "/run";
    setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
    setenv("PULSE_SERVER", ("unix:" + run + "/pulse/native").c_str(), 1);
    auto waitFor = [](auto condition, int seconds) {
        for (int i = 0; i < seconds * 20 && !condition(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return condition();
    };

    std::string error;
    audio::WaveRecording::SaveResult saved = audio::WaveRecording::SaveResult::kWriteFailed;
    double gap = 0.0;
    double wall = 0.0;
    bool lost = false;
    bool back = false;
    {
        audio::AudioEngine engine;
        std::string notice;
        auto output = audio::openOutput("default", engine, notice);
        audio::WaveRecording recording(dir, "input");
        recording.setFormat({44100, 2, 16});
        const auto began = std::chrono::steady_clock::now();
        ASSERT_EQ(recording.start(audio::makeInputCapture(), error), audio::WaveRecording::StartResult::kStarted)
            << error;
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        server("stop");
        lost = waitFor([&] { return recording.inputLost(); }, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        server("start");
        back = waitFor([&] { return !recording.inputLost(); }, 15);
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        recording.stop();
        wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        gap = recording.gapSeconds();
        saved = recording.save(dir + "/input.wav", error);
        output->stop();
    }
    server("stop");
    unsetenv("PULSE_SERVER");

    EXPECT_TRUE(lost) << "the loss is seen";
    EXPECT_TRUE(back) << "the capture opens again once the server is back";
    ASSERT_EQ(saved, audio::WaveRecording::SaveResult::kSaved) << error;
    int rate = 0;
    const auto heard = readSound(dir + "/input.wav", &rate);
    ASSERT_EQ(rate, 44100);
    EXPECT_NEAR(static_cast<double>(heard.size() / 2) / rate, wall, 0.5) << "the file's time is the time that passed";
    EXPECT_GT(gap, 1.5);
    EXPECT_LT(gap, wall - 1.5);
}

}  // namespace
}  // namespace korvex::test
