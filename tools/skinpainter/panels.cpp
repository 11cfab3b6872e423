// The smaller backgrounds: title bar, sampler strip, song-list panel and the recorder window.

#include "panels.h"
#include "draw_kit.h"

#include <QLinearGradient>

namespace korvex::skinpainter {
namespace {

using appearance::boxOf;
using appearance::Rect;

QPainterPath rounded(const QRectF& r, double radius) {
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

// A box grown by a margin in twips, in pixels.
QRectF around(const Rect& r, double margin) {
    return pxCorners(r.left - margin, r.top - margin, r.right() + margin, r.bottom() + margin);
}

// A grip of small dimples where the window is dragged.
void grip(QPainter& p, const QRectF& r, const Palette& pal) {
    p.save();
    p.setPen(Qt::NoPen);
    for (double x = r.left() + 1.5; x < r.right() - 1; x += 4) {
        for (int row = 0; row < 2; ++row) {
            const QPointF c(x + row * 2, r.center().y() - 2 + row * 4);
            p.setBrush(withAlpha(pal.rimLight, 90));
            p.drawEllipse(c + QPointF(0.3, 0.5), 0.8, 0.8);
            p.setBrush(QColor(0, 0, 0, 170));
            p.drawEllipse(c, 0.8, 0.8);
        }
    }
    p.restore();
}

}  // namespace

QImage paintTitleBar(const Palette& pal) {
    const Rect bar = boxOf("Image1");
    QImage img = blankImage(pixelSize(bar.size()), pal.base);
    QPainter p(&img);
    prepare(p);
    const QRectF r(0, 0, img.width(), img.height());
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0.0, mix(pal.plateTop, pal.base, 0.35));
    g.setColorAt(1.0, mix(pal.plateBottom, pal.base, 0.55));
    p.fillRect(r, g);
    brushed(p, rounded(r, 0), pal, 21);
    p.setPen(QPen(withAlpha(pal.rimLight, 160), 1));
    p.drawLine(QPointF(0, 0.5), QPointF(r.right(), 0.5));
    p.setPen(QPen(QColor(0, 0, 0, 220), 1));
    p.drawLine(QPointF(0, r.bottom() - 0.5), QPointF(r.right(), r.bottom() - 0.5));

