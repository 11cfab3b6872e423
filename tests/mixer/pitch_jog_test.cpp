// Pitch with its throttle and tempo memory, the jog's quarter turns and seek, and the search steps.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "mixer/knob_geometry.h"
#include "mixer_fakes.h"

namespace korvex::mixer {
namespace {

class PitchTest : public ::testing::Test {
protected:
    void SetUp() override {
        rig.load(0, QStringLiteral("a.mp3"));
        rig.settings.pitchwait = 0;
    }
    // Moves deck A's pressed pitch indicator to Top `top`.
    void dragTo(float top) {
        mixer.pitchKnob(0).move(KnobPart::kBase, kLeftButton, 100, top - 1560 + 127.5f);
    }
    QString label() const { return mixer.view().pitchper[0]; }

    testing::MixerRig rig;
    Mixer& mixer = rig.mixer;
};

TEST_F(PitchTest, RateLabelAndTempoMemoryAtTheEndsAndTheCentre) {
    for (auto [top, rate, text, tempo] : {std::tuple{1432.5f, 0.785, "-21.5%", " 67.75"},
                                          {3352.5f, 1.2116667, "+21.1%", " 131.75"},
                                          {2400.0f, 1.0, "00.0%", " 100"},
                                          {2409.0f, 1.002, "+00.2%", " 100.3"},
                                          {2399.0f, 0.9997778, "-00.1%", " 99.96667"}}) {
        mixer.pitchKnob(0).press(KnobPart::kBase, kLeftButton, 100, top - 1560 + 127.5f);
        mixer.pitchKnob(0).release(KnobPart::kBase, kLeftButton, 0, 0);
        EXPECT_NEAR(rig.playerA.rateSet, rate, 1e-6) << top;
        EXPECT_EQ(label(), text);
        EXPECT_EQ(rig.listA.currentField(songlist::kTempo), tempo);
        EXPECT_EQ(rig.settings.pitchwait, kPitchWaitTicks);
        rig.settings.pitchwait = 0;
    }
}

TEST_F(PitchTest, UpdatesAtMostOncePerEightTicksAndCatchesUpWithTheLastPosition) {
    mixer.pitchKnob(0).press(KnobPart::kBase, kLeftButton, 100, 967.5f);
    std::vector<int> applied;
    for (int i = 0; i < 30; ++i) {
        const int before = rig.playerA.rateWrites;
        dragTo(2400.0f + 9.0f * static_cast<float>(i + 1));
        rig.timer.tick();
        if (rig.playerA.rateWrites != before) applied.push_back(i);
    }
    EXPECT_EQ(applied, (std::vector<int>{7, 15, 23}));
    // The drag stopped at 2670 during a wait: rate, label and memory follow once the wait is over.
    EXPECT_NE(label(), "+06.0%");
    rig.ticks(2);
    EXPECT_EQ(label(), "+06.0%");
    EXPECT_EQ(rig.listA.currentField(songlist::kTempo), " 109");
    // A reset during a wait moves the indicator at once and the rate after the wait.
    mixer.pitchReset(0);
    EXPECT_EQ(mixer.pitchKnob(0).top(), kPitchCentre);
    EXPECT_EQ(label(), "+06.0%");
    rig.ticks(8);
    EXPECT_EQ(label(), "00.0%");
    EXPECT_EQ(rig.playerA.rateSet, 1.0);
    const int writes = rig.playerA.rateWrites;
    rig.ticks(20);
    EXPECT_EQ(rig.playerA.rateWrites, writes);
}

TEST_F(PitchTest, LoadingPlacesTheKnobFromTheTempoMemoryWithinItsTravel) {
    for (auto [tempo, top, text] :
         {std::tuple{" 70", 1500.0f, " 70"}, {"1000", 3352.5f, " 131.75"}, {"-100", 1432.5f, " 67.75"}}) {
        rig.settings.pitchwait = 0;
        rig.load(1, QStringLiteral("b.mp3"), QString::fromLatin1(tempo));
        EXPECT_EQ(mixer.pitchKnob(1).top(), top) << tempo;
        EXPECT_NEAR(rig.playerB.rateSet, pitchRate(top), 1e-6);
        EXPECT_EQ(rig.listB.currentField(songlist::kTempo), text);
    }
    EXPECT_EQ(mixer.view().pitchper[1], "-21.5%");
}

TEST_F(PitchTest, ARateThePlayerDidNotTakeIsMadeUpByASeek) {
    rig.playerA.position = 10.0;
    const int seeks = rig.playerA.seeks;
    mixer.pitchKnob(0).setTop(2850);
    mixer.pitchset(0);
    EXPECT_EQ(rig.playerA.seeks, seeks);  // it kept the rate: no seek, no click
    rig.settings.pitchwait = 0;
    rig.playerA.keepsRate = false;
    mixer.pitchset(0);
    EXPECT_NEAR(rig.playerA.position, 10.0 + 2.3 * 0.1, 1e-6);
}

class JogTest : public ::testing::Test {
protected:
    // Deck A paused at `position` in its pause loop.
    void pausedAt(double position) {
        rig.playing(0, QStringLiteral("a.mp3"), position);
        rig.transport.PLAYBTNON(0);
    }
    // Presses at the first angle (degrees clockwise from the top, 400 twips out), moves through the others
    // and releases.
    void turn(double from, double to, double step) {
        Knob& jog = mixer.jogKnob(0);
        for (double d = from;; d += step) {
            const double s = std::fmod(d, 180.0) == 0 ? 0.0 : std::sin(d * std::numbers::pi / 180);
            const auto x = static_cast<float>(847.5 + 400 * s);
            const auto y = static_cast<float>(840 - 400 * std::cos(d * std::numbers::pi / 180));
            if (d == from) jog.press(KnobPart::kBase, kLeftButton, x, y);
            jog.move(KnobPart::kBase, kLeftButton, x, y);
            if (d == to) return jog.release(KnobPart::kBase, kLeftButton, x, y);
        }
    }
    double position() const { return rig.playerA.position; }

