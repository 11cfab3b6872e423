// The deck engine rendered by hand on generated signals: pitch, levels, selection, transport, de-clicking.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "platform/platform_support.h"
#include "support/engine_rig.h"

namespace korvex::test {
namespace {

class DeckPlayback : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = tempDir();
        tone_ = dir_ + "/tone440.wav";
        writeWav16(tone_, sine(440.0, 3.0));
    }
    std::string dir_;
    std::string tone_;
    EngineRig rig_;
};

TEST_F(DeckPlayback, RateIsVinylStyle) {
    rig_.load(tone_);
    rig_.player.play();
    auto out = rig_.render(1.0);
    EXPECT_NEAR(zeroCrossingFrequency(channel(out, 0, 4410), kRate), 440.0, 0.2);

    rig_.player.setRate(1.1);
    out = rig_.render(1.0);
    // The rate glides within one block; measure after it.
    EXPECT_NEAR(zeroCrossingFrequency(channel(out, 0, 4410), kRate), 484.0, 0.2);
    EXPECT_NEAR(rig_.player.currentPosition(), 1.0 + 1.1, 0.01);
}

// A song at a low rate is heard whole, from its first frame at its pitch to its last: a deck that starts
// takes its speed at once rather than gliding there from the last song's.
TEST_F(DeckPlayback, ASongAtALowRateIsHeardWholeAtItsPitch) {
    for (int rate : {8000, 22050}) {
        SCOPED_TRACE(rate);
        const std::string path = dir_ + "/low" + std::to_string(rate) + ".wav";
        writeWav16(path, sine(1000.0, 1.0, rate), rate);
        EngineRig rig;
        rig.load(path);
        rig.player.play();
        const auto left = channel(rig.render(1.2), 0);
        std::size_t last = 0;
        for (std::size_t i = 0; i < left.size(); ++i)
            if (std::abs(left[i]) > 0.01f) last = i;
        EXPECT_NEAR(static_cast<double>(last) / kRate, 1.0, 0.005) << "the song ends where it ends";
        EXPECT_NEAR(zeroCrossingFrequency(std::vector<float>(left.begin(), left.begin() + 441), kRate), 1000.0, 10.0)
            << "the first 10 ms";
    }
}

TEST_F(DeckPlayback, VolumeBalanceAndMuteSetChannelLevels) {
    rig_.load(tone_);
    // Muted before it starts, the deck is silent from its first block.
    rig_.player.setMute(true);
    rig_.player.play();
    EXPECT_LT(rms(channel(rig_.render(0.2), 0)), 1e-6);
    rig_.player.setMute(false);
    const auto reference = rig_.render(0.5);
    const double full = rms(channel(reference, 0, 4410));
    ASSERT_NEAR(full, 0.5 / std::sqrt(2.0), 0.01);

    rig_.player.setVolume(-600);
    auto out = rig_.render(0.5);
    EXPECT_NEAR(db(rms(channel(out, 0, 2048)) / full), -6.0, 0.05);
    EXPECT_NEAR(db(rms(channel(out, 1, 2048)) / full), -6.0, 0.05);

    rig_.player.setVolume(0);
    rig_.player.setBalance(1000);
    out = rig_.render(0.5);
    EXPECT_NEAR(db(rms(channel(out, 1, 2048)) / full), 0.0, 0.05);
    EXPECT_NEAR(db(rms(channel(out, 0, 2048)) / full), -10.0, 0.05);
    rig_.player.setBalance(-1000);
    out = rig_.render(0.5);
    EXPECT_NEAR(db(rms(channel(out, 0, 2048)) / full), 0.0, 0.05);
    EXPECT_NEAR(db(rms(channel(out, 1, 2048)) / full), -10.0, 0.05);

    rig_.player.setMute(true);
    out = rig_.render(0.3);
    EXPECT_LT(rms(channel(out, 0, 2048)), 1e-6);
    EXPECT_EQ(rig_.player.volume(), 0) << "mute leaves the volume alone";
    rig_.player.setMute(false);
    out = rig_.render(0.3);
    EXPECT_NEAR(db(rms(channel(out, 0, 2048)) / full), 0.0, 0.05);

    rig_.player.setVolume(-10000);
    out = rig_.render(0.3);
    EXPECT_LT(rms(channel(out, 0, 2048)), 1e-6);
}

