// The knobs' geometry, drag protocol, clamps and bounds.

#include "mixer/knob.h"

#include <gtest/gtest.h>

#include "appearance/layout_table.h"
#include "mixer/knob_geometry.h"

namespace korvex::mixer {
namespace {

constexpr KnobPart kBase = KnobPart::kBase;
constexpr KnobPart kIndicator = KnobPart::kIndicator;

TEST(KnobTest, TravelsAgreeWithTheLayoutTable) {
    for (const appearance::KnobTravel& t : appearance::kKnobTravel) {
        KnobDesign design = geometry::fader();
        if (t.indicator == "pitchbtn") design = geometry::pitch(t.index);
        if (t.indicator == "Volbtn") design = geometry::volume(t.index);
        if (t.indicator == "panbtn") design = geometry::pan(t.index);
        if (t.indicator == "masterbtn") design = geometry::master(t.index);
        if (t.indicator == "eqbtn") design = geometry::eq(t.index);
        if (t.indicator == "phmixbtn") design = geometry::phonesMix();
        Knob knob(design);
        knob.place(0, 0);
        EXPECT_EQ(knob.value(), static_cast<float>(t.first)) << t.indicator << t.index;
        knob.place(design.base.width, design.base.height);
        EXPECT_EQ(knob.value(), static_cast<float>(t.last)) << t.indicator << t.index;
    }
    for (int deck = 0; deck < 2; ++deck) {
        const Knob trim(geometry::trim(deck));
        const appearance::TrimNeedle& needle = appearance::kTrimNeedles[static_cast<std::size_t>(deck)];
        EXPECT_EQ(trim.lineX1(), needle.centreX);
        EXPECT_EQ(trim.lineY1() - trim.lineY2(), needle.length);
        Knob jog(geometry::jog(deck));
        jog.place(1695, 840);  // the right end of the circle
        const appearance::JogOrbit orbit = appearance::jogOrbit(deck);
        EXPECT_EQ(jog.left() + jog.width() / 2, orbit.centreX + orbit.radiusX);
        EXPECT_EQ(jog.top() + jog.height() / 2, orbit.centreY);
    }
}

TEST(KnobTest, DragFollowsTheLeftButtonWithClampsAndConvertsIndicatorPoints) {
    Knob knob(geometry::volume(0));
    int updates = 0;
    knob.setConsumer([&](float, float) { ++updates; });
    knob.press(kBase, kRightButton, 10, 900);  // other buttons neither move nor drag
    knob.move(kBase, kLeftButton, 10, 900);
    EXPECT_EQ(knob.top(), kVolumeTop);
    EXPECT_FALSE(knob.dragging());
    knob.press(kBase, kLeftButton, 10, 500);
    EXPECT_EQ(knob.top(), 1860 + 500 - 127.5f);
    knob.move(kBase, kLeftButton, 10, -400);
    EXPECT_EQ(knob.top(), kVolumeTop);
    knob.move(kBase, kLeftButton, 10, 5000);
    EXPECT_EQ(knob.top(), kVolumeBottom);
    knob.move(kIndicator, kLeftButton, 10, 127.5f - 750);  // 750 above the indicator's centre
    EXPECT_EQ(knob.top(), kVolumeBottom - 750);
    knob.move(kBase, kRightButton, 10, 100);  // the left button is no longer held
    EXPECT_EQ(updates, 4);
    knob.release(kIndicator, kLeftButton, 9999, 9999);  // wherever the release lands
    EXPECT_FALSE(knob.dragging());
}

TEST(KnobTest, PitchFollowsOnlyPointsInsideItsBaseAndPanOnlyTheHorizontal) {
    Knob pitch(geometry::pitch(0));
    pitch.press(kBase, kLeftButton, 100, 1920);
    EXPECT_EQ(pitch.top(), 3352.5f);
    pitch.move(kBase, kLeftButton, 100, 1921);   // below the base
    pitch.move(kBase, kLeftButton, 496, 1000);   // right of it
    pitch.move(kIndicator, kLeftButton, 19, 0);  // the indicator's left 20 twips overhang the base
    EXPECT_EQ(pitch.top(), 3352.5f);
    pitch.move(kIndicator, kLeftButton, 20, 127.5f - 100);
    EXPECT_EQ(pitch.top(), 3252.5f);
    pitch.release(kBase, kLeftButton, 0, 0);
    // A press on the overhanging top of the indicator at the top end does not push it further up.
    pitch.setTop(1432.5f);
    pitch.press(kIndicator, kLeftButton, 100, 0);
    EXPECT_EQ(pitch.top(), 1432.5f);
    EXPECT_TRUE(pitch.dragging());

    Knob pan(geometry::pan(1));
    pan.press(kBase, kLeftButton, 100, -3000);  // far above the base: still followed
    EXPECT_EQ(pan.left(), 8280 + 100 - 67.5f);
    pan.move(kBase, kLeftButton, 1336, 60);
    EXPECT_EQ(pan.left(), 8280 + 100 - 67.5f);
}

TEST(KnobTest, TrimNeedleNeverPointsBelowTheHorizontalAndTakesNoInputItself) {
    Knob knob(geometry::trim(0));
    knob.press(kBase, kLeftButton, 360 + 300, 360 - 400);  // up and right, 3-4-5
    EXPECT_FLOAT_EQ(knob.lineX2(), 4670 + 190 * 0.6f);
    EXPECT_FLOAT_EQ(knob.lineY2(), 1440 - 190 * 0.8f);
    knob.move(kBase, kLeftButton, 100, 700);  // below the centre, to the left
    EXPECT_FLOAT_EQ(knob.lineX2(), 4480);
    EXPECT_FLOAT_EQ(knob.lineY2(), 1440);
    knob.move(kBase, kLeftButton, 360, 360);  // the centre: the needle stays
    knob.release(kBase, kLeftButton, 0, 0);
    knob.press(kIndicator, kLeftButton, 700, 0);
    EXPECT_FALSE(knob.dragging());
    EXPECT_FLOAT_EQ(knob.lineX2(), 4480);
}

TEST(KnobTest, JogIndicatorRunsOnItsCircleAndReturnsToTheTopOnRelease) {
    Knob knob(geometry::jog(0));
    const float cx = 2565 + 847.5f;
    const float cy = 2280 + 840.0f;
    knob.press(kBase, kLeftButton, 847.5f - 30, 840 + 40);  // down and left, 3-4-5
    EXPECT_FLOAT_EQ(knob.left() + 247.5f, cx - 423.75f * 0.6f);
    EXPECT_FLOAT_EQ(knob.top() + 247.5f, cy + 420 * 0.8f);
    knob.move(kBase, kLeftButton, 847.5f, 840);  // the centre has no angle
    EXPECT_FLOAT_EQ(knob.left() + 247.5f, cx - 423.75f * 0.6f);
    knob.release(kBase, kLeftButton, 0, 0);
    EXPECT_EQ(knob.left(), cx - 247.5f);
    EXPECT_EQ(knob.top(), cy - 247.5f - 423.75f);
}

}  // namespace
}  // namespace korvex::mixer
