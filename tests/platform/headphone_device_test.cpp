// The headphones on a second sound device through the real PortAudio -> ALSA -> PulseAudio path: a private
// sound server with two null sinks, the master on one and the headphones on the other (an ALSA device of its
// own, named in a private ~/.asoundrc), both sinks' monitors recorded while two decks play.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>

#include "platform/platform_support.h"

namespace korvex::test {
namespace {

double db(double v) { return 20.0 * std::log10(v + 1e-12); }

TEST(HeadphoneDevice, OnlyThePrelistenedDeckReachesTheSecondDevice) {
    const std::string dir = tempDir();
    const std::string tool = KORVEX_PULSE_TOOL;
    if (std::system(("'" + tool + "' start '" + dir + "' > /dev/null").c_str()) != 0)
        GTEST_SKIP() << "no PulseAudio server could be started";
    const std::string home = dir + "/home";
    const std::string env = "XDG_RUNTIME_DIR='" + dir + "/run' PULSE_SERVER='unix:" + dir +
                            "/run/pulse/native' HOME='" + home + "' ";
    const std::string loaded = runCommand(env + "pactl load-module module-null-sink sink_name=korvex_phones "
                                                "rate=44100 channels=2 norewinds=1 && " +
                                          env + "pactl set-default-sink korvex_null")
                                   .output;
    {
        std::ofstream asoundrc(home + "/.asoundrc");
        asoundrc << "pcm.korvex_phones { type pulse; device korvex_phones }\n";
    }
    // Deck A plays 440 Hz, deck B (pre-listened) 1 kHz; both sinks' monitors are recorded while they play.
    writeWav16(dir + "/a.wav", sine(440.0, 12.0));
    writeWav16(dir + "/b.wav", sine(1000.0, 12.0));
    const std::string rec = "timeout -s INT 3 parec --format=s16le --rate=44100 --channels=2 --latency-msec=20 ";
    const std::string script =
        env + "'" + KORVEX_PLAYCHECK_EXE + "' '" + dir + "/a.wav' '" + dir + "/b.wav' 6 --headphones=korvex_phones > '" +
        dir + "/play.txt' 2>&1 & sleep 2; " + env + rec + "--device=korvex_null.monitor > '" + dir + "/master.raw' & " +
        env + rec + "--device=korvex_phones.monitor > '" + dir + "/phones.raw'; wait";
    runCommand("bash -c \"" + script + "\"");
    std::system(("'" + tool + "' stop '" + dir + "'").c_str());
    const std::string played = runCommand("cat '" + dir + "/play.txt'").output;

    auto read = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::vector<float> left;
        std::int16_t frame[2];
        while (in.read(reinterpret_cast<char*>(frame), sizeof frame)) left.push_back(frame[0] / 32768.0f);
        return left;
    };
    const auto master = read(dir + "/master.raw");
    const auto phones = read(dir + "/phones.raw");
    ASSERT_GT(master.size(), 44100u) << loaded << played;
    ASSERT_GT(phones.size(), 44100u) << loaded << played;
    // The loudest half second of each tone (a machine busy with other tests may hold either stream up for a
    // moment), and everything recorded for what must not be there.
    auto loudest = [](const std::vector<float>& x, double freq) {
        double best = 0.0;
        for (std::size_t at = 0; at + 22050 <= x.size(); at += 11025)
            best = std::max(best, goertzel(std::vector<float>(x.begin() + static_cast<std::ptrdiff_t>(at),
                                                              x.begin() + static_cast<std::ptrdiff_t>(at + 22050)),
                                           freq, 44100));
        return db(best);
    };
    // The crossfader rests at deck A: the room hears A alone, the headphones B alone.
    EXPECT_GT(loudest(master, 440.0), -40.0) << played;
    EXPECT_LT(loudest(master, 1000.0), -60.0) << played;
    EXPECT_GT(loudest(phones, 1000.0), -40.0) << played;
    EXPECT_LT(loudest(phones, 440.0), -60.0) << "only the pre-listened deck" << played;
    EXPECT_NE(played.find("phones=headphones: korvex_phones"), std::string::npos) << played;
}

}  // namespace
}  // namespace korvex::test
