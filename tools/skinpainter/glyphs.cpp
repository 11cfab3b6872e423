#include "glyphs.h"

#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace korvex::skinpainter {
namespace {

// A triangle pointing right (dir = 1) or left (dir = -1) with its tip at x.
QPolygonF triangle(double x, double cy, double width, double height, int dir) {
    const double back = x - dir * width;
    return QPolygonF({QPointF(back, cy - height / 2), QPointF(x, cy), QPointF(back, cy + height / 2)});
}

void fill(QPainter& p, QPainterPath path, const QColor& colour) {
    path.setFillRule(Qt::WindingFill);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(path);
}

QPainterPath polygonPath(const QPolygonF& poly) {
    QPainterPath path;
    path.addPolygon(poly);
    path.closeSubpath();
    return path;
}

// The square of side s centred in the box, where glyphs are drawn.
QRectF square(const QRectF& box) {
    const double s = std::min(box.width(), box.height());
    return {box.center().x() - s / 2, box.center().y() - s / 2, s, s};
}

void arrow(QPainter& p, const QRectF& q, int dir, const QColor& colour) {
    const double cy = q.center().y();
    const double head = q.width() * 0.42;
    const double tip = dir > 0 ? q.right() : q.left();
    QPainterPath path = polygonPath(triangle(tip, cy, head, q.height() * 0.72, dir));
    const double shaftEnd = tip - dir * head + dir * 0.5;
    const double shaftStart = dir > 0 ? q.left() : q.right();
    path.addRect(QRectF(QPointF(std::min(shaftStart, shaftEnd), cy - q.height() * 0.13),
                        QPointF(std::max(shaftStart, shaftEnd), cy + q.height() * 0.13)));
    fill(p, path, colour);
}

}  // namespace

