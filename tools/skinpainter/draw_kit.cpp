#include "draw_kit.h"

#include <QLinearGradient>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace korvex::skinpainter {
namespace {

// A small integer hash: the same streaks on every machine, whatever the standard library.
std::uint32_t hash(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
    std::uint32_t h = x * 0x8da6b343U ^ y * 0xd8163841U ^ seed * 0xcb1ab31fU;
    h ^= h >> 13;
    h *= 0x5bd1e995U;
    h ^= h >> 15;
    return h;
}

// A value in -1 .. 1.
double noise(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
    return static_cast<double>(hash(x, y, seed) & 0xffffU) / 32767.5 - 1.0;
}

}  // namespace

QSize pixelSize(appearance::Size twips) {
    return {twips.width / appearance::kTwipsPerPixel, twips.height / appearance::kTwipsPerPixel};
}

QImage blankImage(QSize size, const QColor& fill) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(fill);
    return img;
}

void prepare(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
}

QFont silkFont(double pixelSize, bool bold) {
    QFont f;
    f.setFamilies({QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans"),
                   QStringLiteral("Noto Sans CJK JP")});
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(pixelSize))));
    f.setBold(bold);
    f.setStretch(QFont::SemiCondensed);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

QColor withAlpha(QColor c, int alpha) {
    c.setAlpha(std::clamp(alpha, 0, 255));
    return c;
}

QColor mix(const QColor& a, const QColor& b, double t) {
    auto lerp = [t](int x, int y) { return static_cast<int>(std::lround(x + (y - x) * t)); };
    return QColor(lerp(a.red(), b.red()), lerp(a.green(), b.green()), lerp(a.blue(), b.blue()),
                  lerp(a.alpha(), b.alpha()));
}

void brushed(QPainter& p, const QPainterPath& area, const Palette& pal, unsigned seed) {
    const QRect r = area.boundingRect().toAlignedRect();
    if (r.isEmpty()) return;
    QImage streaks(r.size(), QImage::Format_ARGB32_Premultiplied);
    streaks.fill(Qt::transparent);
    for (int y = 0; y < r.height(); ++y) {
        const auto uy = static_cast<std::uint32_t>(y + r.top());
        const double row = noise(0, uy, seed);
        for (int x = 0; x < r.width(); ++x) {
            const auto ux = static_cast<std::uint32_t>(x + r.left());
            // Long horizontal streaks: a row value, a slowly varying run value and a little grain.
            const double run = noise(ux / 23U, uy, seed + 1U);
            const double grain = noise(ux, uy, seed + 2U);
            const double v = 0.55 * row + 0.3 * run + 0.15 * grain;
            const int a = static_cast<int>(std::lround(std::fabs(v) * pal.brushAmplitude));
            const QColor c = v > 0 ? QColor(255, 255, 255, a) : QColor(0, 0, 0, a);
            streaks.setPixelColor(x, y, c);
        }
    }
    p.save();
    p.setClipPath(area, Qt::IntersectClip);
    p.drawImage(r.topLeft(), streaks);
    p.restore();
}

void plate(QPainter& p, const QPainterPath& shape, const Palette& pal, unsigned seed) {
    const QRectF b = shape.boundingRect();
    p.save();
    // Soft shadow on the chassis below and right of the plate.
    p.setPen(Qt::NoPen);
    p.setBrush(withAlpha(QColor(0, 0, 0), 90));
    p.drawPath(shape.translated(0.6, 1.0));
    QLinearGradient g(b.topLeft(), b.bottomLeft());
    g.setColorAt(0.0, pal.plateTop);
    g.setColorAt(1.0, pal.plateBottom);
    p.setBrush(g);
    p.drawPath(shape);
    brushed(p, shape, pal, seed);
    // Bevel: light on the upper edges, dark on the lower ones.
    QLinearGradient rim(b.topLeft(), b.bottomLeft());
    rim.setColorAt(0.0, withAlpha(pal.rimLight, 230));
    rim.setColorAt(0.08, withAlpha(pal.rimLight, 90));
    rim.setColorAt(0.92, withAlpha(pal.rimDark, 90));
    rim.setColorAt(1.0, withAlpha(pal.rimDark, 230));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QBrush(rim), 1.0));
    p.drawPath(shape);
    p.restore();
}

