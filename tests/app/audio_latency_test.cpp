// `--audio-latency=MS`: the figure a user asks the sound device for.

#include <gtest/gtest.h>

#include "app/audio_session.h"
#include "platform/audio/audio_output.h"

namespace korvex::app {
namespace {

TEST(AudioLatencyOption, TakesMillisecondsAndRefusesWhatIsNotAFigureInRange) {
    EXPECT_EQ(chooseLatencyMs({}), 0.0) << "absent: the default";
    EXPECT_EQ(chooseLatencyMs({"--audio-output=null", "--audio-latency=80"}), 80.0);
    EXPECT_EQ(chooseLatencyMs({"--audio-latency=12.5"}), 12.5);
    EXPECT_EQ(chooseLatencyMs({"--audio-latency=2"}), 2.0);
    EXPECT_EQ(chooseLatencyMs({"--audio-latency=1000"}), 1000.0);
    for (const char* bad : {"--audio-latency=", "--audio-latency=fast", "--audio-latency=1",
                            "--audio-latency=5000", "--audio-latency=40ms", "--audio-latency=-10"})
        EXPECT_EQ(chooseLatencyMs({bad}), 0.0) << bad;
}

// The device's callbacks grow with the latency (fewer wake-ups) but never past a quarter of it.
TEST(AudioLatencyOption, CallbacksAreAtMostAQuarterOfTheLatency) {
    EXPECT_EQ(audio::callbackFrames(100.0, 44100), 1024u) << "the default latency";
    EXPECT_EQ(audio::callbackFrames(1000.0, 44100), 1024u);
    EXPECT_EQ(audio::callbackFrames(40.0, 44100), 256u);
    EXPECT_EQ(audio::callbackFrames(2.0, 44100), 64u);
}

}  // namespace
}  // namespace korvex::app
