#pragma once
// The main window's panel stack and its four view switches.
//
// Why it is shaped this way: which panels show (the sampler strip, the song lists, the menu bar) is a few
// flags, and everything else follows from them: the player panel's and the song-list panel's tops, the
// window's size and the pictures of the sampler and list buttons. `layoutpanels` turns the flags into that
// geometry, and the window only moves its panels and resizes itself to match. The flags are plain data
// because other parts of the program set them too (the settings file, the configuration dialog's sampler
// switch, the sound device at start-up, the mini bar), each followed by `layoutpanels`.
//
// The buttons' pictures go through SkinPictures like every other picture; a bitmap the skin cannot give
// ends `layoutpanels` before the geometry changes.
//
// Everything here runs on the user-interface thread.

#include <QString>

#include "appearance/layout_table.h"
#include "appearance/skin.h"

namespace korvex::appearance {

// What the main window shows.
struct ViewFlags {
    // `samplerview`: the sampler strip is shown (persisted).
    bool samplerview = true;
    // `listview`: the song-list panel is shown (persisted).
    bool listview = true;
    // `menuview`: the menu bar is shown.
    bool menuview = false;
    // `dsready`: the sampler's sound device exists; without it the sampler strip cannot be switched on.
    bool dsready = false;
};

// Where the panels are and how large the window is, in twips.
struct PanelGeometry {
    int playerTop = playerPanelTop(true);
    int listTop = playerPanelTop(true) + kPlayerPanelHeight;
    int width = kWindowWidth;
    int height = windowHeight(true, true, false);
    // The view this geometry shows: the sampler strip, the song-list panel and the menu bar.
    bool samplerShown = true;
    bool listShown = true;
    bool menuShown = false;
    bool operator==(const PanelGeometry&) const = default;
};

class PanelLayout {
public:
    // `pictures` and `check` must outlive the layout.
    PanelLayout(SkinPictures& pictures, PictureCheck& check);
    PanelLayout(const PanelLayout&) = delete;
    PanelLayout& operator=(const PanelLayout&) = delete;

    // The view flags; whoever changes them runs layoutpanels() afterwards.
    ViewFlags flags;

    // `layoutpanels`: shows the sampler and list buttons' pictures for the flags, then places the panels and
    // sizes the window. Returns false, with the geometry unchanged, when a button's bitmap cannot be loaded
    // (a picture loaded before it stays).
    bool layoutpanels();

    // The geometry the last complete layoutpanels() gave (the design's before the first).
    const PanelGeometry& geometry() const { return geometry_; }

    // Whether the top-level menus are shown.
    bool menusShown() const { return flags.menuview; }

    // `Imgsam` click: switches the sampler strip when the sound device exists, then lays out the panels
    // (also when nothing changed).
    void imgsamClick();
    // `Imglist` click: switches the song-list panel and lays out the panels.
    void imglistClick();
    // `Imgmenu` click: shows or hides the menu bar, with the button's active or idle picture, and lays out
    // the panels.
    void imgmenuClick();

private:
    SkinPictures& pictures_;
    PictureCheck& check_;
    PanelGeometry geometry_;
};

}  // namespace korvex::appearance
