#include "sampler/sampler_dialog_model.h"

#include <gtest/gtest.h>

#include <cmath>

#include "sampler/slot_rig.h"

namespace korvex::sampler {
namespace {

struct DialogRig : testing::SlotRig {
    void load(int slot, const char* path, int mode) { SlotRig::load(slot, QString::fromUtf8(path), mode); }
    void open(int slot) {
        slots.currentslot = slot;
        model.open();
    }
    SamplerDialogModel model{slots};
};

TEST(SamplerDialogModel, OpeningFollowsTheSlotsMode) {
    DialogRig r;
    r.load(0, "/s/kick.wav", kSampler3D);
    r.load(1, "/s/kick.wav", kEffecter3D);
    r.load(2, "/s/horn.wav", kSampler3D);
    r.load(3, "/s/horn.wav", kEffecter3D);
    ASSERT_EQ(r.modes[2], 2);
    ASSERT_EQ(r.modes[3], 3);
    const int widths[] = {8200, 8200, 5200, 5200};
    const int frames[] = {4300, 720, 4300, 720};
    for (int slot = 0; slot < 4; ++slot) {
        r.open(slot);
        EXPECT_EQ(r.model.title(), QStringLiteral("SAMPLER %1").arg(slot + 1));
        EXPECT_EQ(r.model.widthTwips(), widths[slot]) << slot;
        EXPECT_EQ(r.model.effectFrameTop(), frames[slot]) << slot;
    }
    // Sampler modes read the tempo from the buffer's frequency; the volume is the square root of its
    // attenuation.
    r.buffer(2)->setVolume(-2500);
    r.open(2);
    EXPECT_EQ(r.model.tempo(), 48000);
    EXPECT_EQ(r.model.volume(), 50);
    r.buffer(0)->setVolume(-601);
    r.open(0);
    EXPECT_EQ(r.model.volume(), 24);
    EXPECT_TRUE(r.model.drawing().size() == 2u) << "the 3D modes draw listener and source";
}

TEST(SamplerDialogModel, SlidersAndBoxesWriteTheSlot) {
    DialogRig r;
    r.load(4, "/s/kick.wav", kSampler3D);
    r.open(4);
    r.model.volumeChanged(100);
    EXPECT_EQ(r.buffer(4)->volume(), -10000);
    r.model.volumeChanged(30);
    EXPECT_EQ(r.buffer(4)->volume(), -900);
    r.model.tempoChanged(88200);
    EXPECT_EQ(r.buffer(4)->frequency(), 88200);
    r.model.chkLoopClicked(true);
    r.model.chksilentClicked(true);
    EXPECT_EQ(r.slots.slotloop(4), 1);
    EXPECT_EQ(r.slots.slotsilencer(4), 1);
    // Reopening shows them.
    r.open(4);
    EXPECT_TRUE(r.model.chkLoop());
    EXPECT_TRUE(r.model.chksilent());
    r.model.chkLoopClicked(false);
    EXPECT_EQ(r.slots.slotloop(4), 0);
}

TEST(SamplerDialogModel, EffectBoxesKeepTheSlotsEntries) {
    DialogRig r;
    r.load(1, "/s/kick.wav", kEffecter3D);
    std::vector<std::tuple<int, int, bool>> toggled;
    std::vector<int> applied;
    r.slots.effectHooks.onEffectToggled = [&](int s, int i, bool t) { toggled.emplace_back(s, i, t); };
    r.slots.effectHooks.applyOnOk = [&](int s) { applied.push_back(s); };
    r.slots.effects().entries[1] = {QStringLiteral("Gargle - Software")};
    r.open(1);
    EXPECT_TRUE(r.model.checked(7));
    EXPECT_TRUE(r.model.efectcfgEnabled(7));
    EXPECT_FALSE(r.model.efectcfgEnabled(0));
    EXPECT_TRUE(toggled.empty()) << "ticking on opening adds nothing";
    EXPECT_EQ(r.slots.effects().entries[1].size(), 1);

    r.model.check1Clicked(0, true);
    r.model.check1Clicked(1, true);
    EXPECT_EQ(r.slots.effects().entries[1],
              (QStringList{QStringLiteral("Gargle - Software"), QStringLiteral("Echo (Unallocated)"),
                           QStringLiteral("Chorus (Unallocated)")}));
    // (A settings button opening its effect's dialog is checked end to end.)

    // Unticking while the slot plays: the message, and the entry and the tick stay.
    r.slots.cmdPlay_Click(1);
    EXPECT_TRUE(r.model.check1Clicked(0, false));
    ASSERT_EQ(r.messages.shown.size(), 1u);
    EXPECT_EQ(r.messages.shown[0].text, QStringLiteral("エフェクトを解除する前に再生を止めてください。"));
    EXPECT_EQ(r.messages.shown[0].title, QStringLiteral("ＷＡＶＥを再生中です。"));
    EXPECT_EQ(r.messages.shown[0].icon, base::MessageIcon::Information);
    EXPECT_EQ(r.slots.effects().entries[1].size(), 3);
    EXPECT_TRUE(r.model.checked(0));
    r.slots.cmdStop_Click(1);

    // Stopped: the first entry of that effect goes; the signature stays while one matched.
    r.slots.effects().fxsignature = 123;
    EXPECT_FALSE(r.model.check1Clicked(0, false));
    EXPECT_FALSE(r.model.efectcfgEnabled(0));
    EXPECT_EQ(r.slots.effects().entries[1],
              (QStringList{QStringLiteral("Gargle - Software"), QStringLiteral("Chorus (Unallocated)")}));
    EXPECT_EQ(r.slots.effects().fxsignature, 123);
    // No entry of the effect: the signature is forgotten.
    r.model.check1Clicked(2, true);
    r.slots.effects().entries[1].removeLast();
    r.model.check1Clicked(2, false);
    EXPECT_EQ(r.slots.effects().fxsignature, 0);
    r.slots.effects().fxsignature = 5;
    r.slots.effects().entries[1].clear();
    r.model.check1Clicked(7, false);
    EXPECT_EQ(r.slots.effects().fxsignature, 0);

    EXPECT_EQ(toggled.size(), 6u) << "every click but the refused one";
    // OK applies only a list with entries.
    r.model.okClicked();
    EXPECT_TRUE(applied.empty());
    r.model.check1Clicked(5, true);
    r.model.okClicked();
    EXPECT_EQ(applied, std::vector<int>{1});
}

TEST(SamplerDialogModel, ToneKeyboardTunesEightSlotsAndCapsAt100000) {
    DialogRig r;
    r.load(0, "/s/kick.wav", kSampler3D);
    r.slots.setSlotloop(3, 1);
    r.open(0);
    r.model.tempoChanged(60000);
    r.model.keyboadClicked();
    const int expected[] = {60000, 67320, 75600, 80100, 89880, 100000, 100000, 100000};
    for (int slot = 0; slot < kSamplerSlots; ++slot) {
        ASSERT_NE(r.buffer(slot), nullptr);
        EXPECT_EQ(r.buffer(slot)->frequency(), expected[slot]) << slot;
        EXPECT_EQ(r.buffer(slot)->caps(), unsigned{kCtrlFrequency | kCtrlPan | kCtrlVolume});
        EXPECT_EQ(r.buffer(slot)->path(), "/s/kick.wav");
    }
    const char* captions[] = {"1: ド", "2: レ", "3: ミ", "4: ファ", "5: ソ", "6: ラ", "7: シ", "8: ド"};
    for (int slot = 0; slot < kSamplerSlots; ++slot)
        EXPECT_EQ(r.slots.caption(slot), QString::fromUtf8(captions[slot]));
    EXPECT_EQ(r.slots.slotloop(3), 1) << "loop settings stay";
    EXPECT_EQ(r.modes[0], 0) << "modes stay";

    // Below the cap the integer part of tempo × ratio.
    EXPECT_EQ(toneFrequency(1, 1000), 1122);
    EXPECT_EQ(toneFrequency(6, 1000), 1888);
    EXPECT_EQ(toneFrequency(7, 49999), 99998);
    EXPECT_EQ(toneFrequency(7, 50000), 100000);
    EXPECT_EQ(toneFrequency(5, 59453), 99999);
}

TEST(SamplerDialogModel, TriangleUses3141AndRoundsHalvesToEven) {
    // The listener at the centre of the 177 x 161 drawing, pointing down (+z).
    const Triangle listener = drawTriangle(192, 192, 192, 88, 80, 90);
    EXPECT_EQ(listener.points[0], QPoint(88, 90));
    // a ± 3.141/1.3: sin 2.41615 = 0.66310, cos = -0.74853.
    EXPECT_EQ(listener.points[1], QPoint(95, 73));
    EXPECT_EQ(listener.points[2], QPoint(81, 73));
    // 3.141 instead of pi shows at angle 0: a = -1.5705, sin a = -1.0, cos a = 0.000296 → y stays.
    const Triangle source = drawTriangle(230, 0, 0, 50, 50, 0);
    EXPECT_EQ(source.points[0], QPoint(40, 50));
    EXPECT_EQ(source.red, 230);
}

TEST(SamplerDialogModel, ThreeDPanelPlacesTheSourceAndCone) {
    DialogRig r;
    r.load(0, "/s/kick.wav", kSampler3D);
    r.open(0);
    auto* three = &r.buffer(0)->three;
    EXPECT_EQ(r.slots.slot3dbuffer(0), three);
    EXPECT_EQ(three->coneInside, 0);
    EXPECT_EQ(three->coneOutside, 100);
    EXPECT_EQ(three->coneOutsideVolume, -400);
    EXPECT_EQ(three->position, (std::vector<float>{0.0f, 0.0f, 0.1f}));
    const float c = std::cos(-90.0f * 3.141f / 180.0f) * 5.0f;
    EXPECT_FLOAT_EQ(three->orientation[0], c);
    EXPECT_FLOAT_EQ(three->orientation[2], -5.0f);
    // Source drawn at the centre + (0, 5), the listener at the centre.
    EXPECT_EQ(r.model.drawing()[0], drawTriangle(192, 192, 192, 88, 80, 90));
    EXPECT_EQ(r.model.drawing()[1], drawTriangle(230, 0, 0, 88, 86, -90));

    // Press and drag: inside the drawing the source follows, outside it stays.
    r.model.drawMouseDown(true, 138, 30);
    EXPECT_FLOAT_EQ(r.model.sourcex(), 49.5f);
    EXPECT_FLOAT_EQ(r.model.sourcez(), -50.5f);
    EXPECT_FLOAT_EQ(three->position[0], 0.99f);
    EXPECT_FLOAT_EQ(three->position[2], -1.01f);
    r.model.drawMouseMove(true, 200, 30);
    EXPECT_FLOAT_EQ(r.model.sourcex(), 49.5f);
    r.model.drawMouseMove(true, 177, 161);
    EXPECT_FLOAT_EQ(r.model.sourcex(), 88.5f);
    r.model.drawMouseUp();
    r.model.drawMouseMove(true, 10, 10);
    EXPECT_FLOAT_EQ(r.model.sourcex(), 88.5f) << "no drag after the button went up";

    r.model.angleChanged(0);
    EXPECT_FLOAT_EQ(three->orientation[0], 5.0f);
    EXPECT_NEAR(three->orientation[2], 0.0f, 1e-6);
    EXPECT_EQ(r.model.drawing()[1].points, drawTriangle(230, 0, 0, 177, 161, 0).points);

    // Reopening puts the source back at (0, 5) and the angle at -90.
    r.open(0);
    EXPECT_FLOAT_EQ(r.model.sourcex(), 0.0f);
    EXPECT_EQ(r.model.angle(), -90);
}

}  // namespace
}  // namespace korvex::sampler