// The equaliser sits in the deck's path: a killed band leaves the song, a raised one is louder, and flat
// again the song is as it was.
TEST_F(DeckPlayback, TheEqualiserShapesWhatTheDeckPlays) {
    auto bass = sine(70.0, 3.0);
    const auto treble = sine(7000.0, 3.0);
    for (std::size_t i = 0; i < bass.size(); ++i) bass[i] = 0.5f * (bass[i] + treble[i]);
    const std::string path = dir_ + "/two.wav";
    writeWav16(path, bass);
    rig_.load(path);
    rig_.player.play();
    const auto plain = channel(rig_.render(0.5), 1, 4410);
    rig_.player.setEqualizer(-HUGE_VAL, 0.0, 6.0);
    const auto shaped = channel(rig_.render(0.5), 1, 4410);
    EXPECT_LT(db(goertzel(shaped, 70.0, kRate) / goertzel(plain, 70.0, kRate)), -60.0);
    EXPECT_NEAR(db(goertzel(shaped, 7000.0, kRate) / goertzel(plain, 7000.0, kRate)), 6.0, 0.1);
    rig_.player.setEqualizer(0.0, 0.0, 0.0);
    rig_.render(0.1);
    const auto flat = channel(rig_.render(0.5), 1, 4410);
    EXPECT_NEAR(db(goertzel(flat, 70.0, kRate) / goertzel(plain, 70.0, kRate)), 0.0, 0.01);
}

TEST_F(DeckPlayback, SelectionBoundsWhatPlaysAndEndFiresOnce) {
    // Three regions of different pitch: only the middle one lies inside the selection.
    auto signal = sine(300.0, 0.5);
    const auto middle = sine(440.0, 0.5);
    const auto last = sine(600.0, 1.0);
    signal.insert(signal.end(), middle.begin(), middle.end());
    signal.insert(signal.end(), last.begin(), last.end());
    const std::string path = dir_ + "/regions.wav";
    writeWav16(path, signal);
    rig_.load(path);
    rig_.player.setSelectionStart(0.5);
    rig_.player.setSelectionEnd(1.0);
    rig_.player.play();
    EXPECT_DOUBLE_EQ(rig_.player.currentPosition(), 0.5) << "play begins at the selection start";

    const auto out = rig_.render(1.5);
    EXPECT_EQ(rig_.endEvents, 1);
    EXPECT_EQ(rig_.player.playState(), 0);
    EXPECT_DOUBLE_EQ(rig_.player.currentPosition(), 0.5) << "rewound to the selection start";
    const auto played = channel(out, 0, 441, 21168);  // inside the half second that played
    EXPECT_GT(goertzel(played, 440.0, kRate), 0.45);
    EXPECT_LT(goertzel(played, 300.0, kRate), 0.01);
    EXPECT_LT(goertzel(played, 600.0, kRate), 0.01);
    // After the end (and its short fade) the deck is silent.
    EXPECT_LT(rms(channel(out, 0, 22050 + 512)), 1e-6);
    ASSERT_FALSE(rig_.stateChanges.empty());
    EXPECT_EQ(rig_.stateChanges.back(), std::make_pair(2, 0));
}

TEST_F(DeckPlayback, StopAndPauseKeepThePosition) {
    rig_.load(tone_);
    rig_.player.play();
    rig_.render(0.5);
    rig_.player.stop();
    EXPECT_EQ(rig_.player.playState(), 0);
    const double stopped = rig_.player.currentPosition();
    EXPECT_NEAR(stopped, 0.5, 0.01);
    const auto silence = rig_.render(0.5);
    EXPECT_DOUBLE_EQ(rig_.player.currentPosition(), stopped);
    EXPECT_LT(rms(channel(silence, 0, 512)), 1e-6);

    rig_.player.play();
    rig_.render(0.25);
    EXPECT_NEAR(rig_.player.currentPosition(), stopped + 0.25, 0.01);
    rig_.player.pause();
    EXPECT_EQ(rig_.player.playState(), 1);
    rig_.render(0.1);
    EXPECT_EQ(rig_.player.playState(), 1);
    EXPECT_NEAR(rig_.player.currentPosition(), stopped + 0.25, 0.01);
    EXPECT_EQ(rig_.endEvents, 0);
}

