// Keylock through the real engine, rendered offline: the pitch stays, the tempo follows the rate, the
// reported position is what is heard, and switching, seeking and long runs neither jump nor drift.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "platform/platform_support.h"
#include "support/engine_rig.h"

namespace korvex::test {
namespace {

constexpr std::size_t kBlock = 256;

// Silence with a 440 Hz tone switched on sharply at each of `onsets` (seconds) for 0.3 s.
std::vector<float> bursts(double seconds, const std::vector<double>& onsets, int rate) {
    std::vector<float> out(static_cast<std::size_t>(seconds * rate) * 2, 0.0f);
    for (const double onset : onsets) {
        const auto first = static_cast<std::size_t>(onset * rate);
        for (std::size_t i = 0; i < static_cast<std::size_t>(0.3 * rate) && first + i < out.size() / 2; ++i) {
            const auto v = static_cast<float>(
                0.5 * std::sin(2.0 * std::numbers::pi * 440.0 * static_cast<double>(i) / rate));
            out[2 * (first + i)] = out[2 * (first + i) + 1] = v;
        }
    }
    return out;
}

// Renders block by block until the deck plays past `songSeconds`, or for at most `limit` seconds, and
// returns where the first sound at or after `songSeconds` is heard, as the deck's reported position at
// that output frame minus `songSeconds` (positive: the deck says it is later than what is heard).
double heardAgainstReported(EngineRig& rig, double songSeconds, double limit) {
    const double rate = rig.player.rate();
    double before = rig.player.currentPosition();
    for (std::size_t done = 0; done < static_cast<std::size_t>(limit * kRate); done += kBlock) {
        const auto block = rig.output.render(kBlock);
        const double after = rig.player.currentPosition();
        // Only sound the deck says belongs at or just before the onset counts (earlier bursts are far away).
        if (after > songSeconds - 0.05) {
            for (std::size_t i = 0; i < kBlock; ++i) {
                if (std::abs(block[2 * i]) > 0.25f) {
                    const double at = before + static_cast<double>(i) * rate / kRate;
                    return at - songSeconds;
                }
            }
        }
        before = after;
    }
    return HUGE_VAL;
}

class Keylock : public ::testing::Test {
protected:
    void SetUp() override { dir_ = tempDir(); }
    std::string dir_;
    EngineRig rig_;
};

TEST_F(Keylock, KeepsThePitchAndPlaysTheSongInItsTimeAtTheRate) {
    const std::string tone = dir_ + "/tone.wav";
    writeWav16(tone, sine(440.0, 3.0));
    for (const bool locked : {true, false}) {
        SCOPED_TRACE(locked);
        EngineRig rig;
        rig.load(tone);
        rig.player.setKeylock(locked);
        rig.player.setRate(1.07);
        rig.player.play();
        const auto left = channel(rig.render(3.5), 0);
        EXPECT_EQ(rig.endEvents, 1);
        EXPECT_NEAR(zeroCrossingFrequency(
                        std::vector<float>(left.begin() + kRate / 2, left.begin() + 2 * kRate), kRate),
                    locked ? 440.0 : 440.0 * 1.07, 1.0);
        std::size_t last = 0;
        for (std::size_t i = 0; i < left.size(); ++i)
            if (std::abs(left[i]) > 0.05f) last = i;
        EXPECT_NEAR(static_cast<double>(last) / kRate, 3.0 / 1.07, 0.01)
            << "the song lasts 1/1.07 of its length";
    }
}

// On and off while it plays: the position goes on as if nothing happened, and the sound neither stops
// nor jumps (the old path fades out while the new one fades in); jumps are faded as ever.
TEST_F(Keylock, SwitchingWhilePlayingNeitherJumpsNorLeavesAGap) {
    const std::string tone = dir_ + "/tone.wav";
    writeWav16(tone, sine(440.0, 4.0));
    rig_.load(tone);
    rig_.player.setRate(1.07);
    rig_.player.play();
    rig_.render(0.3);
    std::vector<float> out;
    std::vector<double> steps;
    double last = rig_.player.currentPosition();
    for (int i = 0; i < 8; ++i) {
        rig_.player.setKeylock(i % 2 == 0);
        for (int b = 0; b < 40; ++b) {
            const auto block = rig_.output.render(kBlock);
            out.insert(out.end(), block.begin(), block.end());
            steps.push_back(rig_.player.currentPosition() - last);
            last = rig_.player.currentPosition();
        }
    }
    for (const double step : steps)
        ASSERT_NEAR(step, kBlock * 1.07 / kRate, 1e-9) << "the position never jumps";
    const auto left = channel(out, 0);
    double quietest = HUGE_VAL;
    for (std::size_t i = 0; i + kBlock <= left.size(); i += kBlock / 4)
        quietest = std::min(quietest, rms(std::vector<float>(left.begin() + i, left.begin() + i + kBlock)));
    EXPECT_GT(quietest, 0.2) << "no gap";

    // Keylocked, the pause loop's returns (as cue, search and jog, jumps), a pause and a restart are faded
    // as without it.
    rig_.player.setKeylock(true);
    for (int i = 0; i < 6; ++i) {
        if (i == 5) rig_.player.pause();
        const auto part = rig_.render(0.09);
        out.insert(out.end(), part.begin(), part.end());
        rig_.player.setCurrentPosition(1.23456);
    }
    rig_.player.play();
    const auto part = rig_.render(0.3);
    out.insert(out.end(), part.begin(), part.end());
    EXPECT_NEAR(zeroCrossingFrequency(channel(part, 0, part.size() / 4), kRate), 440.0, 1.0);
    const double own = 0.5 * 2.0 * std::numbers::pi * 440.0 * 1.07 / kRate;
    EXPECT_LT(maxStep(channel(out, 0)), own * 1.25) << "no jump in the sound";
}

// What the deck reports is what is heard, as a song starts, after a seek and after a jump back (the pause
// loop, cue and search all jump), and a seek lands where it was sent.
TEST_F(Keylock, TheReportedPositionIsWhatIsHeard) {
    const std::string song = dir_ + "/bursts.wav";
    writeWav16(song, bursts(8.0, {0.5, 3.0, 6.0}, kRate));
    rig_.load(song);
    rig_.player.setKeylock(true);
    rig_.player.setRate(1.07);
    rig_.player.play();
    EXPECT_NEAR(heardAgainstReported(rig_, 0.5, 1.0), 0.0, 0.005) << "from the start";
    rig_.player.setCurrentPosition(5.5);
    EXPECT_NEAR(heardAgainstReported(rig_, 6.0, 1.0), 0.0, 0.005) << "after a seek";
    rig_.player.setCurrentPosition(2.9);
    EXPECT_NEAR(heardAgainstReported(rig_, 3.0, 1.0), 0.0, 0.005) << "after a jump back";
    rig_.player.setRate(0.93);
    rig_.player.setCurrentPosition(5.0);
    EXPECT_NEAR(heardAgainstReported(rig_, 6.0, 2.0), 0.0, 0.005) << "slower";
}

// Ten minutes at +8 %: the keylocked deck is where a deck without keylock is, and its sound is still
// where it says it is.
TEST_F(Keylock, TenMinutesAtPlusEightPercentDoNotDrift) {
    constexpr int kSongRate = 11025;
    constexpr double kMinutes = 10.0;
    const double onset = kMinutes * 60.0 * 1.08 + 0.5;
    const std::string song = dir_ + "/long.wav";
    writeWav16(song, bursts(onset + 1.0, {onset}, kSongRate), kSongRate);
    EngineRig plain;
    plain.load(song);
    rig_.load(song);
    rig_.player.setKeylock(true);
    // The pitch slider goes to +8 % after the first seconds, while both play.
    constexpr std::size_t kChunk = kBlock * 64;
    for (EngineRig* rig : {&plain, &rig_}) {
        rig->player.play();
        rig->output.render(kChunk, kBlock);
        rig->player.setRate(1.08);
    }
    for (std::size_t done = kChunk; done < static_cast<std::size_t>(kMinutes * 60.0 * kRate);
         done += kChunk) {
        rig_.output.render(kChunk, kBlock);
        plain.output.render(kChunk, kBlock);
    }
    EXPECT_NEAR(rig_.player.currentPosition(), plain.player.currentPosition(), 0.001);
    EXPECT_NEAR(rig_.player.currentPosition(), kMinutes * 60.0 * 1.08, 0.05) << "it played all the while";
    EXPECT_NEAR(heardAgainstReported(rig_, onset, 2.0), 0.0, 0.005);
}

}  // namespace
}  // namespace korvex::test
