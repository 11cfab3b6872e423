#include "appearance/layout_table.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace korvex::appearance {
namespace {

// Every file a skin folder holds for the main window and the recorder window.
const std::vector<std::string> kSkinFiles = {
    "menu1.bmp",        "menu2.bmp",       "recorder1.bmp", "recorder2.bmp",  "add1.bmp",
    "add2.bmp",         "dell1.bmp",       "dell2.bmp",     "up1.bmp",        "up2.bmp",
    "down1.bmp",        "down2.bmp",       "tob1.bmp",      "tob2.bmp",       "toa1.bmp",
    "toa2.bmp",         "formend1.bmp",    "formend2.bmp",  "formsmall1.bmp", "formsmall2.bmp",
    "formbar1.bmp",     "formbar2.bmp",    "sback1.bmp",    "sback2.bmp",     "sgo1.bmp",
    "sgo2.bmp",         "stop1.bmp",       "stop2.bmp",     "nextsong1.bmp",  "nextsong2.bmp",
    "presong1.bmp",     "presong2.bmp",    "cue1.bmp",      "cue2.bmp",       "play1.bmp",
    "play2.bmp",        "switch1.bmp",     "switch2.bmp",   "fdtoa1.bmp",     "fdtoa2.bmp",
    "fdtob1.bmp",       "fdtob2.bmp",      "center1.bmp",   "center2.bmp",    "miniplay.bmp",
    "ministop.bmp",     "minipre.bmp",     "mininext.bmp",  "bar.bmp",        "playerbase.bmp",
    "listbox.bmp",      "samplerbase.bmp", "jog.ico",       "ctrlbtn.bmp",    "faderbtn.bmp",
    "pan.bmp",          "ch12.bmp",        "ch21.bmp",      "fdp11.bmp",      "fdp12.bmp",
    "fdp21.bmp",        "fdp22.bmp",       "fdp31.bmp",     "fdp32.bmp",      "fdp41.bmp",
    "fdp42.bmp",        "sampler1.bmp",    "sampler2.bmp",  "list1.bmp",      "list2.bmp",
    "recorderbase.bmp", "recstart1.bmp",   "recstart2.bmp", "save1.bmp",      "save2.bmp",
};

std::set<std::string> filesOfTable() {
    std::set<std::string> files;
    for (const LayoutEntry& e : kLayout) {
        if (e.look == Look::kNone) continue;
        files.insert(bitmapFile(e, false));
        files.insert(bitmapFile(e, true));
    }
    return files;
}

// Where an indicator can be: the union of its boxes over its whole travel.
Rect travelEnvelope(const KnobTravel& t) {
    const Rect b = boxOf(t.indicator, t.index);
    const int first = static_cast<int>(t.first);
    const int last = static_cast<int>(t.last + 0.5);
    if (t.axis == Axis::kVertical) return {b.left, first, b.width, last - first + b.height};
    return {first, b.top, last - first + b.width, b.height};
}

TEST(LayoutTable, ShowsEveryBitmapOfTheSkinAndNoOther) {
    const std::set<std::string> table = filesOfTable();
    for (const std::string& f : kSkinFiles) EXPECT_TRUE(table.count(f)) << f << " has no layout entry";
    const std::set<std::string> expected(kSkinFiles.begin(), kSkinFiles.end());
    for (const std::string& f : table) EXPECT_TRUE(expected.count(f)) << f << " is not a skin file";
}

TEST(LayoutTable, NamesAreUniqueAndSizesArePixelExact) {
    std::set<std::string> names;
    for (const LayoutEntry& e : kLayout) {
        EXPECT_TRUE(names.insert(displayName(e)).second) << displayName(e) << " twice";
        EXPECT_EQ(e.box.width % kTwipsPerPixel, 0) << displayName(e);
        EXPECT_EQ(e.box.height % kTwipsPerPixel, 0) << displayName(e);
        EXPECT_GT(e.box.width, 0) << displayName(e);
        EXPECT_GT(e.box.height, 0) << displayName(e);
    }
}

TEST(LayoutTable, EntriesSharingABitmapAgreeOnItsSize) {
    for (const LayoutEntry& e : kLayout) {
        if (e.look == Look::kNone) continue;
        const Size s = bitmapSize(e.bitmap);
        const Rect picture{e.box.left, e.box.top, s.width, s.height};
        EXPECT_TRUE(e.box.contains(picture)) << displayName(e);
        // Only the volume indicators have a box wider than their picture.
        if (e.name != "Volbtn") {
            EXPECT_EQ(e.box.size(), s) << displayName(e);
        }
    }
    EXPECT_EQ(bitmapSize("stop"), (Size{495, 375}));  // the recorder's stop button fixes it
    EXPECT_EQ(bitmapSize("ctrlbtn"), (Size{495, 255}));
}

TEST(LayoutTable, KnobGeometryIsTheDesignGeometry) {
    struct Design {
        const char* name;
        int index;
        Rect box;
    };
    const Design design[] = {
        {"pitchbase", 0, {240, 1560, 495, 1920}},   {"pitchbase", 1, {9900, 1560, 495, 1920}},
        {"pitchbtn", 0, {220, 2400, 495, 255}},     {"pitchbtn", 1, {9880, 2400, 495, 255}},
        {"jogbase", 0, {2565, 2280, 1695, 1680}},   {"jogbase", 1, {6360, 2260, 1695, 1680}},
        {"jogbtn", 0, {3120, 2400, 495, 495}},      {"jogbtn", 1, {6960, 2400, 495, 495}},
        {"Volbase", 0, {4420, 1860, 615, 1680}},    {"Volbase", 1, {5580, 1860, 615, 1680}},
        {"Volbtn", 0, {4470, 1830, 615, 255}},      {"Volbtn", 1, {5620, 1830, 615, 255}},
        {"Panbase", 0, {970, 3430, 1335, 120}},     {"Panbase", 1, {8280, 3435, 1335, 120}},
        {"panbtn", 0, {1620, 3420, 135, 135}},      {"panbtn", 1, {8900, 3420, 135, 135}},
        {"Trimbase", 0, {4310, 1080, 720, 720}},    {"Trimbase", 1, {5590, 1080, 720, 720}},
        {"Faderbase", -1, {3600, 4080, 3375, 585}}, {"Faderbtn", -1, {5130, 4110, 375, 495}},
        {"masterbase", 0, {9790, 3800, 495, 1275}}, {"masterbase", 1, {9060, 3800, 495, 1275}},
        {"masterbtn", 0, {9790, 3840, 495, 255}},   {"masterbtn", 1, {9060, 3840, 495, 255}},
    };
    for (const Design& d : design) {
        const LayoutEntry* e = findEntry(d.name, d.index);
        ASSERT_NE(e, nullptr) << d.name << d.index;
        EXPECT_EQ(e->panel, Panel::kPlayerPanel) << d.name;
        EXPECT_EQ(e->box, d.box) << d.name << "(" << d.index << ")";
    }
    EXPECT_EQ(kTrimNeedles[0].centreX, 4670);
    EXPECT_EQ(kTrimNeedles[1].centreX, 5950);
    EXPECT_EQ(kTrimNeedles[0].centreY, 1440);
    EXPECT_EQ(kTrimNeedles[0].centreY - kTrimNeedles[0].length, 1240);
    EXPECT_DOUBLE_EQ(jogOrbit(0).radiusX, 423.75);
    EXPECT_DOUBLE_EQ(jogOrbit(1).centreY, 3100);
}

TEST(LayoutTable, TravelMatchesTheBasesAndClamps) {
    for (const KnobTravel& t : kKnobTravel) {
        const Rect ind = boxOf(t.indicator, t.index);
        const Rect base = boxOf(t.base, t.index);
        if (t.indicator == "pitchbtn" || t.indicator == "panbtn") {
            // Limited by the base: the indicator's centre reaches both ends of the base.
            const bool v = t.axis == Axis::kVertical;
            const double half = (v ? ind.height : ind.width) / 2.0;
            EXPECT_DOUBLE_EQ(t.first, (v ? base.top : base.left) - half) << t.indicator;
            EXPECT_DOUBLE_EQ(t.last, (v ? base.bottom() : base.right()) - half) << t.indicator;
        }
    }
    EXPECT_DOUBLE_EQ(kKnobTravel[0].first, 1432.5);
    EXPECT_DOUBLE_EQ(kKnobTravel[0].last, 3352.5);
    EXPECT_DOUBLE_EQ(kKnobTravel[2].last, 3330);
    EXPECT_DOUBLE_EQ(kKnobTravel[6].first, 3630);
    EXPECT_DOUBLE_EQ(kKnobTravel[8].last, 4840);
    // The neutral (design) positions lie on the travel.
    for (const KnobTravel& t : kKnobTravel) {
        const Rect ind = boxOf(t.indicator, t.index);
        const double at = t.axis == Axis::kVertical ? ind.top : ind.left;
        EXPECT_GE(at, t.first) << t.indicator;
        EXPECT_LE(at, t.last) << t.indicator;
    }
}

TEST(LayoutTable, PositionsGivenElsewhereAreKept) {
    EXPECT_EQ(boxOf("topbar"), (Rect{1100, 75, 1335, 180}));
    EXPECT_EQ(boxOf("Imgmenu").left, 6250);
    EXPECT_EQ(boxOf("Imgsam").left, 7060);
    EXPECT_EQ(boxOf("Imglist").left, 7880);
    EXPECT_EQ(boxOf("Imgrec").left, 8670);
    EXPECT_EQ(boxOf("Tobar").left, 9800);
    EXPECT_EQ(boxOf("Minimum").left, 10065);
    EXPECT_EQ(boxOf("Formend").left, 10330);
    const int lefts[] = {1980, 3690, 5400, 7110};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(boxOf("Text1", i), (Rect{lefts[i % 4], i < 4 ? 180 : 540, 1575, 255}));
    }
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(boxOf("lstUse", i), (Rect{1680 + 1800 * (i % 4), i < 4 ? 4200 : 4800, 1635, 420}));
    }
    EXPECT_EQ(boxOf("Picture1"), (Rect{0, 0, 2895, 1575}));
    EXPECT_EQ(boxOf("Label1"), (Rect{240, 440, 2295, 375}));
    EXPECT_EQ(boxOf("cmdsave"), (Rect{2030, 1050, 495, 375}));
    EXPECT_EQ(boxOf("frmend").left, 2530);
}

