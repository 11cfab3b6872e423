#include "appearance/layout_table.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

namespace korvex::appearance {
namespace {

// Every file a skin folder holds for the main window and the recorder window: an idle ("1") and a pressed or
// active ("2") look of each pair, and the single pictures.
std::set<std::string> skinFiles() {
    std::set<std::string> files = {"miniplay.bmp", "ministop.bmp",   "minipre.bmp",      "mininext.bmp",
                                   "bar.bmp",      "playerbase.bmp", "listbox.bmp",      "samplerbase.bmp",
                                   "jog.ico",      "ctrlbtn.bmp",    "faderbtn.bmp",     "pan.bmp",
                                   "ch12.bmp",     "ch21.bmp",       "recorderbase.bmp", "wave.bmp"};
    for (const std::string pair :
         {"menu",    "recorder",  "add",     "dell",  "up",       "down",   "tob",      "toa",
          "formend", "formsmall", "formbar", "sback", "sgo",      "stop",   "nextsong", "presong",
          "cue",     "play",      "switch",  "fdtoa", "fdtob",    "center", "fdp1",     "fdp2",
          "fdp3",    "fdp4",      "sampler", "list",  "recstart", "save",     "eqlow",    "eqmid",
          "eqhigh",  "sync", "keylock", "pfl", "library", "onair"}) {
        files.insert(pair + "1.bmp");
        files.insert(pair + "2.bmp");
    }
    return files;
}

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
    EXPECT_EQ(filesOfTable(), skinFiles());
}

TEST(LayoutTable, NamesAreUniqueSizesArePixelExactAndEntriesSharingABitmapAgreeOnItsSize) {
    std::set<std::string> names;
    for (const LayoutEntry& e : kLayout) {
        EXPECT_TRUE(names.insert(displayName(e)).second) << displayName(e) << " twice";
        EXPECT_EQ(e.box.width % kTwipsPerPixel, 0) << displayName(e);
        EXPECT_EQ(e.box.height % kTwipsPerPixel, 0) << displayName(e);
        EXPECT_GT(e.box.width, 0) << displayName(e);
        EXPECT_GT(e.box.height, 0) << displayName(e);
        if (e.look == Look::kNone) continue;
        // Only the volume indicators have a box wider than their picture.
        const Size s = bitmapSize(e.bitmap);
        EXPECT_TRUE(e.box.contains(Rect{e.box.left, e.box.top, s.width, s.height})) << displayName(e);
        if (e.name != "Volbtn") {
            EXPECT_EQ(e.box.size(), s) << displayName(e);
        }
    }
    EXPECT_EQ(bitmapSize("stop"), (Size{495, 375}));  // the recorder's stop button fixes it
    EXPECT_EQ(bitmapSize("ctrlbtn"), (Size{495, 255}));
}

TEST(LayoutTable, TravelMatchesTheBasesAndHoldsTheDesignPositions) {
    for (const KnobTravel& t : kKnobTravel) {
        const Rect ind = boxOf(t.indicator, t.index);
        const Rect base = boxOf(t.base, t.index);
        const bool v = t.axis == Axis::kVertical;
        if (t.indicator == "pitchbtn" || t.indicator == "panbtn" || t.indicator == "eqbtn" ||
            t.indicator == "phmixbtn") {
            // Limited by the base: the indicator's centre reaches both ends of the base.
            const double half = (v ? ind.height : ind.width) / 2.0;
            EXPECT_DOUBLE_EQ(t.first, (v ? base.top : base.left) - half) << t.indicator;
            EXPECT_DOUBLE_EQ(t.last, (v ? base.bottom() : base.right()) - half) << t.indicator;
        }
        EXPECT_GE(v ? ind.top : ind.left, t.first) << t.indicator;
        EXPECT_LE(v ? ind.top : ind.left, t.last) << t.indicator;
    }
}

TEST(LayoutTable, PanelsStackAsTheWindowLayoutSays) {
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
        // Title-bar controls keep to the bar, its texts included.
        const bool titleBar = e.panel == Panel::kWindow && e.role != Role::kBackground;
        if (titleBar) {
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
            {"panbtn", "Panbase"},     {"Faderbtn", "Faderbase"}, {"masterbtn", "masterbase"},
            {"eqbtn", "eqbase"},       {"phmixbtn", "phmixbase"}};
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
