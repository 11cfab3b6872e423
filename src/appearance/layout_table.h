#pragma once

// The geometry of the main window and of the recorder window: one table, the only place where a control's
// place and size are written down. The windows place their children from it, the skin painter paints the
// bitmaps at its sizes and draws the panels' scales where the knobs sit.
//
// Units are twips, 15 twips per logical pixel.
//
// Coordinates: an entry's left and top are relative to the top-left corner of the panel it sits on.
//  - Panel::kWindow: the main window's own coordinates. The title bar's controls live here, and so do the
//    three panels themselves; their entries give the panels' places with the sampler strip and the song
//    list both shown. panelOrigin() gives a panel's place for any combination.
//  - Panel::kSamplerStrip, Panel::kPlayerPanel, Panel::kListPanel: relative to that panel. A panel moves as
//    a whole when the sampler strip or the song list is shown or hidden; its children keep their numbers.
//    The knob positions the mixer keeps (pitch indicator Top 2400, crossfader Left 5130, trim centre
//    (4670, 1440) ...) are player-panel coordinates.
//  - Panel::kRecorder: the recorder window's own coordinates.
//
// A picture is drawn with its top-left corner at its entry's left and top, at its bitmap's own size
// (bitmapSize()). Entries that share a bitmap have that size, except the volume indicators: their box is
// wider than the slider cap they share with the pitch and master indicators.

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace korvex::appearance {

inline constexpr int kTwipsPerPixel = 15;

// The main window is always this wide.
inline constexpr int kWindowWidth = 10680;
// The title bar strip at the top of the main window; the panels stack below it.
inline constexpr int kTitleBarHeight = 300;
inline constexpr int kSamplerStripHeight = 1020;
// The song-list panel always starts this far below the player panel's top.
inline constexpr int kPlayerPanelHeight = 5100;
inline constexpr int kListPanelHeight = 2160;
// Extra window height while the menu bar is shown.
inline constexpr int kMenuBarHeight = 280;
inline constexpr int kRecorderWidth = 2895;
inline constexpr int kRecorderHeight = 1575;

// What an entry's coordinates are relative to.
enum class Panel : std::uint8_t { kWindow, kSamplerStrip, kPlayerPanel, kListPanel, kRecorder };

// What an entry is, as far as layout cares: backgrounds lie under everything, an indicator moves over its
// knob base, everything else keeps to its own box. A plate is a picture that only labels its neighbour.
enum class Role : std::uint8_t { kBackground, kButton, kPlate, kIndicator, kKnobBase, kLabel, kList };

// How an entry's bitmap files are named from its base name: none, "base.bmp", "base1.bmp" (idle) and
// "base2.bmp" (pressed or active), or "base.ico".
enum class Look : std::uint8_t { kNone, kSingle, kPair, kIcon };

struct Size {
    int width;
    int height;
    constexpr bool operator==(const Size&) const = default;
};

struct Point {
    int x;
    int y;
    constexpr bool operator==(const Point&) const = default;
};

// A box in twips; right and bottom are exclusive.
struct Rect {
    int left;
    int top;
    int width;
    int height;

    constexpr int right() const { return left + width; }
    constexpr int bottom() const { return top + height; }
    constexpr Size size() const { return {width, height}; }
    constexpr bool contains(const Rect& o) const {
        return o.left >= left && o.top >= top && o.right() <= right() && o.bottom() <= bottom();
    }
    constexpr bool intersects(const Rect& o) const {
        return o.left < right() && left < o.right() && o.top < bottom() && top < o.bottom();
    }
    constexpr bool operator==(const Rect&) const = default;
};

// One control or image: its design name and index (-1 for a control that is not part of an array).
struct LayoutEntry {
    std::string_view name;
    int index;
    Panel panel;
    Rect box;
    Role role;
    std::string_view bitmap;  // base name of the skin bitmap, empty when the entry shows none
    Look look;
};

// clang-format off
inline constexpr auto kLayout = [] {
    using enum Panel;
    using enum Role;
    using enum Look;
    constexpr Panel W = kWindow, S = kSamplerStrip, P = kPlayerPanel, L = kListPanel, R = kRecorder;
    return std::to_array<LayoutEntry>({
        // Title bar: the bar picture, its texts, the mini-bar buttons (shown only in the mini bar, at this
        // top), the four mode buttons and the window buttons.
        {"Image1", -1, W, {0, 0, 10680, 300}, kBackground, "bar", kSingle},
        // The two texts are as tall as a line of their font and end with the bar (and the mini bar).
        {"topbar", -1, W, {1100, 60, 1335, 240}, kLabel, "", kNone},
        {"bartime", -1, W, {2520, 60, 480, 240}, kLabel, "", kNone},
        {"miniplay", -1, W, {3160, 40, 135, 255}, kButton, "miniplay", kSingle},
        {"ministop", -1, W, {3340, 40, 135, 255}, kButton, "ministop", kSingle},
        {"minipre", -1, W, {3520, 40, 135, 255}, kButton, "minipre", kSingle},
        {"mininext", -1, W, {3700, 40, 135, 255}, kButton, "mininext", kSingle},
        // The broadcast's ON AIR key, after the mini bar's buttons.
        {"Imgonair", -1, W, {4350, 60, 840, 195}, kButton, "onair", kPair},
        {"Imgmenu", -1, W, {5430, 60, 750, 195}, kButton, "menu", kPair},
        {"Imgsam", -1, W, {6250, 60, 750, 195}, kButton, "sampler", kPair},
        {"Imglist", -1, W, {7060, 60, 750, 195}, kButton, "list", kPair},
        // The music library's key, lit while its window is open.
        {"Imglib", -1, W, {7880, 60, 750, 195}, kButton, "library", kPair},
        {"Imgrec", -1, W, {8670, 60, 750, 195}, kButton, "recorder", kPair},
        {"Tobar", -1, W, {9800, 60, 240, 195}, kButton, "formbar", kPair},
        {"Minimum", -1, W, {10065, 60, 240, 195}, kButton, "formsmall", kPair},
        {"Formend", -1, W, {10330, 60, 240, 195}, kButton, "formend", kPair},
        // The panels, placed for the layout with the sampler strip and the song list shown.
        {"Picture8", -1, W, {0, 300, 10680, 1020}, kBackground, "samplerbase", kSingle},
        {"Picture4", -1, W, {0, 1320, 10680, 5100}, kBackground, "playerbase", kSingle},
        {"Picture5", -1, W, {0, 6420, 10680, 2160}, kBackground, "listbox", kSingle},

        // Sampler strip: the eight slot labels in two rows.
        {"Text1", 0, S, {1980, 180, 1575, 255}, kLabel, "", kNone},
        {"Text1", 1, S, {3690, 180, 1575, 255}, kLabel, "", kNone},
        {"Text1", 2, S, {5400, 180, 1575, 255}, kLabel, "", kNone},
        {"Text1", 3, S, {7110, 180, 1575, 255}, kLabel, "", kNone},
        {"Text1", 4, S, {1980, 540, 1575, 255}, kLabel, "", kNone},
        {"Text1", 5, S, {3690, 540, 1575, 255}, kLabel, "", kNone},
        {"Text1", 6, S, {5400, 540, 1575, 255}, kLabel, "", kNone},
        {"Text1", 7, S, {7110, 540, 1575, 255}, kLabel, "", kNone},

        // Player panel, deck displays: title or time, file label, then mode, key focus, pitch and length.
        {"text2", 0, P, {330, 165, 3780, 480}, kLabel, "", kNone},
        {"text2", 1, P, {6570, 165, 3780, 480}, kLabel, "", kNone},
        {"lbfilename", 0, P, {330, 705, 3780, 240}, kLabel, "", kNone},
        {"lbfilename", 1, P, {6570, 705, 3780, 240}, kLabel, "", kNone},
        {"modelabel", 0, P, {330, 1005, 690, 225}, kLabel, "", kNone},
        {"modelabel", 1, P, {6570, 1005, 690, 225}, kLabel, "", kNone},
        {"Keyfocus", 0, P, {1080, 1005, 690, 225}, kLabel, "", kNone},
        {"Keyfocus", 1, P, {7320, 1005, 690, 225}, kLabel, "", kNone},
        {"Pitchper", 0, P, {2430, 1005, 810, 225}, kLabel, "", kNone},
        {"Pitchper", 1, P, {8670, 1005, 810, 225}, kLabel, "", kNone},
        {"Totaltime", 0, P, {3300, 1005, 810, 225}, kLabel, "", kNone},
        {"Totaltime", 1, P, {9540, 1005, 810, 225}, kLabel, "", kNone},
        // The deck's tempo as heard (the song's BPM at the pitch knob's rate), between the key mark and
        // the pitch.
        {"Tempo", 0, P, {1800, 1005, 600, 225}, kLabel, "", kNone},
        {"Tempo", 1, P, {8040, 1005, 600, 225}, kLabel, "", kNone},

        // The waveform overview of each deck's song, a thin strip between the display and the transport keys
        // (its background is the skin's; a click seeks).
        {"wave", 0, P, {1020, 1305, 3150, 150}, kButton, "wave", kSingle},
        {"wave", 1, P, {6510, 1305, 3150, 150}, kButton, "wave", kSingle},

        // Transport under each display: CUE, Play/Pause, Stop.
        {"Play", 0, P, {1020, 1470, 810, 495}, kButton, "cue", kPair},
        {"Pause", 0, P, {1920, 1470, 810, 495}, kButton, "play", kPair},
        {"Stop", 0, P, {2820, 1530, 495, 375}, kButton, "stop", kPair},
        {"Play", 1, P, {7365, 1470, 810, 495}, kButton, "cue", kPair},
        {"Pause", 1, P, {8265, 1470, 810, 495}, kButton, "play", kPair},
        {"Stop", 1, P, {9165, 1530, 495, 375}, kButton, "stop", kPair},
        // Song and search buttons between the pitch slider and the jog wheel.
        {"SongPre", 0, P, {1020, 2085, 495, 375}, kButton, "presong", kPair},
        {"SongNext", 0, P, {1605, 2085, 495, 375}, kButton, "nextsong", kPair},
        {"searchL", 0, P, {1020, 2550, 495, 375}, kButton, "sback", kPair},
        {"searchR", 0, P, {1605, 2550, 495, 375}, kButton, "sgo", kPair},
        {"SongPre", 1, P, {8580, 2085, 495, 375}, kButton, "presong", kPair},
        {"SongNext", 1, P, {9165, 2085, 495, 375}, kButton, "nextsong", kPair},
        {"searchL", 1, P, {8580, 2550, 495, 375}, kButton, "sback", kPair},
        {"searchR", 1, P, {9165, 2550, 495, 375}, kButton, "sgo", kPair},
        // Sync, beside the song buttons on the jog wheel's side (lit while the tempi match).
        {"sync", 0, P, {2190, 2085, 360, 375}, kButton, "sync", kPair},
        {"sync", 1, P, {8130, 2085, 360, 375}, kButton, "sync", kPair},
        // Keylock, beside the search buttons on the jog wheel's side: lit while the pitch slider sets the tempo only.
        {"keylock", 0, P, {2175, 2550, 375, 375}, kButton, "keylock", kPair},
        {"keylock", 1, P, {8130, 2550, 375, 375}, kButton, "keylock", kPair},

        // Knobs: bases and indicators.
        // The pitch reset: a click on the caption above each pitch slider.
        {"def", 0, P, {240, 1260, 495, 165}, kLabel, "", kNone},
        {"def", 1, P, {9900, 1260, 495, 165}, kLabel, "", kNone},
        {"pitchbase", 0, P, {240, 1560, 495, 1920}, kKnobBase, "", kNone},
        {"pitchbase", 1, P, {9900, 1560, 495, 1920}, kKnobBase, "", kNone},
        {"pitchbtn", 0, P, {220, 2400, 495, 255}, kIndicator, "ctrlbtn", kSingle},
        {"pitchbtn", 1, P, {9880, 2400, 495, 255}, kIndicator, "ctrlbtn", kSingle},
        {"jogbase", 0, P, {2565, 2280, 1695, 1680}, kKnobBase, "", kNone},
        {"jogbase", 1, P, {6360, 2260, 1695, 1680}, kKnobBase, "", kNone},
        {"jogbtn", 0, P, {3120, 2400, 495, 495}, kIndicator, "jog", kIcon},
        {"jogbtn", 1, P, {6960, 2400, 495, 495}, kIndicator, "jog", kIcon},
        {"Volbase", 0, P, {4420, 1860, 615, 1680}, kKnobBase, "", kNone},
        {"Volbase", 1, P, {5580, 1860, 615, 1680}, kKnobBase, "", kNone},
        {"Volbtn", 0, P, {4470, 1830, 615, 255}, kIndicator, "ctrlbtn", kSingle},
        {"Volbtn", 1, P, {5620, 1830, 615, 255}, kIndicator, "ctrlbtn", kSingle},
        {"Panbase", 0, P, {970, 3430, 1335, 120}, kKnobBase, "", kNone},
        {"Panbase", 1, P, {8280, 3435, 1335, 120}, kKnobBase, "", kNone},
        {"panbtn", 0, P, {1620, 3420, 135, 135}, kIndicator, "pan", kSingle},
        {"panbtn", 1, P, {8900, 3420, 135, 135}, kIndicator, "pan", kSingle},
        {"Trimbase", 0, P, {4310, 1080, 720, 720}, kKnobBase, "", kNone},
        {"Trimbase", 1, P, {5590, 1080, 720, 720}, kKnobBase, "", kNone},
        {"Faderbase", -1, P, {3600, 4080, 3375, 585}, kKnobBase, "", kNone},
        {"Faderbtn", -1, P, {5130, 4110, 375, 495}, kIndicator, "faderbtn", kSingle},
        {"masterbase", 0, P, {9790, 3800, 495, 1275}, kKnobBase, "", kNone},
        {"masterbase", 1, P, {9060, 3800, 495, 1275}, kKnobBase, "", kNone},
        {"masterbtn", 0, P, {9790, 3840, 495, 255}, kIndicator, "ctrlbtn", kSingle},
        {"masterbtn", 1, P, {9060, 3840, 495, 255}, kIndicator, "ctrlbtn", kSingle},
        // Each deck's equaliser in the lower corner below it, low, mid and high from the top (index deck * 3
        // + band): the kill switch, then the band's gain slider (0 dB at the middle).
        {"eqkill", 0, P, {1545, 4155, 345, 240}, kButton, "eqlow", kPair},
        {"eqbase", 0, P, {1965, 4215, 600, 120}, kKnobBase, "", kNone},
        {"eqbtn", 0, P, {2198, 4207, 135, 135}, kIndicator, "pan", kSingle},
        {"eqkill", 1, P, {1545, 4455, 345, 240}, kButton, "eqmid", kPair},
        {"eqbase", 1, P, {1965, 4515, 600, 120}, kKnobBase, "", kNone},
        {"eqbtn", 1, P, {2198, 4507, 135, 135}, kIndicator, "pan", kSingle},
        {"eqkill", 2, P, {1545, 4755, 345, 240}, kButton, "eqhigh", kPair},
        {"eqbase", 2, P, {1965, 4815, 600, 120}, kKnobBase, "", kNone},
        {"eqbtn", 2, P, {2198, 4807, 135, 135}, kIndicator, "pan", kSingle},
        {"eqkill", 3, P, {7845, 4155, 345, 240}, kButton, "eqlow", kPair},
        {"eqbase", 3, P, {8265, 4215, 600, 120}, kKnobBase, "", kNone},
        {"eqbtn", 3, P, {8498, 4207, 135, 135}, kIndicator, "pan", kSingle},
        {"eqkill", 4, P, {7845, 4455, 345, 240}, kButton, "eqmid", kPair},
        {"eqbase", 4, P, {8265, 4515, 600, 120}, kKnobBase, "", kNone},
        {"eqbtn", 4, P, {8498, 4507, 135, 135}, kIndicator, "pan", kSingle},
        {"eqkill", 5, P, {7845, 4755, 345, 240}, kButton, "eqhigh", kPair},
        {"eqbase", 5, P, {8265, 4815, 600, 120}, kKnobBase, "", kNone},
        {"eqbtn", 5, P, {8498, 4807, 135, 135}, kIndicator, "pan", kSingle},
        // Name plates over the monitor (index 0) and master (index 1) sliders.
        {"Imgmonitor", 0, P, {9790, 3615, 495, 165}, kPlate, "ch12", kSingle},
        {"Imgmonitor", 1, P, {9060, 3615, 495, 165}, kPlate, "ch21", kSingle},

        // Crossfader section: pattern buttons above the fader, jumps to either end beside it, Switch and
        // Center below it.
        {"FDpaturn", 0, P, {4320, 3645, 450, 345}, kButton, "fdp1", kPair},
        {"FDpaturn", 1, P, {4830, 3645, 450, 345}, kButton, "fdp2", kPair},
        {"FDpaturn", 2, P, {5340, 3645, 450, 345}, kButton, "fdp3", kPair},
        {"FDpaturn", 3, P, {5850, 3645, 450, 345}, kButton, "fdp4", kPair},
        {"Lvol", -1, P, {2880, 4170, 660, 405}, kButton, "fdtoa", kPair},
        {"volR", -1, P, {7065, 4170, 660, 405}, kButton, "fdtob", kPair},
        {"switch", -1, P, {4560, 4725, 705, 330}, kButton, "switch", kPair},
        // The headphones in the crossfader panel's lower corners: each deck's pre-listen switch below its
        // crossfader button, and the headphone mix (cue .. master) between deck A's switch and SWITCH.
        {"pfl", 0, P, {2880, 4725, 660, 330}, kButton, "pfl", kPair},
        {"pfl", 1, P, {7065, 4725, 660, 330}, kButton, "pfl", kPair},
        {"phmixbase", -1, P, {3645, 4875, 840, 120}, kKnobBase, "", kNone},
        {"phmixbtn", -1, P, {3998, 4867, 135, 135}, kIndicator, "pan", kSingle},
        {"center", -1, P, {5370, 4725, 705, 330}, kButton, "center", kPair},

        // Song-list panel: the two title lists with each deck's edit buttons on the inner side and the
        // transfer buttons between them.
        {"title1", 0, L, {120, 120, 4320, 1920}, kList, "", kNone},
        {"title1", 1, L, {6240, 120, 4320, 1920}, kList, "", kNone},
        {"Imgadd", 0, L, {4500, 120, 450, 405}, kButton, "add", kPair},
        {"Imgdell", 0, L, {4500, 615, 450, 405}, kButton, "dell", kPair},
        {"Imgup", 0, L, {4500, 1110, 450, 405}, kButton, "up", kPair},
        {"Imgdwn", 0, L, {4500, 1605, 450, 405}, kButton, "down", kPair},
        {"ImgtoB", -1, L, {5010, 615, 660, 405}, kButton, "tob", kPair},
        {"ImgtoA", -1, L, {5010, 1110, 660, 405}, kButton, "toa", kPair},
        {"Imgadd", 1, L, {5730, 120, 450, 405}, kButton, "add", kPair},
        {"Imgdell", 1, L, {5730, 615, 450, 405}, kButton, "dell", kPair},
        {"Imgup", 1, L, {5730, 1110, 450, 405}, kButton, "up", kPair},
        {"Imgdwn", 1, L, {5730, 1605, 450, 405}, kButton, "down", kPair},
        // The sampler slots' effect lists, two rows of four. They lie below the part of the panel the window
        // shows (the panel is 2160 high), so they keep each slot's effect entries out of sight.
        {"lstUse", 0, L, {1680, 4200, 1635, 420}, kList, "", kNone},
        {"lstUse", 1, L, {3480, 4200, 1635, 420}, kList, "", kNone},
        {"lstUse", 2, L, {5280, 4200, 1635, 420}, kList, "", kNone},
        {"lstUse", 3, L, {7080, 4200, 1635, 420}, kList, "", kNone},
        {"lstUse", 4, L, {1680, 4800, 1635, 420}, kList, "", kNone},
        {"lstUse", 5, L, {3480, 4800, 1635, 420}, kList, "", kNone},
        {"lstUse", 6, L, {5280, 4800, 1635, 420}, kList, "", kNone},
        {"lstUse", 7, L, {7080, 4800, 1635, 420}, kList, "", kNone},

        // Recorder window.
        {"Picture1", -1, R, {0, 0, 2895, 1575}, kBackground, "recorderbase", kSingle},
        {"Label1", -1, R, {240, 440, 2295, 375}, kLabel, "", kNone},
        {"cmdstart", -1, R, {940, 1050, 495, 375}, kButton, "recstart", kPair},
        {"cmdstop", -1, R, {1490, 1050, 495, 375}, kButton, "stop", kPair},
        {"cmdsave", -1, R, {2030, 1050, 495, 375}, kButton, "save", kPair},
        {"frmend", -1, R, {2530, 40, 240, 195}, kButton, "formend", kPair},
    });
}();
// clang-format on

// The entry with this name and index, or nullptr.
constexpr const LayoutEntry* findEntry(std::string_view name, int index = -1) {
    for (const LayoutEntry& e : kLayout) {
        if (e.name == name && e.index == index) return &e;
    }
    return nullptr;
}

// An entry that must exist (a misspelt name is a programming error).
constexpr const LayoutEntry& entryOf(std::string_view name, int index = -1) {
    const LayoutEntry* e = findEntry(name, index);
    if (e == nullptr) throw std::out_of_range("no such layout entry");
    return *e;
}

constexpr Rect boxOf(std::string_view name, int index = -1) {
    return entryOf(name, index).box;
}

// The size a bitmap is painted at: the box of the first entry that shows it; {0, 0} for an unknown name.
constexpr Size bitmapSize(std::string_view bitmap) {
    for (const LayoutEntry& e : kLayout) {
        if (e.look != Look::kNone && e.bitmap == bitmap) return e.box.size();
    }
    return {0, 0};
}

// The file an entry shows: the idle look, or with pressed set the pressed or active look of a pair.
// Empty for an entry without a bitmap.
inline std::string bitmapFile(const LayoutEntry& e, bool pressed = false) {
    const std::string base(e.bitmap);
    switch (e.look) {
        case Look::kNone:
            return {};
        case Look::kSingle:
            return base + ".bmp";
        case Look::kPair:
            return base + (pressed ? "2.bmp" : "1.bmp");
        case Look::kIcon:
            return base + ".ico";
    }
    return {};
}

// "name" or "name(index)", as the controls are called in messages and tests.
inline std::string displayName(const LayoutEntry& e) {
    std::string s(e.name);
    if (e.index >= 0) s += "(" + std::to_string(e.index) + ")";
    return s;
}

// The extent of a panel in its own coordinates; the window's is its largest (both panels shown, no menu).
constexpr Size panelSize(Panel panel) {
    switch (panel) {
        case Panel::kWindow:
            return {kWindowWidth, 8640};
        case Panel::kSamplerStrip:
            return {kWindowWidth, kSamplerStripHeight};
        case Panel::kPlayerPanel:
            return {kWindowWidth, kPlayerPanelHeight};
        case Panel::kListPanel:
            return {kWindowWidth, kListPanelHeight};
        case Panel::kRecorder:
            return {kRecorderWidth, kRecorderHeight};
    }
    return {0, 0};
}

// The player panel's top in the window: below the sampler strip when it is shown, else below the title bar.
constexpr int playerPanelTop(bool samplerView) {
    return samplerView ? kTitleBarHeight + kSamplerStripHeight : kTitleBarHeight;
}

// Where a panel's origin lies in the main window (the recorder is a window of its own: {0, 0}).
constexpr Point panelOrigin(Panel panel, bool samplerView) {
    switch (panel) {
        case Panel::kWindow:
            return {0, 0};
        case Panel::kSamplerStrip:
            return {0, kTitleBarHeight};
        case Panel::kPlayerPanel:
            return {0, playerPanelTop(samplerView)};
        case Panel::kListPanel:
            return {0, playerPanelTop(samplerView) + kPlayerPanelHeight};
        case Panel::kRecorder:
            return {0, 0};
    }
    return {0, 0};
}

// The main window's height for a combination of shown panels and menu bar.
constexpr int windowHeight(bool samplerView, bool listView, bool menuView) {
    int h = 0;
    if (samplerView) {
        h = listView ? 8640 : 6480;
    } else {
        h = listView ? 7600 : 5460;
    }
    return menuView ? h + kMenuBarHeight : h;
}

// --- Knob travel
// ---------------------------------------------------------------------------------------------

enum class Axis : std::uint8_t { kVertical, kHorizontal };

// The span of a linear indicator's position (its Top for a vertical knob, its Left for a horizontal one),
// in player-panel twips. Pitch and pan are limited by their base rectangle, the others are clamped.
struct KnobTravel {
    std::string_view indicator;
    int index;
    std::string_view base;
    Axis axis;
    double first;  // Top or Left at the top or left end
    double last;   // Top or Left at the bottom or right end
};

inline constexpr auto kKnobTravel = std::to_array<KnobTravel>({
    {"pitchbtn", 0, "pitchbase", Axis::kVertical, 1432.5, 3352.5},
    {"pitchbtn", 1, "pitchbase", Axis::kVertical, 1432.5, 3352.5},
    {"Volbtn", 0, "Volbase", Axis::kVertical, 1830, 3330},
    {"Volbtn", 1, "Volbase", Axis::kVertical, 1830, 3330},
    {"panbtn", 0, "Panbase", Axis::kHorizontal, 902.5, 2237.5},
    {"panbtn", 1, "Panbase", Axis::kHorizontal, 8212.5, 9547.5},
    {"Faderbtn", -1, "Faderbase", Axis::kHorizontal, 3630, 6630},
    {"masterbtn", 0, "masterbase", Axis::kVertical, 3840, 4840},
    {"masterbtn", 1, "masterbase", Axis::kVertical, 3840, 4840},
    {"eqbtn", 0, "eqbase", Axis::kHorizontal, 1897.5, 2497.5},
    {"eqbtn", 1, "eqbase", Axis::kHorizontal, 1897.5, 2497.5},
    {"eqbtn", 2, "eqbase", Axis::kHorizontal, 1897.5, 2497.5},
    {"eqbtn", 3, "eqbase", Axis::kHorizontal, 8197.5, 8797.5},
    {"eqbtn", 4, "eqbase", Axis::kHorizontal, 8197.5, 8797.5},
    {"eqbtn", 5, "eqbase", Axis::kHorizontal, 8197.5, 8797.5},
    {"phmixbtn", -1, "phmixbase", Axis::kHorizontal, 3577.5, 4417.5},
});

// The trim knob's needle: a line from the fixed centre of its base, this long, on the upper half circle.
struct TrimNeedle {
    double centreX;
    double centreY;
    double length;
};

inline constexpr std::array<TrimNeedle, 2> kTrimNeedles{{{4670, 1440, 200}, {5950, 1440, 200}}};

// The circle the jog indicator's centre runs on: the middle of the jog base, radii a quarter of its size.
struct JogOrbit {
    double centreX;
    double centreY;
    double radiusX;
    double radiusY;
};

constexpr JogOrbit jogOrbit(int deck) {
    const Rect b = boxOf("jogbase", deck);
    return {b.left + b.width / 2.0, b.top + b.height / 2.0, b.width / 4.0, b.height / 4.0};
}

}  // namespace korvex::appearance
