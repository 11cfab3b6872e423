// The equaliser's sliders and kill switches: the slider law, and what reaches the deck's player from the
// panel and from the keys.

#include "mixer/equalizer.h"

#include <gtest/gtest.h>

#include <cmath>

#include "control/keyboard.h"
#include "mixer/knob_geometry.h"
#include "mixer/mixer_fakes.h"

namespace korvex::mixer {
namespace {

using testing::MixerRig;

TEST(Equalizer, SlidersAndKillsReachTheDeckTheyBelongTo) {
    MixerRig rig;
    Equalizer& eq = rig.mixer.equalizer();
    for (int deck = 0; deck < 2; ++deck)
        for (int band = 0; band < kEqBands; ++band)
            EXPECT_EQ(eq.sliderDb(deck, band), 0.0) << "flat at start";

    // A click on the base places the slider: the right end +6 dB, a quarter from the left -12 dB, the left
    // end silent.
    Knob& mid = eq.knob(1, kEqMid);
    const float width = mid.base().width;
    mid.press(KnobPart::kBase, kLeftButton, width, 60);
    mid.release(KnobPart::kBase, kLeftButton, width, 60);
    EXPECT_NEAR(rig.playerB.eq[kEqMid], 6.0, 1e-9);
    mid.press(KnobPart::kBase, kLeftButton, width / 4, 60);
    EXPECT_NEAR(rig.playerB.eq[kEqMid], -12.0, 0.05);
    mid.press(KnobPart::kBase, kLeftButton, 0, 60);
    EXPECT_EQ(rig.playerB.eq[kEqMid], -HUGE_VAL);
    EXPECT_EQ(rig.playerA.eq, (std::array<double, 3>{0.0, 0.0, 0.0})) << "deck A untouched";
    mid.press(KnobPart::kBase, kLeftButton, width / 2, 60);
    EXPECT_EQ(rig.playerB.eq[kEqMid], 0.0);

    // The keys kill the keyboard deck's bands, and a second press gives the band back at its slider.
    songlist::SongMemories memories({&rig.listA, &rig.listB}, {&rig.playerA, &rig.playerB});
    control::ListEditor editor(rig.transport);
    control::Keyboard keys(rig.transport, rig.mixer, editor, memories);
    eq.knob(0, kEqHigh).press(KnobPart::kBase, kLeftButton, width, 60);
    for (int key : {'E', 'T'}) {
        keys.keyDown(control::vk::letter(static_cast<char>(key)));
        keys.keyUp(control::vk::letter(static_cast<char>(key)), false);
    }
    EXPECT_EQ(rig.playerA.eq, (std::array<double, 3>{-HUGE_VAL, 0.0, -HUGE_VAL}));
    EXPECT_EQ(eq.killPicture(0, kEqLow), QStringLiteral("eqlow2.bmp"));
    EXPECT_EQ(eq.killPicture(0, kEqMid), QStringLiteral("eqmid1.bmp"));
    keys.keyDown(control::vk::letter('T'));
    EXPECT_NEAR(rig.playerA.eq[kEqHigh], 6.0, 1e-9);
    EXPECT_FALSE(eq.killed(1, kEqLow));
}

}  // namespace
}  // namespace korvex::mixer
