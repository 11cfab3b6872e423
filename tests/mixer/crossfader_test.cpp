// The Switch and its slide, CUT IN, the crossfader's buttons, and the automatic crossfade of continuous play
// driving them from the main timer.

#include <gtest/gtest.h>

#include "mixer/knob_geometry.h"
#include "mixer_fakes.h"

namespace korvex::mixer {
namespace {

class CrossfaderTest : public ::testing::Test {
protected:
    // Slide steps until the slide ends (at most `limit`); the fader position P after each step.
    std::vector<float> slide(int limit = 2000) {
        std::vector<float> positions;
        for (int i = 0; i < limit; ++i) {
            const bool ended = mixer.slideStep();
            positions.push_back(mixer.faderPosition());
            if (ended) break;
        }
        return positions;
    }

    testing::MixerRig rig;
    Mixer& mixer = rig.mixer;
};

TEST_F(CrossfaderTest, SlideMovesFloorOf700OverTheSwitchTimePerTickAndStopsAtTheEnd) {
    // Switch time, units per tick, ticks from one end to the other (the last one lands on the end).
    for (auto [time, step, ticks] : {std::tuple{50, 14, 72}, {100, 7, 143}, {3, 233, 5}, {700, 1, 1000}}) {
        rig.settings.switchtime[0] = time;
        mixer.lvolPress();
        mixer.switching();
        EXPECT_EQ(mixer.slidestate(), kSlideTowardsB);
        const std::vector<float> p = slide();
        ASSERT_EQ(p.size(), static_cast<std::size_t>(ticks)) << time;
        EXPECT_EQ(p[0], static_cast<float>(-500 + step)) << time;
        EXPECT_EQ(p[p.size() - 2], static_cast<float>(-500 + step * (ticks - 1))) << time;
        EXPECT_EQ(mixer.faderKnob().left(), kFaderLeftB);
        EXPECT_EQ(mixer.slidestate(), kSlideIdle);
        EXPECT_FALSE(mixer.slideflag());
    }
    // Towards A with pattern B's own time, the levels following every step.
    rig.settings.switchtime[1] = 70;
    mixer.FDpaturn(1);
    mixer.switching();
    EXPECT_EQ(mixer.slidestate(), kSlideTowardsA);
    rig.playerA.volumeWrites = 0;
    EXPECT_EQ(slide().size(), 100u);
    EXPECT_EQ(rig.playerA.volumeWrites, 100);
    EXPECT_EQ(mixer.faderKnob().left(), kFaderLeftA);
    EXPECT_EQ(rig.playerB.level, -10000);

    // Pattern A with a time above 700: the slowest slide, as 700 gives; it arrives.
    mixer.FDpaturn(0);
    rig.settings.switchtime[0] = 32767;
    mixer.lvolPress();
    mixer.switching();
    EXPECT_EQ(slide().size(), 1000u);
    EXPECT_EQ(mixer.faderKnob().left(), kFaderLeftB);
    // A time below 1 (a damaged settings file) counts as 100.
    mixer.lvolPress();
    mixer.switching();
    for (int time : {0, -50}) {
        rig.settings.switchtime[0] = time;
        const float before = mixer.faderPosition();
        mixer.slideStep();
        EXPECT_EQ(mixer.faderPosition(), before + 7) << time;
    }
}

TEST_F(CrossfaderTest, ASecondSwitchStopsTheSlideWhereItStands) {
    mixer.lvolPress();
    mixer.switching();
    slide(10);
    mixer.switching();
    EXPECT_EQ(mixer.slidestate(), kSlideIdle);
    EXPECT_FALSE(mixer.slideflag()) << "continuous play carries on after a cancelled slide";
    slide(5);
    EXPECT_EQ(mixer.faderKnob().left(), kFaderLeftA + 3 * 140);
    // Still on A's side: the next Switch heads for B again, from there.
    mixer.switching();
    EXPECT_EQ(slide().size(), 62u);
    // From the exact centre the Switch heads for A; from just left of it, onto the grid towards B.
    mixer.centerClick();
    mixer.switching();
    EXPECT_EQ(mixer.slidestate(), kSlideTowardsA);
    mixer.switching();
    mixer.faderKnob().setLeft(5129);
    mixer.switching();
    mixer.slideStep();
    EXPECT_EQ(mixer.faderKnob().left(), 5130.0f + 3 * 14);
}

TEST_F(CrossfaderTest, CutInJumpsToTheOtherEndWithoutASlide) {
    mixer.FDpaturn(3);
    EXPECT_EQ(mixer.view().patternPicture,
              (std::array<QString, 4>{"fdp11.bmp", "fdp21.bmp", "fdp31.bmp", "fdp42.bmp"}));
    EXPECT_EQ(mixer.faderpattern(), 0);
    mixer.lvolPress();
    mixer.switching();
    EXPECT_EQ(mixer.faderKnob().left(), kFaderLeftB);
    EXPECT_FALSE(mixer.slideflag() || mixer.slidestate() != kSlideIdle);
    EXPECT_EQ(rig.playerA.level, -10000);
    mixer.switching();
    EXPECT_EQ(mixer.faderKnob().left(), kFaderLeftA);
    mixer.FDpaturn(1);
    EXPECT_FALSE(mixer.cutin());
    EXPECT_EQ(mixer.faderpattern(), 1);
    EXPECT_EQ(mixer.view().patternPicture[1], "fdp22.bmp");
}

TEST_F(CrossfaderTest, SwitchStartsTheIncomingDeckWhenPlayOnSwitchIsSet) {
    rig.load(1, QStringLiteral("b.mp3"));
    rig.load(0, QStringLiteral("a.mp3"));
    rig.transport.cuedown(1);  // B stands by at its cue point
    rig.transport.cueup(1);
    rig.transport.PLAYBTNON(0);  // A plays, then pauses into its pause loop
    rig.transport.PLAYBTNON(0);
    mixer.lvolPress();
    mixer.switchPress();
    EXPECT_EQ(mixer.view().switchPicture, "switch2.bmp");
    const deck::DeckRecord& b = rig.transport.record(1);
    EXPECT_EQ(rig.playerB.state, 2);
    EXPECT_FALSE(b.cuestandby || b.deckheld || b.freshload || b.headplay);
    const deck::DeckView& v = rig.transport.view(1);
    EXPECT_EQ(v.playPicture + v.cuePicture + v.totaltime, "play2.bmpcue1.bmp/03'20");
    // Towards the paused deck A: it leaves its pause loop and plays on.
    slide();
    mixer.switching();
    EXPECT_FALSE(rig.transport.record(0).headplay || rig.transport.record(0).deckheld);
    // Without play-on-switch the decks are left alone.
    slide();
    mixer.settings().playonswitch = false;
    rig.transport.stopdeck(1);
    mixer.switching();
    EXPECT_EQ(rig.playerB.state, 0);
}

TEST_F(CrossfaderTest, AutomaticCrossfadeOpensSwitchTimeOver20SecondsBeforeTheEndAndTheEndedDeckWaits) {
    rig.settings.autoplay2 = true;
    rig.settings.autocrossfadeplay = true;
    rig.load(1, QStringLiteral("b.mp3"));
    rig.playing(0, QStringLiteral("a.mp3"), 197.49);
    mixer.lvolPress();
    rig.timer.tick();
    EXPECT_FALSE(mixer.slideflag());
    rig.playerA.position = 197.51;
    rig.timer.tick();
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

}  // namespace
}  // namespace korvex::mixer
