#pragma once
// Where every knob of the mixer sits and how far its indicator travels, taken from the layout table (the one
// place the player panel's geometry is written down), plus the positions the mixer's laws are anchored to.
// All in player-panel twips.

#include <string_view>

#include "appearance/layout_table.h"
#include "mixer/knob.h"

namespace korvex::mixer {

// Pitch indicator Top at normal speed.
inline constexpr float kPitchCentre = 2400.0f;
// Volume indicator Top at the loudest and at the muted end.
inline constexpr float kVolumeTop = 1830.0f;
inline constexpr float kVolumeBottom = 3330.0f;
// Crossfader indicator Left at the deck A end, the centre and the deck B end.
inline constexpr float kFaderLeftA = 3630.0f;
inline constexpr float kFaderCentre = 5130.0f;
inline constexpr float kFaderLeftB = 6630.0f;
// Master and monitor indicator Top at 100 % and at 0 %.
inline constexpr float kMasterTop = 3840.0f;
inline constexpr float kMasterBottom = 4840.0f;
// Pan indicator Left at the centre of each deck's pan base.
inline constexpr float kPanCentre[2] = {1620.0f, 8900.0f};

namespace geometry {

constexpr TwipBox box(std::string_view name, int index) {
    const appearance::Rect r = appearance::boxOf(name, index);
    return {static_cast<float>(r.left), static_cast<float>(r.top), static_cast<float>(r.width),
            static_cast<float>(r.height)};
}

constexpr KnobDesign pitch(int deck) {
    return {.kind = KnobKind::kVertical,
            .base = box("pitchbase", deck),
            .indicator = box("pitchbtn", deck),
            .bounds = BoundsTest::kBoth};
}

constexpr KnobDesign jog(int deck) {
    return {.kind = KnobKind::kJog, .base = box("jogbase", deck), .indicator = box("jogbtn", deck)};
}

constexpr KnobDesign volume(int deck) {
    return {.kind = KnobKind::kVertical,
            .base = box("Volbase", deck),
            .indicator = box("Volbtn", deck),
            .clamped = true,
            .low = kVolumeTop,
            .high = kVolumeBottom};
}

constexpr KnobDesign pan(int deck) {
    return {.kind = KnobKind::kHorizontal,
            .base = box("Panbase", deck),
            .indicator = box("panbtn", deck),
            .bounds = BoundsTest::kHorizontal};
}

// An equaliser band's slider; index deck * 3 + band (low, mid, high).
constexpr KnobDesign eq(int index) {
    return {.kind = KnobKind::kHorizontal,
            .base = box("eqbase", index),
            .indicator = box("eqbtn", index),
            .bounds = BoundsTest::kHorizontal};
}

// The headphone mix slider (cue at the left end, master at the right).
constexpr KnobDesign phonesMix() {
    return {.kind = KnobKind::kHorizontal,
            .base = box("phmixbase", -1),
            .indicator = box("phmixbtn", -1),
            .bounds = BoundsTest::kHorizontal};
}

// The needle starts straight up at its design length.
constexpr KnobDesign trim(int deck) {
    const appearance::TrimNeedle& n = appearance::kTrimNeedles[deck == 0 ? 0 : 1];
    return {.kind = KnobKind::kTrim,
            .base = box("Trimbase", deck),
            .lineEndX = static_cast<float>(n.centreX),
            .lineEndY = static_cast<float>(n.centreY - n.length)};
}

constexpr KnobDesign fader() {
    return {.kind = KnobKind::kHorizontal,
            .base = box("Faderbase", -1),
            .indicator = box("Faderbtn", -1),
            .clamped = true,
            .low = kFaderLeftA,
            .high = kFaderLeftB};
}

// Index 0 is the monitor knob, index 1 the master knob.
constexpr KnobDesign master(int index) {
    return {.kind = KnobKind::kVertical,
            .base = box("masterbase", index),
            .indicator = box("masterbtn", index),
            .clamped = true,
            .low = kMasterTop,
            .high = kMasterBottom};
}

}  // namespace geometry
}  // namespace korvex::mixer