TEST(LayoutTable, PanelsStackAsTheWindowLayoutSays) {
    EXPECT_EQ(panelOrigin(Panel::kPlayerPanel, true).y, 1320);
    EXPECT_EQ(panelOrigin(Panel::kPlayerPanel, false).y, 300);
    EXPECT_EQ(panelOrigin(Panel::kListPanel, false).y, 5400);
    EXPECT_EQ(windowHeight(true, true, true), 8920);
    EXPECT_EQ(windowHeight(false, false, false), 5460);
    for (Panel p : {Panel::kSamplerStrip, Panel::kPlayerPanel, Panel::kListPanel}) {
        const char* name = p == Panel::kSamplerStrip  ? "Picture8"
                           : p == Panel::kPlayerPanel ? "Picture4"
                                                      : "Picture5";
        const Rect box = boxOf(name);
        EXPECT_EQ(box.size(), panelSize(p)) << name;
        EXPECT_EQ((Point{box.left, box.top}), panelOrigin(p, true)) << name;
    }
    // The list panel fits the window whether or not the sampler strip is shown.
    for (bool sampler : {false, true}) {
        EXPECT_LE(panelOrigin(Panel::kListPanel, sampler).y + kListPanelHeight,
                  windowHeight(sampler, true, false));
    }
}