void well(QPainter& p, const QRectF& r, double radius, const Palette& pal) {
    p.save();
    p.setPen(Qt::NoPen);
    // The lip: shadowed above, lit below, as a hole in a plate lit from above.
    QLinearGradient lip(r.topLeft(), r.bottomLeft());
    lip.setColorAt(0.0, withAlpha(pal.rimDark, 220));
    lip.setColorAt(1.0, withAlpha(pal.rimLight, 170));
    p.setBrush(lip);
    p.drawRoundedRect(r, radius + 1, radius + 1);
    p.setBrush(pal.well);
    p.drawRoundedRect(r.adjusted(1, 1, -1, -1), radius, radius);
    // Inner shadow along the top edge.
    QLinearGradient shade(r.topLeft(), r.topLeft() + QPointF(0, std::min(4.0, r.height() / 2)));
    shade.setColorAt(0.0, QColor(0, 0, 0, 150));
    shade.setColorAt(1.0, QColor(0, 0, 0, 0));
    p.setBrush(shade);
    p.drawRoundedRect(r.adjusted(1, 1, -1, -1), radius, radius);
    p.restore();
}

void lcdGlass(QPainter& p, const QRectF& r, const Palette& pal) {
    well(p, r, 3, pal);
    const QRectF glass = r.adjusted(2, 2, -2, -2);
    p.save();
    p.setPen(Qt::NoPen);
    QLinearGradient g(glass.topLeft(), glass.bottomLeft());
    g.setColorAt(0.0, pal.lcdTop);
    g.setColorAt(1.0, pal.lcdBottom);
    p.setBrush(g);
    p.drawRoundedRect(glass, 2, 2);
    // Faint scan lines, as on a backlit matrix.
    p.setPen(QPen(QColor(0, 0, 0, 38), 1));
    for (double y = glass.top() + 1.5; y < glass.bottom(); y += 2)
        p.drawLine(QPointF(glass.left() + 1, y), QPointF(glass.right() - 1, y));
    // A reflection across the upper part of the glass.
    QPainterPath shine;
    shine.moveTo(glass.left() + 2, glass.top() + 1);
    shine.lineTo(glass.right() - 2, glass.top() + 1);
    shine.lineTo(glass.right() - 2, glass.top() + glass.height() * 0.22);
    shine.cubicTo(glass.center().x() + glass.width() * 0.2, glass.top() + glass.height() * 0.32,
                  glass.center().x() - glass.width() * 0.2, glass.top() + glass.height() * 0.18,
                  glass.left() + 2, glass.top() + glass.height() * 0.34);
    shine.closeSubpath();
    QLinearGradient sg(glass.topLeft(), glass.topLeft() + QPointF(0, glass.height() * 0.35));
    sg.setColorAt(0.0, QColor(255, 255, 255, 26));
    sg.setColorAt(1.0, QColor(255, 255, 255, 4));
    p.setPen(Qt::NoPen);
    p.setBrush(sg);
    p.drawPath(shine);
    p.restore();
}

void slot(QPainter& p, const QRectF& r, const Palette& pal) {
    p.save();
    p.setPen(Qt::NoPen);
    const double radius = std::min(r.width(), r.height()) / 2;
    p.setBrush(withAlpha(pal.rimLight, 120));
    p.drawRoundedRect(r.adjusted(-0.5, -0.5, 0.5, 1.0), radius + 0.5, radius + 0.5);
    p.setBrush(QColor(0, 0, 0));
    p.drawRoundedRect(r, radius, radius);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0.0, QColor(0, 0, 0, 0));
    g.setColorAt(1.0, withAlpha(pal.well.lighter(220), 120));
    p.setBrush(g);
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    p.restore();
}