    testing::MixerRig rig;
    Mixer& mixer = rig.mixer;
};

TEST_F(JogTest, AFullClockwiseTurnMovesPositionAndCueBy0532AndTheNextGestureGoesOn) {
    pausedAt(10.0);
    rig.playerA.advance(0.06);  // a paused deck jogs from its pause point, wherever the loop took the head
    turn(0, 360, 30);
    EXPECT_NEAR(position(), 10.532, 1e-9);
    EXPECT_NEAR(rig.transport.record(0).cuepos, 10.532, 1e-9);
    // Grabbing again at the top goes on from there (no quarter-turn jump); a quarter turn adds about 0.133.
    turn(0, 90, 15);
    EXPECT_NEAR(position(), 10.665, 1e-4);
    EXPECT_EQ(rig.transport.view(0).text2, "00'10''665");
    // A nudge back, then grabbing the wheel again at the top moves nothing.
    turn(0, -20, -10);
    const double back = position();
    EXPECT_NEAR(back, 10.665 - 423.75 * std::sin(std::numbers::pi / 9) * 3.14e-4, 1e-4);
    turn(0, 0, 10);
    EXPECT_NEAR(position(), back, 1e-12);
}

TEST_F(JogTest, TurningBackStopsAtZero) {
    pausedAt(0.2);
    turn(0, -90, -30);
    EXPECT_NEAR(position(), 0.067, 1e-4);
    turn(0, -180, -30);
    EXPECT_EQ(position(), 0.0);
    EXPECT_EQ(rig.transport.record(0).cuepos, 0.0);
}

TEST_F(JogTest, PressesTakeTheBaseAndJoggingAStandingByDeckStartsItsHeadPlay) {
    rig.playing(0, QStringLiteral("a.mp3"), 50.0);
    mixer.jogKnob(0).press(KnobPart::kBase, kRightButton, 847.5f, 840);  // any button takes the base
    EXPECT_FALSE(rig.transport.record(0).freshload);
    EXPECT_EQ(rig.transport.record(0).jogstart, 50.0);
    mixer.jogKnob(0).release(KnobPart::kBase, kRightButton, 0, 0);
    const int seeks = rig.playerA.seeks;
    mixer.jogKnob(0).press(KnobPart::kBase, kLeftButton, 847.5f, 840);  // the centre seeks nothing
    EXPECT_EQ(rig.playerA.seeks, seeks);
    mixer.jogKnob(0).release(KnobPart::kBase, kLeftButton, 0, 0);

    rig.transport.cuedown(0);
    rig.transport.cueup(0);
    turn(0, 20, 20);
    const deck::DeckRecord& r = rig.transport.record(0);
    EXPECT_TRUE(r.headplay && r.deckheld && !r.cuestandby);
    EXPECT_EQ(rig.playerA.state, 2);
    EXPECT_EQ(rig.transport.view(0).cuePicture, "cue1.bmp");
}

TEST(MixerSearchTest, AHeldButtonStepsAPlayingDeckOnEverySecondTickNeverBelowZero) {
    testing::MixerRig rig;
    rig.load(1, QStringLiteral("b.mp3"));
    rig.mixer.searchRPress(1);
    rig.ticks(4);
    EXPECT_EQ(rig.playerB.position, 0.0);  // not playing
    rig.transport.PLAYBTNON(1);
    rig.ticks(6);
    EXPECT_EQ(rig.playerB.position, 1.5);
    EXPECT_EQ(rig.mixer.view().searchRPicture[1], "sgo2.bmp");
    rig.mixer.searchRRelease(1);
    rig.mixer.searchLPress(1);
    rig.ticks(6);
    EXPECT_EQ(rig.playerB.position, 0.0);
    rig.mixer.searchLRelease(1);
    // A backward step is 0.75 s.
    rig.playerB.position = 10.0;
    rig.mixer.searchegnL(1);
    EXPECT_EQ(rig.playerB.position, 9.25);
    rig.mixer.searchegnR(1);
    EXPECT_EQ(rig.playerB.position, 9.75);
    EXPECT_EQ(rig.mixer.view().searchLPicture[1] + rig.mixer.view().searchRPicture[1], "sback1.bmpsgo1.bmp");
}

}  // namespace
}  // namespace korvex::mixer