TEST(LayoutTable, ControlsStayInsideTheirPanels) {
    for (const LayoutEntry& e : kLayout) {
        const Size p = panelSize(e.panel);
        if (e.name == "lstUse") {
            // The effect lists sit wholly below the shown part of the song-list panel, within its width.
            EXPECT_EQ(e.panel, Panel::kListPanel);
            EXPECT_GE(e.box.top, p.height) << displayName(e);
            EXPECT_LE(e.box.right(), p.width) << displayName(e);
            continue;
        }
        EXPECT_TRUE((Rect{0, 0, p.width, p.height}).contains(e.box)) << displayName(e);
        // Title-bar controls keep to the bar; the mini bar's clock is a tall label whose one line shows.
        const bool titleBar = e.panel == Panel::kWindow && e.role != Role::kBackground;
        if (titleBar && e.name != "bartime") {
            EXPECT_TRUE(boxOf("Image1").contains(e.box)) << displayName(e);
        }
    }
    const Size player = panelSize(Panel::kPlayerPanel);
    for (const KnobTravel& t : kKnobTravel) {
        EXPECT_TRUE((Rect{0, 0, player.width, player.height}).contains(travelEnvelope(t))) << t.indicator;
    }
}

TEST(LayoutTable, NothingOverlapsButIndicatorsOverTheirBases) {
    auto ownBase = [](const LayoutEntry& a, const LayoutEntry& b) {
        if (a.role != Role::kIndicator || b.role != Role::kKnobBase || a.index != b.index) return false;
        const std::map<std::string, std::string> base = {
            {"pitchbtn", "pitchbase"}, {"jogbtn", "jogbase"},     {"Volbtn", "Volbase"},
            {"panbtn", "Panbase"},     {"Faderbtn", "Faderbase"}, {"masterbtn", "masterbase"}};
        return base.at(std::string(a.name)) == b.name;
    };
    for (std::size_t i = 0; i < kLayout.size(); ++i) {
        for (std::size_t j = i + 1; j < kLayout.size(); ++j) {
            const LayoutEntry& a = kLayout[i];
            const LayoutEntry& b = kLayout[j];
            if (a.panel != b.panel || a.role == Role::kBackground || b.role == Role::kBackground) continue;
            if (ownBase(a, b) || ownBase(b, a)) continue;
            EXPECT_FALSE(a.box.intersects(b.box)) << displayName(a) << " overlaps " << displayName(b);
        }
    }
    // A moving indicator never runs over another control.
    for (const KnobTravel& t : kKnobTravel) {
        const Rect env = travelEnvelope(t);
        for (const LayoutEntry& e : kLayout) {
            if (e.panel != Panel::kPlayerPanel || e.role == Role::kBackground) continue;
            if (e.name == t.indicator && e.index == t.index) continue;
            if (e.name == t.base && e.index == t.index) continue;
            EXPECT_FALSE(env.intersects(e.box))
                << t.indicator << "(" << t.index << ") runs over " << displayName(e);
        }
    }
}

}  // namespace
}  // namespace korvex::appearance
