#include "skin.h"

#include "appearance/layout_table.h"
#include "draw_kit.h"
#include "panels.h"

#include <cmath>

namespace korvex::skinpainter {
namespace {

using appearance::Panel;

// The background picture of a panel.
const char* panelFile(Panel panel) {
    switch (panel) {
        case Panel::kWindow:
            return "bar.bmp";
        case Panel::kSamplerStrip:
            return "samplerbase.bmp";
        case Panel::kPlayerPanel:
            return "playerbase.bmp";
        case Panel::kListPanel:
            return "listbox.bmp";
        case Panel::kRecorder:
            return "recorderbase.bmp";
    }
    return "";
}

}  // namespace

QImage backgroundUnder(const Images& images, std::string_view bitmap) {
    for (const appearance::LayoutEntry& e : appearance::kLayout) {
        if (e.bitmap != bitmap || e.look == appearance::Look::kNone) continue;
        const QImage& panel = images.at(panelFile(e.panel));
        const QSize size = pixelSize(appearance::bitmapSize(bitmap));
        const QPoint at(static_cast<int>(std::lround(px(e.box.left))),
                        static_cast<int>(std::lround(px(e.box.top))));
        return panel.copy(QRect(at, size));
    }
    return {};
}

Images paintSkin(const Palette& pal) {
    Images images;
    images["bar.bmp"] = paintTitleBar(pal);
    images["samplerbase.bmp"] = paintSamplerStrip(pal);
    images["playerbase.bmp"] = paintPlayerPanel(pal);
    images["listbox.bmp"] = paintListPanel(pal);
    images["recorderbase.bmp"] = paintRecorderBase(pal);
    images["wave.bmp"] = paintWaveStrip(pal);
    paintButtons(pal, images);
    paintKnobs(pal, images);
    // The colour the window draws the trim needles in.
    QImage needle(8, 8, QImage::Format_RGB32);
    needle.fill(pal.needle);
    images["needle.bmp"] = needle;
    return images;
}

}  // namespace korvex::skinpainter
