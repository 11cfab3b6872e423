#include "appearance/panel_layout.h"

namespace korvex::appearance {

PanelLayout::PanelLayout(SkinPictures& pictures, PictureCheck& check) : pictures_(pictures), check_(check) {}

bool PanelLayout::layoutpanels() {
    const bool sampler = flags.samplerview;
    const bool list = flags.listview;
    const QString samBitmap = sampler ? QStringLiteral("sampler2.bmp") : QStringLiteral("sampler1.bmp");
    const QString listBitmap = list ? QStringLiteral("list2.bmp") : QStringLiteral("list1.bmp");
    if (!pictures_.show("Imgsam", -1, samBitmap, check_)) return false;
    if (!pictures_.show("Imglist", -1, listBitmap, check_)) return false;

    PanelGeometry g;
    g.playerTop = playerPanelTop(sampler);
    g.height = windowHeight(sampler, list, false);
    g.listTop = g.playerTop + kPlayerPanelHeight;
    g.width = kWindowWidth;
    if (flags.menuview) g.height += kMenuBarHeight;
    g.samplerShown = sampler;
    g.listShown = list;
    g.menuShown = flags.menuview;
    geometry_ = g;
    return true;
}

void PanelLayout::imgsamClick() {
    if (flags.dsready) flags.samplerview = !flags.samplerview;
    layoutpanels();
}

void PanelLayout::imglistClick() {
    flags.listview = !flags.listview;
    layoutpanels();
}

void PanelLayout::imgmenuClick() {
    // A picture the skin cannot give leaves the button as it was; the menu bar still switches.
    if (flags.menuview) {
        pictures_.show("Imgmenu", -1, QStringLiteral("menu1.bmp"), check_);
        flags.menuview = false;
    } else {
        pictures_.show("Imgmenu", -1, QStringLiteral("menu2.bmp"), check_);
        flags.menuview = true;
    }
    layoutpanels();
}

}  // namespace korvex::appearance