    silk(p, QRectF(7, 1, 60, r.height() - 2), QStringLiteral("KORVEX"), 12, pal.accent,
         Qt::AlignLeft | Qt::AlignVCenter);
    // The window for the bar's texts (version, or the playing title and time in the mini bar).
    const Rect title = boxOf("topbar");
    const Rect clock = boxOf("bartime");
    lcdGlass(p, pxCorners(title.left - 45, 30, clock.right() + 30, 270), pal);
    // Grip between the texts and the mode buttons.
    const Rect mini = boxOf("mininext");
    const Rect menu = boxOf("Imgmenu");
    grip(p, pxCorners(mini.right() + 300, 60, menu.left - 300, 240), pal);
    return img;
}

QImage paintSamplerStrip(const Palette& pal) {
    QImage img = blankImage(pixelSize(appearance::panelSize(appearance::Panel::kSamplerStrip)), pal.base);
    QPainter p(&img);
    prepare(p);
    const QRectF r(0, 0, img.width(), img.height());
    plate(p, rounded(r.adjusted(3, 2, -3, -3), 5), pal, 31);
    for (int i = 0; i < 8; ++i) lcdGlass(p, around(boxOf("Text1", i), 45), pal);

    // The module name on the left.
    const Rect first = boxOf("Text1", 0);
    const double left = 10;
    silk(p, QRectF(left, 9, px(first.left) - 22, 14), QStringLiteral("SAMPLER"), 11, pal.silk,
         Qt::AlignLeft | Qt::AlignVCenter);
    p.setPen(Qt::NoPen);
    p.setBrush(pal.accent);
    p.drawRect(QRectF(left, 25, 30, 1.4));
    silk(p, QRectF(left, 29, px(first.left) - 22, 9), QStringLiteral("8 SLOTS  ·  KEYS 1-8"), 7, pal.silkDim,
         Qt::AlignLeft | Qt::AlignVCenter);

    // Ventilation on the right.
    const Rect last = boxOf("Text1", 3);
    const QRectF right = QRectF(px(last.right()) + 14, 9, r.width() - px(last.right()) - 28, r.height() - 20);
    vents(p, right, pal);
    screw(p, QPointF(8, 8), 2.1, pal, 25);
    screw(p, QPointF(8, r.height() - 9), 2.1, pal, 70);
    screw(p, QPointF(r.width() - 9, 8), 2.1, pal, 115);
    screw(p, QPointF(r.width() - 9, r.height() - 9), 2.1, pal, 160);
    return img;
}

QImage paintListPanel(const Palette& pal) {
    QImage img = blankImage(pixelSize(appearance::panelSize(appearance::Panel::kListPanel)), pal.base);
    QPainter p(&img);
    prepare(p);
    const QRectF r(0, 0, img.width(), img.height());
    plate(p, rounded(r.adjusted(1.5, 1.5, -1.5, -2), 5), pal, 41);
    for (int deck = 0; deck < 2; ++deck) {
        const QRectF list = around(boxOf("title1", deck), 45);
        well(p, list, 3, pal);
        p.fillRect(list.adjusted(2, 2, -2, -2), pal.listBack);
    }
    // The transfer column: a label above the two transfer keys, screws below them.
    const Rect toB = boxOf("ImgtoB");
    const Rect toA = boxOf("ImgtoA");
    const QRectF column = pxCorners(toB.left, 120, toB.right(), toB.top - 30);
    silk(p, column.adjusted(0, 0, 0, -column.height() / 2), QStringLiteral("SONG"), 7, pal.silk);
    silk(p, column.adjusted(0, column.height() / 2 - 2, 0, -2), QStringLiteral("LIST"), 7, pal.silk);
    const QRectF foot = pxCorners(toA.left, toA.bottom() + 60, toA.right(), 2040);
    screw(p, QPointF(foot.left() + 9, foot.center().y()), 2.1, pal, 35);
    screw(p, QPointF(foot.right() - 9, foot.center().y()), 2.1, pal, 80);
    return img;
}

QImage paintRecorderBase(const Palette& pal) {
    const Rect base = boxOf("Picture1");
    QImage img = blankImage(pixelSize(base.size()), pal.base);
    QPainter p(&img);
    prepare(p);
    const QRectF r(0, 0, img.width(), img.height());
    plate(p, rounded(r.adjusted(1, 1, -1.5, -1.5), 5), pal, 51);
    // Title strip: the window is dragged by it.
    silk(p, QRectF(9, 2, 90, 12), QStringLiteral("RECORDER"), 9, pal.silk, Qt::AlignLeft | Qt::AlignVCenter);
    led(p, QPointF(88, 8), 2.0, pal.recLit, false);
    const Rect close = boxOf("frmend");
    grip(p, QRectF(96, 4, px(close.left) - 100, 8), pal);
    lcdGlass(p, around(boxOf("Label1"), 45), pal);
    // Key names under the keys.
    const char* names[] = {"REC", "STOP", "SAVE"};
    const char* keys[] = {"cmdstart", "cmdstop", "cmdsave"};
    for (int i = 0; i < 3; ++i) {
        const Rect k = boxOf(keys[i]);
        silk(p, pxRect(k.left, k.bottom() + 15, k.width, 120), QString::fromLatin1(names[i]), 7, pal.silkDim);
    }
    // The maker's name beside the keys.
    const Rect start = boxOf("cmdstart");
    silk(p, pxCorners(150, start.top, start.left - 60, start.top + 210), QStringLiteral("KORVEX"), 9,
         pal.silk);
    silk(p, pxCorners(150, start.top + 210, start.left - 60, start.bottom()), QStringLiteral("WAVE REC"), 6,
         pal.silkDim);
    screw(p, QPointF(6, r.height() - 6), 1.8, pal, 40);
    screw(p, QPointF(r.width() - 7, r.height() - 6), 1.8, pal, 95);
    return img;
}

}  // namespace korvex::skinpainter