void drawGlyph(QPainter& p, Glyph glyph, const QRectF& box, const QColor& colour) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF q = square(box);
    const double cx = q.center().x();
    const double cy = q.center().y();
    const double s = q.width();
    switch (glyph) {
        case Glyph::kNone:
            break;
        case Glyph::kPlay:
            fill(p, polygonPath(triangle(cx + s * 0.36, cy, s * 0.66, s * 0.76, 1)), colour);
            break;
        case Glyph::kPlayPause: {
            // A wider box: the triangle on the left, the two pause bars on the right.
            const double h = box.height() * 0.62;
            const double w = h * 0.86;
            const double gap = h * 0.28;
            const double bar = h * 0.2;
            const double total = w + gap + bar * 3;
            const double left = box.center().x() - total / 2;
            QPainterPath path = polygonPath(triangle(left + w, cy, w, h, 1));
            path.addRect(QRectF(left + w + gap, cy - h / 2, bar, h));
            path.addRect(QRectF(left + w + gap + bar * 2, cy - h / 2, bar, h));
            fill(p, path, colour);
            break;
        }
        case Glyph::kStop: {
            QPainterPath path;
            path.addRoundedRect(QRectF(cx - s * 0.3, cy - s * 0.3, s * 0.6, s * 0.6), s * 0.05, s * 0.05);
            fill(p, path, colour);
            break;
        }
        case Glyph::kSearchBack:
        case Glyph::kSearchForward: {
            const int dir = glyph == Glyph::kSearchForward ? 1 : -1;
            const double w = s * 0.42;
            QPainterPath path = polygonPath(triangle(cx + dir * w, cy, w, s * 0.62, dir));
            path.addPolygon(triangle(cx, cy, w, s * 0.62, dir));
            fill(p, path, colour);
            break;
        }
        case Glyph::kPreviousSong:
        case Glyph::kNextSong: {
            const int dir = glyph == Glyph::kNextSong ? 1 : -1;
            const double w = s * 0.34;
            const double bar = s * 0.1;
            const double start = cx - dir * (w + bar / 2 + s * 0.02);
            QPainterPath path = polygonPath(triangle(start + dir * w, cy, w, s * 0.6, dir));
            path.addPolygon(triangle(start + dir * 2 * w, cy, w, s * 0.6, dir));
            const double barX = start + dir * 2 * w + (dir > 0 ? 0.3 : -bar - 0.3);
            path.addRect(QRectF(barX, cy - s * 0.3, bar, s * 0.6));
            fill(p, path, colour);
            break;
        }
        case Glyph::kPlus:
        case Glyph::kMinus: {
            const double t = std::max(1.6, s * 0.16);
            QPainterPath path;
            path.addRect(QRectF(cx - s * 0.32, cy - t / 2, s * 0.64, t));
            if (glyph == Glyph::kPlus) path.addRect(QRectF(cx - t / 2, cy - s * 0.32, t, s * 0.64));
            fill(p, path, colour);
            break;
        }
        case Glyph::kUp:
        case Glyph::kDown: {
            const int dir = glyph == Glyph::kDown ? 1 : -1;
            const double h = s * 0.5;
            QPolygonF tri({QPointF(cx - s * 0.36, cy - dir * h / 2), QPointF(cx + s * 0.36, cy - dir * h / 2),
                           QPointF(cx, cy + dir * h / 2)});
            fill(p, polygonPath(tri), colour);
            break;
        }
        case Glyph::kArrowLeft:
            arrow(p, q.adjusted(s * 0.1, s * 0.18, -s * 0.1, -s * 0.18), -1, colour);
            break;
        case Glyph::kArrowRight:
            arrow(p, q.adjusted(s * 0.1, s * 0.18, -s * 0.1, -s * 0.18), 1, colour);
            break;
        case Glyph::kJumpLeft:
        case Glyph::kJumpRight: {
            const int dir = glyph == Glyph::kJumpRight ? 1 : -1;
            const double w = s * 0.46;
            const double bar = s * 0.12;
            const double tip = cx + dir * (w / 2);
            QPainterPath path = polygonPath(triangle(tip, cy, w, s * 0.62, dir));
            path.addRect(QRectF(dir > 0 ? tip + 0.3 : tip - bar - 0.3, cy - s * 0.31, bar, s * 0.62));
            fill(p, path, colour);
            break;
        }
        case Glyph::kSwitch: {
            // Two opposed arrows, one above the other.
            const QRectF upper(q.left(), q.top() + s * 0.1, s, s * 0.38);
            const QRectF lower(q.left(), q.top() + s * 0.52, s, s * 0.38);
            arrow(p, upper, 1, colour);
            arrow(p, lower, -1, colour);
            break;
        }
        case Glyph::kCentre: {
            const double w = s * 0.3;
            QPainterPath path = polygonPath(triangle(cx - s * 0.08, cy, w, s * 0.5, 1));
            path.addPolygon(triangle(cx + s * 0.08, cy, w, s * 0.5, -1));
            path.addRect(QRectF(cx - s * 0.03, cy - s * 0.36, s * 0.06, s * 0.72));
            fill(p, path, colour);
            break;
        }
        case Glyph::kClose: {
            p.setPen(QPen(colour, std::max(1.3, s * 0.14), Qt::SolidLine, Qt::RoundCap));
            const double r = s * 0.28;
            p.drawLine(QPointF(cx - r, cy - r), QPointF(cx + r, cy + r));
            p.drawLine(QPointF(cx - r, cy + r), QPointF(cx + r, cy - r));
            break;
        }
        case Glyph::kMinimise: {
            QPainterPath path;
            path.addRect(QRectF(cx - s * 0.3, cy + s * 0.18, s * 0.6, std::max(1.4, s * 0.14)));
            fill(p, path, colour);
            break;
        }
        case Glyph::kToBar: {
            // A window folding into a thin bar.
            p.setPen(QPen(colour, 1.0));
            p.setBrush(Qt::NoBrush);
            p.drawRect(QRectF(cx - s * 0.34, cy - s * 0.3, s * 0.68, s * 0.6).adjusted(0.5, 0.5, -0.5, -0.5));
            p.setPen(Qt::NoPen);
            p.setBrush(colour);
            p.drawRect(QRectF(cx - s * 0.34, cy - s * 0.3, s * 0.68, s * 0.2));
            break;
        }
        case Glyph::kRecord: {
            p.setPen(Qt::NoPen);
            p.setBrush(colour);
            p.drawEllipse(q.center(), s * 0.3, s * 0.3);
            break;
        }
        case Glyph::kHeadphones: {
            // A headband over two ear cups.
            const double t = std::max(1.2, s * 0.11);
            p.setPen(QPen(colour, t, Qt::SolidLine, Qt::RoundCap));
            p.setBrush(Qt::NoBrush);
            const QRectF band(cx - s * 0.34, cy - s * 0.38, s * 0.68, s * 0.7);
            p.drawArc(band, 0, 180 * 16);
            p.drawLine(QPointF(band.left(), band.center().y()), QPointF(band.left(), cy + s * 0.08));
            p.drawLine(QPointF(band.right(), band.center().y()), QPointF(band.right(), cy + s * 0.08));
            p.setPen(Qt::NoPen);
            p.setBrush(colour);
            p.drawRoundedRect(QRectF(cx - s * 0.42, cy + s * 0.02, s * 0.2, s * 0.34), s * 0.06, s * 0.06);
            p.drawRoundedRect(QRectF(cx + s * 0.22, cy + s * 0.02, s * 0.2, s * 0.34), s * 0.06, s * 0.06);
            break;
        }
        case Glyph::kSave: {
            // An arrow down into a tray.
            QPainterPath path;
            const double t = std::max(1.4, s * 0.12);
            path.addRect(QRectF(cx - t / 2, cy - s * 0.38, t, s * 0.34));
            path.addPolygon(QPolygonF({QPointF(cx - s * 0.22, cy - s * 0.08),
                                       QPointF(cx + s * 0.22, cy - s * 0.08), QPointF(cx, cy + s * 0.16)}));
            path.addRect(QRectF(cx - s * 0.36, cy + s * 0.22, s * 0.72, t));
            path.addRect(QRectF(cx - s * 0.36, cy + s * 0.06, t, s * 0.16 + t));
            path.addRect(QRectF(cx + s * 0.36 - t, cy + s * 0.06, t, s * 0.16 + t));
            fill(p, path, colour);
            break;
        }
        case Glyph::kLock: {
            // A padlock: the shackle's arch over a body with a keyhole.
            const double t = std::max(1.3, s * 0.11);
            p.setPen(QPen(colour, t, Qt::SolidLine, Qt::FlatCap));
            p.setBrush(Qt::NoBrush);
            const double w = s * 0.24;
            QPainterPath shackle;
            shackle.moveTo(cx - w, cy - s * 0.02);
            shackle.lineTo(cx - w, cy - s * 0.16);
            shackle.arcTo(QRectF(cx - w, cy - s * 0.16 - w, 2 * w, 2 * w), 180, -180);
            shackle.lineTo(cx + w, cy - s * 0.02);
            p.drawPath(shackle);
            QPainterPath body;
            body.addRoundedRect(QRectF(cx - s * 0.36, cy - s * 0.04, s * 0.72, s * 0.46), s * 0.06, s * 0.06);
            QPainterPath hole;
            hole.addEllipse(QPointF(cx, cy + s * 0.14), s * 0.07, s * 0.07);
            hole.addRect(QRectF(cx - s * 0.025, cy + s * 0.16, s * 0.05, s * 0.14));
            fill(p, body.subtracted(hole), colour);
            break;
        }
    }
    p.restore();
}

