// Deck levels (patterns, fade zones, volume knob, trim), master and monitor, pan, and the trim memory.

#include <gtest/gtest.h>

#include <cmath>

#include "mixer/knob_geometry.h"
#include "mixer_fakes.h"

namespace korvex::mixer {
namespace {

// Levels at fader position `p` with both trims at `u` (20: needle straight up, gain 80, trim -400) and deck
// A's volume knob `down` twips from the top.
DeckLevels levels(int pattern, float p, float u = 20, float down = 0) {
    const std::array<DeckLevelInputs, 2> decks{
        {{kVolumeTop + down, 4870 - 10 * u, 4670}, {kVolumeTop, 6150 - 10 * u, 5950}}};
    return levelLaw(kFaderCentre + 3 * p, decks, faderPoints(kDefaultFaderTable, pattern));
}

TEST(FaderLawTest, EachPatternFadesItsDecksOverItsZones) {
    struct Case {
        int pattern;
        float p;
        int a, b;
    };
    constexpr int kM79 = -400 - 79 * 79;  // first or last unit of a 500-wide zone
    for (const Case& c :
         {Case{0, -500, -400, -10000}, Case{0, -499, -400, kM79}, Case{0, -250, -400, -2000},
          Case{0, 0, -400, -400}, Case{0, 1, -400, -400}, Case{0, 250, -2000, -400}, Case{0, 499, kM79, -400},
          Case{0, 500, -10000, -400}, Case{1, -500, -400, -10000}, Case{1, -250, -800, -4000},
          Case{1, 0, -2000, -2000}, Case{1, 250, -4000, -800}, Case{1, 500, -10000, -400},
          Case{2, -500, -400, -10000}, Case{2, -250, -2000, -10000}, Case{2, 0, -10000, -10000},
          Case{2, 1, -10000, kM79}, Case{2, 250, -10000, -2000}, Case{2, 500, -10000, -400}}) {
        const DeckLevels l = levels(c.pattern, c.p);
        EXPECT_EQ(l.volume[0], c.a) << "pattern " << c.pattern << ", deck A at P = " << c.p;
        EXPECT_EQ(l.volume[1], c.b) << "pattern " << c.pattern << ", deck B at P = " << c.p;
    }
}

TEST(FaderLawTest, TrimAndVolumeKnobAttenuateOnTopOfTheCrossfader) {
    struct Trim {
        float u;
        int gain, level;
    };
    for (const Trim& t : {Trim{0, 100, 0}, Trim{20, 80, -400}, Trim{40, 60, -1600}}) {
        EXPECT_EQ(levels(0, -500, t.u).trimgain[0], t.gain);
        EXPECT_EQ(levels(0, -500, t.u).volume[0], t.level);
        // Halfway down, the knob adds -(gain / 2)^2.
        EXPECT_EQ(levels(0, -500, t.u, 750).volume[0], t.level - t.gain * t.gain / 4);
    }
    // Halves round to even: u = 20.5 gives gain 80 (not 79), u = 21.5 gives 78 (not 79) and trim -462.
    EXPECT_EQ(levels(0, -500, 20.5f).trimgain[0], 80);
    EXPECT_EQ(levels(0, -500, 21.5f).trimgain[0], 78);
    EXPECT_EQ(levels(0, -500, 21.5f).volume[0], -462);
    // In a zone the larger of knob term and crossfader term (40 at P = 250) counts.
    EXPECT_EQ(levels(0, 250, 20, 375).volume[0], -2000);
    EXPECT_EQ(levels(0, 250, 20, 1125).volume[0], -400 - 60 * 60);
    // The knob at the bottom silences its deck wherever the crossfader is; just above, it is the law's value.
    for (float p : {-500.0f, 0.0f}) EXPECT_EQ(levels(1, p, 20, 1500).volume[0], -10000);
    EXPECT_EQ(levels(0, -500, 20, 1499).volume[0], -6791);
}

TEST(FaderLawTest, APatternWithoutRoomForItsZonesStillSetsBothDecks) {
    testing::MixerRig rig;
    // A:Start 500 with A:End 0 and B:Start 500 with B:End 0: zones of no width; points beyond the travel are
    // held to it.
    FaderTable& table = rig.mixer.settings().fadertable;
    table[0] = 900;
    table[3] = -20;
    table[6] = 500;
    table[9] = 0;
    for (float left : {3630.0f, 5128.0f, 5131.0f, 5133.0f, 5134.5f, 6630.0f}) {
        rig.mixer.faderKnob().setLeft(left);
        rig.playerA.volumeWrites = rig.playerB.volumeWrites = 0;
        rig.mixer.volcontrol();
        EXPECT_EQ(rig.playerA.volumeWrites + rig.playerB.volumeWrites, 2);
        const bool aSide = faderPosition(left) < 1;
        EXPECT_EQ(rig.playerA.level, aSide ? -400 : -10000) << left;
        EXPECT_EQ(rig.playerB.level, aSide ? -10000 : -400) << left;
    }
    // Choosing a pattern applies it at once: C cuts both decks at the centre.
    rig.mixer.centerClick();
    rig.mixer.FDpaturn(2);
    EXPECT_EQ(rig.playerA.level + rig.playerB.level, -20000);
}

TEST(MasterVolumeTest, MasterKnobStartsAtTheEngineLevelAndSetsBothChannelsAndTheMonitorNothing) {
    testing::MixerRig rig;
    Knob& master = rig.mixer.masterKnob(1);
    EXPECT_EQ(master.top(), kMasterTop);
    rig.master.value = 0;
    rig.mixer.start();
    EXPECT_EQ(master.top(), kMasterBottom);
    rig.master.value = 0x80128012u;
    rig.mixer.start();
    EXPECT_EQ(rig.master.writes, 0);
    rig.mixer.masvol2(1);
    EXPECT_EQ(rig.master.value, 0x80128012u);

    for (auto [top, packed] : {std::pair{3840.0f, 0xFFFFFFFFu},
                               {3845.0f, 0xFFFFFFFFu},
                               {4340.0f, 0x80128012u},
                               {4350.0f, 0x7D5F7D5Fu},
                               {4830.0f, 0x028F028Fu},
                               {4840.0f, 0u}}) {
        master.setTop(top);
        rig.mixer.masvol2(1);
        EXPECT_EQ(rig.master.value, packed) << top;
    }
    master.press(KnobPart::kBase, kLeftButton, 0, -500);  // clamped to 100 %
    EXPECT_EQ(rig.master.value, 0xFFFFFFFFu);
    // The monitor knob is the headphones' level, with the master's law, and leaves the master alone.
    const int writes = rig.master.writes;
    rig.mixer.masterKnob(0).setTop(4340.0f);
    rig.mixer.masvol2(0);
    EXPECT_FLOAT_EQ(rig.master.phonesLevel, 0x8012 / 65535.0f);
    rig.mixer.masterKnob(0).press(KnobPart::kBase, kLeftButton, 0, 5000);
    EXPECT_EQ(rig.mixer.masterKnob(0).top(), kMasterBottom);
    EXPECT_EQ(rig.master.phonesLevel, 0.0f);
    EXPECT_EQ(rig.master.writes, writes);
}

TEST(MixerPanTrimTest, PanSnapsFarPositionsToTheEndsAndTheTrimMemoryIsStoredByADragAndDrawnByALoad) {
    testing::MixerRig rig;
    rig.mixer.panKnob(0).press(KnobPart::kBase, kLeftButton, 717.5f, 60);
    EXPECT_EQ(rig.playerA.pan, 0);
    rig.mixer.panKnob(0).move(KnobPart::kBase, kLeftButton, 0, 60);
    EXPECT_EQ(rig.playerA.pan, -718);  // -717.5 to even
    for (auto [offset, balance] :
         {std::pair{-1270.0f, -1270}, {-1271.0f, -10000}, {1270.0f, 1270}, {1271.0f, 10000}}) {
        rig.mixer.panKnob(1).setLeft(kPanCentre[1] + offset);
        rig.mixer.panbalance(1);
        EXPECT_EQ(rig.playerB.pan, balance) << offset;
    }

    rig.load(0, QStringLiteral("a.mp3"));
    rig.mixer.lvolPress();
    Knob& trim = rig.mixer.trimKnob(0);
    trim.press(KnobPart::kBase, kLeftButton, 720, 360);  // pointing right, 190 long
    EXPECT_EQ(rig.playerA.level, -1);
    EXPECT_EQ(rig.listA.currentField(songlist::kVolume), " 100");
    trim.move(KnobPart::kBase, kLeftButton, 0, 500);  // below the centre, to the left: horizontal
    EXPECT_EQ(rig.listA.currentField(songlist::kVolume), " 3900");
    EXPECT_EQ(rig.playerA.level, -39 * 39);

    const Knob& b = rig.mixer.trimKnob(1);
    for (auto [memory, x, y] : {std::tuple{" 0", 6150.0f, 1440.0f},
                                {" 2000", 5950.0f, 1240.0f},
                                {"4000", 5750.0f, 1440.0f},
                                {" 1000", 6050.0f, 1440 - std::sqrt(30000.0f)},
                                {" 5000", 5750.0f, 1440.0f},
                                {"-300", 6150.0f, 1440.0f},
                                {"loud", 6150.0f, 1440.0f}}) {
        rig.load(1, QStringLiteral("b.mp3"), QStringLiteral("100"), QString::fromLatin1(memory));
        EXPECT_FLOAT_EQ(b.lineX2(), x) << memory;
        EXPECT_FLOAT_EQ(b.lineY2(), y) << memory;
    }
    // The needle drawn from " 100" gives the level the drag stored it with.
    rig.load(1, QStringLiteral("b.mp3"), QStringLiteral("100"), QStringLiteral(" 100"));
    rig.mixer.volRPress();
    EXPECT_EQ(rig.playerB.level, -1);
}

}  // namespace
}  // namespace korvex::mixer
