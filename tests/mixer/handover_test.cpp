// Continuous play end to end: the main timer's early start and automatic crossfade driving the mixer, and
// the ended deck stepping to its next song.

#include <gtest/gtest.h>

#include "mixer/knob_geometry.h"
#include "mixer_fakes.h"

namespace korvex::mixer {
namespace {

class CrossfadeHandOverTest : public ::testing::Test {
protected:
    void SetUp() override {
        rig.settings.autoplay2 = true;
        rig.load(1, QStringLiteral("b.mp3"));
        rig.playing(0, QStringLiteral("a.mp3"), 100.0);
        rig.mixer.lvolPress();
    }
    // Deck A at `position`, one tick.
    void tickAt(double position) {
        rig.playerA.position = position;
        rig.timer.tick();
    }

    testing::MixerRig rig;
    Mixer& mixer = rig.mixer;
};

TEST_F(CrossfadeHandOverTest, EarlyStartLessThanTheGapBeforeTheEndAndOnlyWithASongWaiting) {
    rig.listB.select(-1);
    tickAt(199.95);
    EXPECT_EQ(rig.playerB.state, 0);
    rig.listB.select(0);
    tickAt(199.89);
    EXPECT_EQ(rig.playerB.state, 0);
    tickAt(199.9001);
    EXPECT_EQ(rig.playerB.state, 2);
    EXPECT_EQ(mixer.faderKnob().left(), kFaderLeftA);  // the crossfader is not touched
    rig.transport.stopdeck(1);
    rig.settings.gapticks = 0;
    tickAt(199.999);
    EXPECT_EQ(rig.playerB.state, 0);
}

TEST_F(CrossfadeHandOverTest, AutomaticCrossfadeOpensSwitchTimeOver20SecondsBeforeTheEnd) {
    rig.settings.autocrossfadeplay = true;
    tickAt(197.49);
    EXPECT_FALSE(mixer.slideflag());
    tickAt(197.51);
    EXPECT_EQ(mixer.slidestate(), kSlideTowardsB);
    EXPECT_EQ(rig.playerB.state, 2);
    // 72 steps of 14, the first in the tick that started the slide; deck A, still ending, does not slide
    // back.
    rig.ticks(70);
    EXPECT_TRUE(mixer.slideflag());
    rig.ticks(6);
    EXPECT_FALSE(mixer.slideflag());
    EXPECT_EQ(mixer.faderKnob().left(), kFaderLeftB);
    EXPECT_EQ(rig.playerA.level, -10000);
    EXPECT_EQ(rig.playerB.level, -400);

    // Deck A ends: it stops and waits on its next song; deck B is the live deck.
    rig.listA.append(QStringLiteral("/music/a2.mp3"), QStringLiteral("a2.mp3"), 20);
    rig.listA.select(0);
    rig.playerA.onEndReached();
    EXPECT_EQ(rig.playerA.file, "/music/a2.mp3");
    EXPECT_EQ(rig.playerA.state, 1);
    EXPECT_EQ(rig.transport.livedeck(), 1);
    EXPECT_EQ(rig.playerB.state, 2);
}

TEST_F(CrossfadeHandOverTest, ThePatternsOwnTimeAndARunningSlideHoldTheHandOver) {
    rig.settings.autocrossfadeplay = true;
    rig.settings.switchtime[2] = 100;
    mixer.FDpaturn(2);
    tickAt(195.01);
    EXPECT_TRUE(mixer.slideflag());
    rig.playerB.position = 199.99;  // deck B ending too: no second Switch while the slide runs
    rig.ticks(3);
    EXPECT_EQ(mixer.slidestate(), kSlideTowardsB);
    EXPECT_EQ(mixer.faderPosition(), -500 + 4 * 7);
}

}  // namespace
}  // namespace korvex::mixer