void silk(QPainter& p, const QRectF& r, const QString& text, double pixelSize, const QColor& colour,
          Qt::Alignment align, bool bold) {
    p.save();
    p.setFont(silkFont(pixelSize, bold));
    // Printed ink catches a little light on its lower edge on dark plates, a little shade on light ones.
    const bool darkInk = colour.lightness() < 128;
    p.setPen(darkInk ? QColor(255, 255, 255, 70) : QColor(0, 0, 0, 150));
    p.drawText(r.translated(0, darkInk ? 0.8 : 1.0), static_cast<int>(align), text);
    p.setPen(colour);
    p.drawText(r, static_cast<int>(align), text);
    p.restore();
}

void screw(QPainter& p, QPointF c, double radius, const Palette& pal, double angleDegrees) {
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(withAlpha(pal.rimDark, 200));
    p.drawEllipse(c + QPointF(0.3, 0.5), radius + 0.6, radius + 0.6);
    QRadialGradient g(c - QPointF(radius * 0.4, radius * 0.5), radius * 1.6);
    g.setColorAt(0.0, pal.metalLight);
    g.setColorAt(1.0, pal.metalDark);
    p.setBrush(g);
    p.drawEllipse(c, radius, radius);
    p.translate(c);
    p.rotate(angleDegrees);
    p.setPen(QPen(withAlpha(pal.rimDark, 220), std::max(0.6, radius * 0.35)));
    p.drawLine(QPointF(-radius * 0.7, 0), QPointF(radius * 0.7, 0));
    p.drawLine(QPointF(0, -radius * 0.7), QPointF(0, radius * 0.7));
    p.restore();
}

void glow(QPainter& p, QPointF centre, double radius, const QColor& colour, int alpha) {
    p.save();
    QRadialGradient g(centre, radius);
    g.setColorAt(0.0, withAlpha(colour, alpha));
    g.setColorAt(0.45, withAlpha(colour, alpha / 3));
    g.setColorAt(1.0, withAlpha(colour, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(centre, radius, radius);
    p.restore();
}

void led(QPainter& p, QPointF c, double radius, const QColor& colour, bool lit) {
    p.save();
    p.setPen(Qt::NoPen);
    if (lit) glow(p, c, radius * 3.2, colour, 110);
    p.setBrush(QColor(0, 0, 0, 170));
    p.drawEllipse(c, radius + 0.7, radius + 0.7);
    QRadialGradient g(c - QPointF(radius * 0.3, radius * 0.35), radius * 1.3);
    if (lit) {
        g.setColorAt(0.0, mix(colour, Qt::white, 0.75));
        g.setColorAt(0.5, colour);
        g.setColorAt(1.0, colour.darker(140));
    } else {
        g.setColorAt(0.0, mix(colour.darker(300), Qt::white, 0.15));
        g.setColorAt(1.0, colour.darker(450));
    }
    p.setBrush(g);
    p.drawEllipse(c, radius, radius);
    p.restore();
}

void vents(QPainter& p, const QRectF& r, const Palette& pal) {
    p.save();
    const double pitch = 5;
    const int rows = static_cast<int>(r.height() / pitch);
    const double top = r.top() + (r.height() - rows * pitch) / 2 + 1;
    for (int i = 0; i < rows; ++i) {
        const QRectF hole(r.left(), top + i * pitch, r.width(), 2.4);
        p.setPen(Qt::NoPen);
        p.setBrush(withAlpha(pal.rimLight, 110));
        p.drawRoundedRect(hole.translated(0, 0.8), 1.2, 1.2);
        p.setBrush(QColor(0, 0, 0, 230));
        p.drawRoundedRect(hole, 1.2, 1.2);
    }
    p.restore();
}

}  // namespace korvex::skinpainter
