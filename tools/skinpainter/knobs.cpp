// The moving parts: slider caps (pitch, volume, master and monitor share one), the crossfader cap, the pan
// marker, the jog wheel's touch pad (an icon with a transparent surround) and the output name plates.

#include "appearance/layout_table.h"
#include "draw_kit.h"
#include "skin.h"

#include <QLinearGradient>
#include <QRadialGradient>

namespace korvex::skinpainter {
namespace {

QSize sizeOf(const char* bitmap) {
    return pixelSize(appearance::bitmapSize(bitmap));
}

// A slider cap: dark body, ribbed grip on both halves, a lit line across the middle that marks the value.
// Horizontal ribs for a vertical slider; the crossfader's cap is the same turned a quarter.
QImage sliderCap(QSize size, bool vertical, const Palette& pal) {
    QImage img = blankImage(size, QColor(0, 0, 0));
    QPainter p(&img);
    prepare(p);
    const QRectF r(0, 0, size.width(), size.height());
    const QRectF body = r.adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient g(body.topLeft(), vertical ? body.bottomLeft() : body.topRight());
    g.setColorAt(0.0, pal.capTop.lighter(135));
    g.setColorAt(0.47, pal.capTop);
    g.setColorAt(0.53, pal.capBottom);
    g.setColorAt(1.0, pal.capBottom.darker(130));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(body, 2.5, 2.5);
    // Side shading across the cap, so it reads as rounded.
    QLinearGradient side(body.topLeft(), vertical ? body.topRight() : body.bottomLeft());
    side.setColorAt(0.0, QColor(0, 0, 0, 90));
    side.setColorAt(0.2, QColor(0, 0, 0, 0));
    side.setColorAt(0.8, QColor(0, 0, 0, 0));
    side.setColorAt(1.0, QColor(0, 0, 0, 110));
    p.setBrush(side);
    p.drawRoundedRect(body, 2.5, 2.5);
    // Ribs.
    const double length = vertical ? r.height() : r.width();
    const double across = vertical ? r.width() : r.height();
    const double mid = length / 2;
    for (double d : {-6.0, -4.0, 4.0, 6.0}) {
        const double at = mid + d;
        if (at < 2 || at > length - 2) continue;
        auto line = [&](double offset, const QColor& c) {
            p.setPen(QPen(c, 0.9));
            if (vertical) {
                p.drawLine(QPointF(3, at + offset), QPointF(across - 3, at + offset));
            } else {
                p.drawLine(QPointF(at + offset, 3), QPointF(at + offset, across - 3));
            }
        };
        line(0, QColor(0, 0, 0, 150));
        line(1, QColor(255, 255, 255, 40));
    }
    // The value line with its glow.
    const QColor lit = pal.accent;
    QLinearGradient halo(vertical ? QPointF(0, mid - 2.5) : QPointF(mid - 2.5, 0),
                         vertical ? QPointF(0, mid + 2.5) : QPointF(mid + 2.5, 0));
    halo.setColorAt(0.0, withAlpha(lit, 0));
    halo.setColorAt(0.5, withAlpha(lit, 110));
    halo.setColorAt(1.0, withAlpha(lit, 0));
    p.setBrush(halo);
    p.setPen(Qt::NoPen);
    p.drawRect(vertical ? QRectF(1.5, mid - 2.5, across - 3, 5) : QRectF(mid - 2.5, 1.5, 5, across - 3));
    p.setBrush(mix(lit, Qt::white, 0.35));
    p.drawRect(vertical ? QRectF(1.5, mid - 0.6, across - 3, 1.2) : QRectF(mid - 0.6, 1.5, 1.2, across - 3));
    // Top edge light.
    p.setPen(QPen(QColor(255, 255, 255, 60), 1));
    p.drawLine(QPointF(2.5, 0.8), QPointF(r.width() - 2.5, 0.8));
    return img;
}

QImage panMarker(const Palette& pal) {
    const QSize size = sizeOf("pan");
    QImage img = blankImage(size, QColor(0, 0, 0));
    QPainter p(&img);
    prepare(p);
    const QRectF body(0.5, 0.5, size.width() - 1, size.height() - 1);
    QLinearGradient g(body.topLeft(), body.bottomLeft());
    g.setColorAt(0.0, pal.capTop.lighter(140));
    g.setColorAt(1.0, pal.capBottom);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(body, 1.5, 1.5);
    p.setBrush(mix(pal.accent, Qt::white, 0.25));
    p.drawRect(QRectF(body.center().x() - 0.6, body.top() + 1, 1.2, body.height() - 2));
    return img;
}

// The touch pad that runs round the jog platter: a domed metal puck with a lit ring and a finger dimple.
QImage jogPad(const Palette& pal) {
    const QSize size = sizeOf("jog");
    QImage img(size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    prepare(p);
    const QPointF c(size.width() / 2.0, size.height() / 2.0);
    const double r = size.width() / 2.0 - 0.5;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 150));
    p.drawEllipse(c + QPointF(0, 0.6), r, r - 0.3);
    QRadialGradient dome(c - QPointF(r * 0.35, r * 0.45), r * 1.5);
    dome.setColorAt(0.0, pal.metalLight);
    dome.setColorAt(0.6, mix(pal.metalLight, pal.metalDark, 0.6));
    dome.setColorAt(1.0, pal.metalDark.darker(140));
    p.setBrush(dome);
    p.drawEllipse(c, r - 1, r - 1);
    // The lit ring.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(withAlpha(pal.accent, 90), 3));
    p.drawEllipse(c, r - 4.5, r - 4.5);
    p.setPen(QPen(mix(pal.accent, Qt::white, 0.3), 1.1));
    p.drawEllipse(c, r - 4.5, r - 4.5);
    // The dimple: lit from above, so its lower inside catches the light.
    QRadialGradient dimple(c + QPointF(r * 0.12, r * 0.2), r * 0.55);
    dimple.setColorAt(0.0, pal.metalLight);
    dimple.setColorAt(1.0, pal.metalDark.darker(150));
    p.setPen(QPen(QColor(0, 0, 0, 120), 0.8));
    p.setBrush(dimple);
    p.drawEllipse(c, r * 0.42, r * 0.42);
    return img;
}

// A name plate over an output slider.
QImage namePlate(const char* bitmap, const QString& text, const Images& images, const Palette& pal) {
    QImage img = backgroundUnder(images, bitmap).convertToFormat(QImage::Format_RGB32);
    QPainter p(&img);
    prepare(p);
    silk(p, QRectF(0, -0.5, img.width(), img.height()), text, 7, pal.silk);
    return img;
}

}  // namespace

void paintKnobs(const Palette& pal, Images& images) {
    images["ctrlbtn.bmp"] = sliderCap(sizeOf("ctrlbtn"), true, pal);
    images["faderbtn.bmp"] = sliderCap(sizeOf("faderbtn"), false, pal);
    images["pan.bmp"] = panMarker(pal);
    images["jog.ico"] = jogPad(pal);
    // Index 0 is the monitor slider, index 1 the master.
    images["ch12.bmp"] = namePlate("ch12", QStringLiteral("MONITOR"), images, pal);
    images["ch21.bmp"] = namePlate("ch21", QStringLiteral("MASTER"), images, pal);
}

}  // namespace korvex::skinpainter
