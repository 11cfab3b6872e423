// The sound thread's scheduling through the real PortAudio -> PulseAudio path: real-time when the process
// may, and a plain word on stderr when it may not.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>

#include "platform/audio/audio_engine.h"
#include "platform/audio/audio_output.h"
#include "platform/media_player.h"
#include "platform/platform_support.h"
#include "support/signals.h"

namespace korvex::test {
namespace {

std::string run(const std::string& command) { return runCommand(command).output; }

TEST(RealtimeOutput, TwoDecksPlayAndARefusalOfRealTimeIsSaidOnce) {
    if (::geteuid() != 0 || std::system("command -v setpriv > /dev/null") != 0)
        GTEST_SKIP() << "needs root and setpriv to take the right to real-time scheduling away";
    const std::string dir = tempDir();
    const std::string tool = KORVEX_PULSE_TOOL;
    if (std::system(("'" + tool + "' start '" + dir + "' > /dev/null").c_str()) != 0)
        GTEST_SKIP() << "no PulseAudio server could be started";
    const std::string env = "PULSE_SERVER='unix:" + dir + "/run/pulse/native' ";
    const std::string song = std::string(KORVEX_TEST_DATA) + "/tone440.mp3";
    const std::string play = std::string("'") + KORVEX_PLAYCHECK_EXE + "' '" + song + "' '" + song + "' 1";
    const std::string refusal =
        "korvex: the sound runs at normal priority (real-time scheduling was refused); a busy machine may "
        "interrupt it\n";

    const std::string allowed = run(env + play);
    const std::string refused = run(env + "setpriv --bounding-set=-sys_nice --inh-caps=-sys_nice " + play);
    std::system(("'" + tool + "' stop '" + dir + "'").c_str());

    EXPECT_NE(allowed.find("underflows=0 output=PortAudio"), std::string::npos) << allowed;
    EXPECT_EQ(allowed.find("normal priority"), std::string::npos) << allowed;
    EXPECT_NE(refused.find("output=PortAudio"), std::string::npos) << refused;
    const auto at = refused.find(refusal);
    EXPECT_NE(at, std::string::npos) << refused;
    EXPECT_EQ(refused.find(refusal, at + 1), std::string::npos) << "said once";
}

// Frames the engine renders in `span`, its events delivered meanwhile.
std::uint64_t framesIn(audio::AudioEngine& engine, std::chrono::milliseconds span) {
    const std::uint64_t before = engine.framesRendered();
    const auto end = std::chrono::steady_clock::now() + span;
    while (std::chrono::steady_clock::now() < end) {
        engine.dispatchEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return engine.framesRendered() - before;
}

// A player with nothing to sound lets its sound device rest (no callbacks), and the next command wakes it:
// the song sounds from its first beat, without a gap or an underflow.
TEST(RealtimeOutput, AnIdleEngineRestsAndAPlayWakesItWithNothingLost) {
    const std::string dir = tempDir();
    const std::string tool = KORVEX_PULSE_TOOL;
    if (std::system(("'" + tool + "' start '" + dir + "' > /dev/null").c_str()) != 0)
        GTEST_SKIP() << "no PulseAudio server could be started";
    // The server goes however the test ends (a failed assertion returns early).
    struct Stop {
        std::string command;
        ~Stop() { std::system(command.c_str()); }
    } stop{"'" + tool + "' stop '" + dir + "'"};
    ::setenv("XDG_RUNTIME_DIR", (dir + "/run").c_str(), 1);
    ::setenv("PULSE_SERVER", ("unix:" + dir + "/run/pulse/native").c_str(), 1);
    {
        audio::AudioEngine engine;
        MediaPlayer player(engine, 0);
        player.setFileName(std::string(KORVEX_TEST_DATA) + "/tone440.mp3");
        player.waitUntilDecoded();
        std::string notice;
        auto output = audio::openOutput("default", engine, notice);
        ASSERT_NE(output, nullptr);
        ASSERT_NE(output->describe().find("PortAudio"), std::string::npos) << output->describe();

        // Loaded and stopped: within a few seconds the callbacks stop.
        bool rested = false;
        for (int i = 0; i < 40 && !rested; ++i) rested = framesIn(engine, std::chrono::milliseconds(300)) == 0;
        ASSERT_TRUE(rested) << "the device never rested";
        EXPECT_EQ(framesIn(engine, std::chrono::milliseconds(500)), 0u) << "a resting device stays asleep";

        const std::string recording = dir + "/woken.wav";
        auto recorder = std::async(std::launch::async, [&] {
            return runCommand("'" + tool + "' record '" + dir + "' '" + recording + "' 2");
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        player.play();
        EXPECT_GT(framesIn(engine, std::chrono::milliseconds(1500)), 44100u) << "the command woke the device";
        recorder.wait();
        EXPECT_EQ(output->underflows(), 0u);

        // The tone starts once and then runs without a hole to the recording's end.
        const std::vector<float> left = channel(readSound(recording), 0);
        ASSERT_GT(left.size(), 44100u);
        std::size_t first = 0;
        while (first < left.size() && std::fabs(left[first]) < 0.01f) ++first;
        ASSERT_LT(first, left.size() - 22050) << "the tone was heard";
        const std::vector<float> heard(left.begin() + static_cast<std::ptrdiff_t>(first) + 2205, left.end() - 2205);
        EXPECT_NEAR(zeroCrossingFrequency(heard, 44100), 440.0, 2.0);
        std::size_t quiet = 0, longest = 0;
        for (float x : heard) longest = std::max(longest, quiet = std::fabs(x) < 0.001f ? quiet + 1 : 0);
        EXPECT_LT(longest, 20u) << "a gap of " << longest << " frames";
        output->stop();
    }
}

}  // namespace
}  // namespace korvex::test