void drawFaderCurve(QPainter& p, int pattern, const QRectF& box, const QColor& deckA, const QColor& deckB) {
    // Levels over the fader travel, x from 0 (deck A end) to 1 (deck B end), level 1 = full.
    auto levelA = [pattern](double x) {
        switch (pattern) {
            case 0:
                return x < 0.5 ? 1.0 : 1.0 - std::pow((x - 0.5) * 2, 2.0);
            case 1:
                return 1.0 - std::pow(x, 1.6);
            default:
                return x < 0.5 ? 1.0 - std::pow(x * 2, 2.0) : 0.0;
        }
    };
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF g = box.adjusted(0.5, 0.5, -0.5, -0.5);
    auto point = [&g](double x, double level) {
        return QPointF(g.left() + x * g.width(), g.bottom() - level * g.height());
    };
    if (pattern == 3) {
        // The cut-in jump: each deck drops or rises straight, no fade.
        const QPen a(deckA, 1.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        p.setPen(a);
        p.drawPolyline(QPolygonF({point(0, 1), point(0.4, 1), point(0.4, 0)}));
        p.setPen(QPen(deckB, 1.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({point(0.6, 0), point(0.6, 1), point(1, 1)}));
        p.restore();
        return;
    }
    for (int deck = 0; deck < 2; ++deck) {
        QPainterPath path;
        const int steps = 48;
        for (int i = 0; i <= steps; ++i) {
            const double x = static_cast<double>(i) / steps;
            const double level = deck == 0 ? levelA(x) : levelA(1.0 - x);
            if (i == 0) {
                path.moveTo(point(x, level));
            } else {
                path.lineTo(point(x, level));
            }
        }
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(deck == 0 ? deckA : deckB, 1.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(path);
    }
    p.restore();
}

}  // namespace korvex::skinpainter
