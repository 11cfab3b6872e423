// The panel's headphone controls: the pre-listen switches reach their decks' players, the mix slider the output.

#include "mixer/headphones.h"

#include <gtest/gtest.h>

#include "mixer/knob_geometry.h"
#include "mixer/mixer_fakes.h"

namespace korvex::mixer {
namespace {

TEST(HeadphonesModel, SwitchesReachTheirDecksAndTheMixRunsFromCueToMaster) {
    testing::MixerRig rig;
    Headphones& phones = rig.mixer.headphones();
    EXPECT_EQ(rig.master.phonesMix, 0.0f) << "every start is at the cue end";
    EXPECT_EQ(phones.prelistenPicture(1), QStringLiteral("pfl1.bmp"));
    phones.togglePrelisten(1);
    EXPECT_TRUE(rig.playerB.prelisten);
    EXPECT_FALSE(rig.playerA.prelisten);
    EXPECT_EQ(phones.prelistenPicture(1), QStringLiteral("pfl2.bmp"));
    phones.togglePrelisten(1);
    EXPECT_FALSE(rig.playerB.prelisten);

    Knob& mix = phones.mixKnob();
    mix.press(KnobPart::kBase, kLeftButton, mix.base().width, mix.base().height / 2);
    EXPECT_EQ(rig.master.phonesMix, 1.0f);
    mix.move(KnobPart::kBase, kLeftButton, mix.base().width / 2, mix.base().height / 2);
    EXPECT_NEAR(rig.master.phonesMix, 0.5f, 1e-6f);
}

// The trim alone reaches the player for the headphones, whatever the volume knob and the crossfader say.
TEST(HeadphonesModel, TheTrimGoesToThePlayerApartFromTheVolume) {
    testing::MixerRig rig;
    rig.mixer.volcontrol();
    EXPECT_EQ(rig.playerA.trim, -400) << "the design needle: trim gain 80";
    rig.mixer.volumeKnob(0).setTop(kVolumeBottom);
    rig.mixer.volcontrol();
    EXPECT_EQ(rig.playerA.level, -10000);
    EXPECT_EQ(rig.playerA.trim, -400);
}

}  // namespace
}  // namespace korvex::mixer