TEST_F(DeckPlayback, WritesAreReadBackAtOnceAndApplyInTheNextBlock) {
    rig_.load(tone_);
    rig_.player.setCurrentPosition(1.25);
    EXPECT_DOUBLE_EQ(rig_.player.currentPosition(), 1.25);
    rig_.player.setCurrentPosition(-3.0);
    EXPECT_DOUBLE_EQ(rig_.player.currentPosition(), 0.0) << "a negative target seeks to the start";
    rig_.player.setCurrentPosition(99.0);
    EXPECT_DOUBLE_EQ(rig_.player.currentPosition(), rig_.player.duration());
    rig_.player.setCurrentPosition(1.0);
    rig_.player.play();
    EXPECT_EQ(rig_.player.playState(), 2);

    // One block after the commands the deck already sounds from its new position.
    const auto block = rig_.output.render(256);
    EXPECT_GT(rms(channel(block, 0, 128)), 0.1);
    EXPECT_NEAR(rig_.player.currentPosition(), 1.0 + 256.0 / kRate, 1e-9);
    rig_.player.setCurrentPosition(2.0);
    rig_.output.render(256);
    EXPECT_NEAR(rig_.player.currentPosition(), 2.0 + 256.0 / kRate, 1e-9);
}

TEST_F(DeckPlayback, DiscontinuitiesAreDeclicked) {
    rig_.load(tone_);
    rig_.player.play();
    std::vector<float> out = rig_.render(0.2);
    // A seek mid-signal, a pause-loop-like return every 90 ms, a pause and a restart: no clicks.
    rig_.player.setCurrentPosition(1.23456);
    for (int i = 0; i < 5; ++i) {
        auto part = rig_.render(0.09);
        out.insert(out.end(), part.begin(), part.end());
        rig_.player.setCurrentPosition(1.23456);
    }
    rig_.player.pause();
    auto part = rig_.render(0.05);
    out.insert(out.end(), part.begin(), part.end());
    rig_.player.play();
    part = rig_.render(0.05);
    out.insert(out.end(), part.begin(), part.end());

    const double own = 0.5 * 2.0 * std::numbers::pi * 440.0 / kRate;
    EXPECT_LT(maxStep(channel(out, 0)), own * 1.25);
    EXPECT_LT(maxStep(channel(out, 1)), own * 1.25);
}

TEST_F(DeckPlayback, ClosingAndReplacingTheFile) {
    rig_.load(tone_);
    rig_.player.play();
    rig_.render(0.1);
    rig_.player.setFileName("");
    EXPECT_EQ(rig_.player.fileName(), "");
    EXPECT_EQ(rig_.player.duration(), 0.0);
    EXPECT_EQ(rig_.player.playState(), 0);
    const auto out = rig_.render(0.1);
    EXPECT_LT(rms(channel(out, 0, 512)), 1e-6);
    rig_.player.play();  // nothing to play: stays stopped
    rig_.render(0.05);
    EXPECT_EQ(rig_.player.playState(), 0);

    rig_.load(tone_);
    EXPECT_NEAR(rig_.player.duration(), 3.0, 1e-3);
    EXPECT_DOUBLE_EQ(rig_.player.currentPosition(), 0.0);
}

TEST_F(DeckPlayback, PlaysWhileTheRestIsStillDecoding) {
    // Opening returns with the start decoded; the deck can play at once without waiting for the rest.
    const std::string path = dir_ + "/long.wav";
    writeWav16(path, sine(440.0, 30.0));
    rig_.player.setFileName(path);
    EXPECT_NEAR(rig_.player.duration(), 30.0, 0.01);
    rig_.player.play();
    const auto out = rig_.render(0.05);
    EXPECT_GT(rms(channel(out, 0, 1024)), 0.1);
    rig_.player.waitUntilDecoded();
    EXPECT_NEAR(rig_.player.duration(), 30.0, 1e-3);
}

}  // namespace
}  // namespace korvex::test
