// The player panel: three modules (deck A, mixer, deck B with the output sliders) on a dark chassis. Every
// track, scale and knob face is placed from the layout table, so the indicators the window draws over the
// panel run exactly along what is painted here.

#include "draw_kit.h"
#include "panels.h"

#include <QConicalGradient>
#include <QLinearGradient>
#include <QRadialGradient>

#include <cmath>
#include <numbers>
#include <string_view>

namespace korvex::skinpainter {
namespace {

using appearance::Axis;
using appearance::boxOf;
using appearance::Rect;

QPointF pt(double x, double y) {
    return {px(x), px(y)};
}

QPainterPath rounded(const QRectF& r, double radius) {
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

// Where an indicator's centre runs, in pixels: from the top or left end of its travel to the other.
struct Track {
    QPointF from;
    QPointF to;
};

Track trackOf(std::string_view indicator, int index) {
    for (const appearance::KnobTravel& t : appearance::kKnobTravel) {
        if (t.indicator != indicator || t.index != index) continue;
        const Rect box = boxOf(indicator, index);
        const appearance::Size cap = appearance::bitmapSize(appearance::entryOf(indicator, index).bitmap);
        if (t.axis == Axis::kVertical) {
            const double x = box.left + cap.width / 2.0;
            return {pt(x, t.first + cap.height / 2.0), pt(x, t.last + cap.height / 2.0)};
        }
        const double y = box.top + cap.height / 2.0;
        return {pt(t.first + cap.width / 2.0, y), pt(t.last + cap.width / 2.0, y)};
    }
    return {};
}

void hline(QPainter& p, double x0, double x1, double y, const QColor& c, double width = 1.0) {
    p.setPen(QPen(c, width, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(x0, y), QPointF(x1, y));
}

void vline(QPainter& p, double x, double y0, double y1, const QColor& c, double width = 1.0) {
    p.setPen(QPen(c, width, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(x, y0), QPointF(x, y1));
}

// The deck letter plate beside the transport keys.
void deckBadge(QPainter& p, const QRectF& r, const QString& letter, const Palette& pal) {
    p.save();
    p.setPen(QPen(withAlpha(pal.silkDim, 150), 1));
    p.setBrush(withAlpha(pal.rimDark, 40));
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    p.restore();
    silk(p, QRectF(r.left(), r.top() + 2, r.width(), 8), QStringLiteral("DECK"), 7, pal.silkDim);
    silk(p, QRectF(r.left(), r.top() + 9, r.width(), r.height() - 12), letter, 19, pal.silk);
    led(p, QPointF(r.right() - 6, r.top() + 6), 1.6, pal.accent, true);
}

void pitchSlider(QPainter& p, const Palette& pal, int deck) {
    const Track t = trackOf("pitchbtn", deck);
    const double x = t.from.x();
    slot(p, QRectF(x - 2, t.from.y() - 2, 4, t.to.y() - t.from.y() + 4), pal);
    // A tick every 2.5 % of tempo (112.5 twips), longer every 5 %, the centre lit.
    const double outer = deck == 0 ? -1 : 1;
    const double centre = (t.from.y() + t.to.y()) / 2;
    const double step = px(112.5);
    for (int k = -8; k <= 8; ++k) {
        const double y = centre + k * step;
        const bool major = k % 2 == 0;
        const QColor c = k == 0 ? pal.accent : withAlpha(pal.silkDim, major ? 255 : 170);
        const double len = major ? 5.5 : 3.5;
        const double near = 18.0;
        hline(p, x + outer * near, x + outer * (near + len), y, c);
        // The inner scale's ends carry the signs: slower at the top, faster at the bottom.
        if (k == -8 || k == 8) {
            const double signX = x - outer * (near + 3.5);
            silk(p, QRectF(signX - 3.5, y - 5, 7, 10), k < 0 ? QStringLiteral("−") : QStringLiteral("+"), 9,
                 pal.silk);
        } else {
            hline(p, x - outer * (near + 1), x - outer * (near + 1 + (major ? 4.5 : 2.5)), y, c);
        }
    }
    silk(p, QRectF(x - 25, px(1290), 50, px(150)), QStringLiteral("PITCH"), 7, pal.silk);
}

void jogPlatter(QPainter& p, const Palette& pal, int deck) {
    const appearance::JogOrbit o = appearance::jogOrbit(deck);
    const QPointF c = pt(o.centreX, o.centreY);
    const double rOuter = px(810);
    const double rRim = rOuter - 7;
    p.save();
    p.setPen(Qt::NoPen);
    glow(p, c + QPointF(0.5, 2), rOuter + 5, QColor(0, 0, 0), 190);
    // Metal rim: a brushed ring with the light from the upper left.
    QConicalGradient metal(c, 135);
    metal.setColorAt(0.0, pal.metalLight);
    metal.setColorAt(0.25, pal.metalDark);
    metal.setColorAt(0.5, mix(pal.metalLight, pal.metalDark, 0.35));
    metal.setColorAt(0.75, pal.metalDark);
    metal.setColorAt(1.0, pal.metalLight);
    p.setBrush(metal);
    p.drawEllipse(c, rOuter, rOuter);
    p.setBrush(QColor(0, 0, 0, 120));
    p.drawEllipse(c, rRim + 0.8, rRim + 0.8);
    // Strobe dots around the rim.
    p.setBrush(withAlpha(pal.rimDark, 200));
    for (int i = 0; i < 48; ++i) {
        const double a = i * 2 * std::numbers::pi / 48;
        p.drawEllipse(c + QPointF(std::cos(a), std::sin(a)) * (rOuter - 3.4), 0.9, 0.9);
    }
    // The rubber platter with fine grooves.
    QRadialGradient rub(c - QPointF(rRim * 0.3, rRim * 0.35), rRim * 1.4);
    rub.setColorAt(0.0, pal.rubber.lighter(150));
    rub.setColorAt(1.0, pal.rubber.darker(130));
    p.setBrush(rub);
    p.drawEllipse(c, rRim, rRim);
    p.setBrush(Qt::NoBrush);
    for (double r = 10; r < rRim - 1; r += 2.5) {
        p.setPen(QPen(QColor(255, 255, 255, (static_cast<int>(r) % 5 == 0) ? 14 : 8), 0.6));
        p.drawEllipse(c, r, r);
    }
    // The lit ring the touch pad runs on.
    const double rx = px(o.radiusX);
    const double ry = px(o.radiusY);
    p.setPen(QPen(withAlpha(pal.accent, 50), 6));
    p.drawEllipse(c, rx, ry);
    p.setPen(QPen(withAlpha(pal.accent, 200), 1.0));
    p.drawEllipse(c, rx, ry);
    // A highlight across the upper left of the platter.
    QConicalGradient sheen(c, 120);
    sheen.setColorAt(0.0, QColor(255, 255, 255, 28));
    sheen.setColorAt(0.15, QColor(255, 255, 255, 0));
    sheen.setColorAt(0.85, QColor(255, 255, 255, 0));
    sheen.setColorAt(1.0, QColor(255, 255, 255, 28));
    p.setPen(Qt::NoPen);
    p.setBrush(sheen);
    p.drawEllipse(c, rRim, rRim);
    // Centre hub.
    QRadialGradient hub(c - QPointF(2, 2.5), 10);
    hub.setColorAt(0.0, pal.metalLight);
    hub.setColorAt(1.0, pal.metalDark.darker(130));
    p.setBrush(QColor(0, 0, 0, 150));
    p.drawEllipse(c + QPointF(0.3, 0.8), 8.2, 8.2);
    p.setBrush(hub);
    p.drawEllipse(c, 7.5, 7.5);
    p.restore();
    silk(p, QRectF(c.x() - 6, c.y() - 5, 12, 10), deck == 0 ? QStringLiteral("A") : QStringLiteral("B"), 8,
         pal.rimDark.darker(120));
}

void panSlider(QPainter& p, const Palette& pal, int deck) {
    const Track t = trackOf("panbtn", deck);
    const double y = t.from.y();
    slot(p, QRectF(t.from.x() - 1.5, y - 1.5, t.to.x() - t.from.x() + 3, 3), pal);
    const Rect neutral = boxOf("panbtn", deck);
    const double mid = px(neutral.left + neutral.width / 2.0);
    for (int i = 0; i <= 10; ++i) {
        const double x = t.from.x() + (t.to.x() - t.from.x()) * i / 10.0;
        vline(p, x, y + 5, y + (i % 5 == 0 ? 8 : 6.5), withAlpha(pal.silkDim, 200));
    }
    vline(p, mid, y - 8.5, y - 5, pal.accent, 1.2);
    const double labelTop = y - 16;
    silk(p, QRectF(t.from.x() - 8, labelTop, 16, 9), QStringLiteral("L"), 7, pal.silkDim);
    silk(p, QRectF(t.to.x() - 8, labelTop, 16, 9), QStringLiteral("R"), 7, pal.silkDim);
    silk(p, QRectF(mid - 20, labelTop - 1, 40, 9), QStringLiteral("PAN"), 7, pal.silk);
}

// One band of a deck's equaliser: the slot its indicator runs in, a tick at 0 dB and the ends' marks.
void eqSlider(QPainter& p, const Palette& pal, int index) {
    const Track t = trackOf("eqbtn", index);
    const double y = t.from.y();
    slot(p, QRectF(t.from.x() - 1.5, y - 1.5, t.to.x() - t.from.x() + 3, 3), pal);
    const double mid = (t.from.x() + t.to.x()) / 2.0;
    vline(p, mid, y - 7, y - 4, pal.accent, 1.2);
    vline(p, mid, y + 4, y + 7, pal.accent, 1.2);
    for (const double x : {t.from.x(), t.to.x()}) vline(p, x, y + 4, y + 6, withAlpha(pal.silkDim, 200));
}

void trimKnob(QPainter& p, const Palette& pal, int deck) {
    const appearance::TrimNeedle& n = appearance::kTrimNeedles[static_cast<std::size_t>(deck)];
    const QPointF c = pt(n.centreX, n.centreY);
    const double body = px(n.length) + 1;
    // Scale over the upper half circle, the straight-up (neutral) tick lit.
    for (int i = 0; i <= 10; ++i) {
        const double a = std::numbers::pi * (1.0 - i / 10.0);
        const QPointF dir(std::cos(a), -std::sin(a));
        const bool major = i % 5 == 0;
        p.setPen(QPen(i == 5 ? pal.accent : withAlpha(pal.silkDim, major ? 255 : 180), major ? 1.2 : 0.9,
                      Qt::SolidLine, Qt::FlatCap));
        p.drawLine(c + dir * (body + 2.5), c + dir * (body + (major ? 6.5 : 5.0)));
    }
    p.save();
    p.setPen(Qt::NoPen);
    glow(p, c + QPointF(0.5, 1.5), body + 3, QColor(0, 0, 0), 200);
    // Knurled skirt, then the face.
    p.setBrush(pal.rubber.darker(120));
    p.drawEllipse(c, body, body);
    p.setPen(QPen(withAlpha(pal.rubber.lighter(230), 120), 0.8));
    for (int i = 0; i < 36; ++i) {
        const double a = i * 2 * std::numbers::pi / 36;
        const QPointF dir(std::cos(a), std::sin(a));
        p.drawLine(c + dir * (body - 2.2), c + dir * (body - 0.4));
    }
    QRadialGradient face(c - QPointF(body * 0.35, body * 0.45), body * 1.3);
    face.setColorAt(0.0, pal.capTop.lighter(150));
    face.setColorAt(1.0, pal.capBottom.darker(140));
    p.setPen(QPen(QColor(0, 0, 0, 160), 0.8));
    p.setBrush(face);
    p.drawEllipse(c, body - 2.6, body - 2.6);
    p.restore();
    silk(p, QRectF(c.x() - body - 10, c.y() + 1, 8, 8), QStringLiteral("−"), 8, pal.silkDim);
    silk(p, QRectF(c.x() + body + 2, c.y() + 1, 8, 8), QStringLiteral("+"), 8, pal.silkDim);
}

void volumeSliders(QPainter& p, const Palette& pal) {
    for (int deck = 0; deck < 2; ++deck) {
        const Track t = trackOf("Volbtn", deck);
        slot(p, QRectF(t.from.x() - 2, t.from.y() - 2, 4, t.to.y() - t.from.y() + 4), pal);
        const double outerX = deck == 0 ? t.from.x() - 22 : t.from.x() + 22;
        for (int i = 0; i <= 10; ++i) {
            const double y = t.from.y() + (t.to.y() - t.from.y()) * i / 10.0;
            const double len = i % 5 == 0 ? 5 : 3;
            hline(p, outerX, outerX + (deck == 0 ? len : -len), y, withAlpha(pal.silkDim, 220));
        }
    }
    // The shared scale between the two channel sliders: 10 at the top (loudest) down to 0.
    const Track a = trackOf("Volbtn", 0);
    const Track b = trackOf("Volbtn", 1);
    const double left = px(boxOf("Volbtn", 0).right()) + 1;
    const double right = b.from.x() - 17.5;
    const double mid = (left + right) / 2;
    for (int i = 0; i <= 10; ++i) {
        const double y = a.from.y() + (a.to.y() - a.from.y()) * i / 10.0;
        const QColor c = withAlpha(pal.silkDim, 230);
        hline(p, left, left + (i % 2 == 0 ? 4 : 2.5), y, c);
        hline(p, right, right - (i % 2 == 0 ? 4 : 2.5), y, c);
        if (i % 2 == 0) silk(p, QRectF(mid - 10, y - 4.5, 20, 9), QString::number(10 - i), 7, pal.silkDim);
    }
    silk(p, QRectF(mid - 20, a.from.y() - 18, 40, 9), QStringLiteral("VOLUME"), 7, pal.silk);
}

void crossfader(QPainter& p, const Palette& pal) {
    const Rect base = boxOf("Faderbase");
    const Track t = trackOf("Faderbtn", -1);
    // A recessed bed under the whole travel, a little wider than the cap reaches.
    const QRectF bed(t.from.x() - 15, px(base.top), t.to.x() - t.from.x() + 30, px(base.height));
    p.save();
    p.setPen(QPen(withAlpha(pal.rimDark, 160), 1));
    p.setBrush(withAlpha(pal.rimDark, 55));
    p.drawRoundedRect(bed.adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    p.setPen(QPen(withAlpha(pal.rimLight, 70), 1));
    p.drawLine(QPointF(bed.left() + 3, bed.bottom() - 0.5), QPointF(bed.right() - 3, bed.bottom() - 0.5));
    p.restore();
    const double y = t.from.y();
    slot(p, QRectF(t.from.x() - 2.5, y - 2.5, t.to.x() - t.from.x() + 5, 5), pal);
    for (int i = 0; i <= 20; ++i) {
        const double x = t.from.x() + (t.to.x() - t.from.x()) * i / 20.0;
        const bool major = i % 5 == 0;
        const QColor c = i == 10 ? pal.accent : withAlpha(pal.silkDim, major ? 255 : 170);
        const double len = major ? 5 : 3;
        vline(p, x, y - 6, y - 6 - len, c);
        vline(p, x, y + 6, y + 6 + len, c);
    }
    silk(p, QRectF(t.from.x() - 12, y - 16.5, 9, 8), QStringLiteral("A"), 7, pal.silk);
    silk(p, QRectF(t.to.x() + 3, y - 16.5, 9, 8), QStringLiteral("B"), 7, pal.silk);
}

// The headphone mix: a short slot from CUE (left) to MASTER (right), captioned above its ends.
void phonesMixSlider(QPainter& p, const Palette& pal) {
    const Track t = trackOf("phmixbtn", -1);
    const double y = t.from.y();
    slot(p, QRectF(t.from.x() - 1.5, y - 1.5, t.to.x() - t.from.x() + 3, 3), pal);
    const double mid = (t.from.x() + t.to.x()) / 2.0;
    vline(p, mid, y + 4, y + 6, withAlpha(pal.silkDim, 200));
    for (const double x : {t.from.x(), t.to.x()}) vline(p, x, y + 4, y + 7, pal.accent, 1.2);
    const double labelTop = y - 15;
    silk(p, QRectF(t.from.x() - 6, labelTop, 22, 8), QStringLiteral("CUE"), 6, pal.silkDim, Qt::AlignLeft | Qt::AlignVCenter);
    silk(p, QRectF(t.to.x() - 25, labelTop, 28, 8), QStringLiteral("MST"), 6, pal.silkDim, Qt::AlignRight | Qt::AlignVCenter);
    silk(p, QRectF(mid - 16, labelTop - 1, 32, 9), QStringLiteral("PHONES"), 6, pal.silk);
}

void outputSliders(QPainter& p, const Palette& pal) {
    for (int index = 0; index < 2; ++index) {
        const Track t = trackOf("masterbtn", index);
        slot(p, QRectF(t.from.x() - 2, t.from.y() - 2, 4, t.to.y() - t.from.y() + 4), pal);
        const double x = t.from.x() + 18;
        for (int i = 0; i <= 10; ++i) {
            const double y = t.from.y() + (t.to.y() - t.from.y()) * i / 10.0;
            hline(p, x, x + (i % 5 == 0 ? 5 : 3), y, i == 0 ? pal.accent : withAlpha(pal.silkDim, 220));
        }
    }
}

void screwsAt(QPainter& p, const QRectF& r, const Palette& pal, double inset) {
    screw(p, r.topLeft() + QPointF(inset, inset), 2.1, pal, 20);
    screw(p, r.topRight() + QPointF(-inset, inset), 2.1, pal, 65);
    screw(p, r.bottomLeft() + QPointF(inset, -inset), 2.1, pal, 110);
    screw(p, r.bottomRight() + QPointF(-inset, -inset), 2.1, pal, 155);
}

}  // namespace

QImage paintPlayerPanel(const Palette& pal) {
    QImage img = blankImage(pixelSize(appearance::panelSize(appearance::Panel::kPlayerPanel)), pal.base);
    QPainter p(&img);
    prepare(p);

    // The modules.
    const QRectF lowerLeft = pxCorners(45, 4035, 2760, 5085);
    const QRectF lowerRight = pxCorners(7815, 4035, 8970, 5085);
    plate(p, rounded(pxCorners(45, 45, 4275, 4020), 5), pal, 11);
    plate(p,
          rounded(pxCorners(4290, 45, 6390, 4080), 5).united(rounded(pxCorners(2775, 4035, 7800, 5085), 5)),
          pal, 12);
    plate(p,
          rounded(pxCorners(6405, 45, 10635, 4020), 5).united(rounded(pxCorners(8985, 3300, 10635, 5085), 5)),
          pal, 13);
    plate(p, rounded(lowerLeft, 5), pal, 14);
    plate(p, rounded(lowerRight, 5), pal, 15);

    for (int deck = 0; deck < 2; ++deck) {
        const Rect title = boxOf("text2", deck);
        const Rect length = boxOf("Totaltime", deck);
        lcdGlass(p, pxCorners(title.left - 90, title.top - 60, title.right() + 90, length.bottom() + 45),
                 pal);
        const Rect stop = boxOf("Stop", deck);
        const Rect cue = boxOf("Play", deck);
        const QRectF badge = deck == 0 ? pxCorners(stop.right() + 105, 1470, stop.right() + 855, 1965)
                                       : pxCorners(cue.left - 855, 1470, cue.left - 105, 1965);
        deckBadge(p, badge, deck == 0 ? QStringLiteral("A") : QStringLiteral("B"), pal);
        pitchSlider(p, pal, deck);
        jogPlatter(p, pal, deck);
        panSlider(p, pal, deck);
        trimKnob(p, pal, deck);
        const Rect tb = boxOf("Trimbase", deck);
        // The knob's caption sits above it, with its channel, so nothing between the knob and the volume
        // fader below could be read as the fader's.
        silk(p, pxRect(tb.left - 180, tb.top - 195, tb.width + 360, 165),
             deck == 0 ? QStringLiteral("CH A  TRIM") : QStringLiteral("CH B  TRIM"), 8, pal.silk);
    }
    volumeSliders(p, pal);
    crossfader(p, pal);
    phonesMixSlider(p, pal);
    outputSliders(p, pal);

    // The maker's plate at the top of the mixer.
    const QRectF logo = pxCorners(4290, 150, 6390, 540);
    silk(p, logo, QStringLiteral("KORVEX"), 16, pal.silk);
    p.setPen(Qt::NoPen);
    p.setBrush(pal.accent);
    p.drawRoundedRect(QRectF(logo.center().x() - 24, logo.bottom() + 1, 48, 1.6), 0.8, 0.8);
    silk(p, pxCorners(4290, 600, 6390, 780), QStringLiteral("TWIN DECK MIXER"), 7, pal.silkDim);
    screw(p, pt(4395, 150), 2.1, pal, 30);
    screw(p, pt(6285, 150), 2.1, pal, 75);

    // The lower corners: each deck's equaliser, and the model name.
    for (int i = 0; i < 6; ++i) eqSlider(p, pal, i);
    silk(p, QRectF(lowerLeft.left() + 10, lowerLeft.top() + 18, lowerLeft.width() * 0.48, 14),
         QStringLiteral("KORVEX"), 11, pal.silk, Qt::AlignLeft | Qt::AlignVCenter);
    silk(p, QRectF(lowerLeft.left() + 10, lowerLeft.top() + 33, lowerLeft.width() * 0.48, 9),
         QStringLiteral("DJ PLAYER  KX-2"), 7, pal.silkDim, Qt::AlignLeft | Qt::AlignVCenter);
    p.setPen(Qt::NoPen);
    p.setBrush(pal.accent);
    p.drawRect(QRectF(lowerLeft.left() + 10, lowerLeft.top() + 45, 26, 1.4));
    screwsAt(p, lowerLeft, pal, 5);
    screwsAt(p, lowerRight, pal, 5);
    return img;
}

QImage paintWaveStrip(const Palette& pal) {
    const QSize size = pixelSize(appearance::bitmapSize("wave"));
    QImage img = blankImage(size, pal.base);
    QPainter p(&img);
    prepare(p);
    const QRectF r(0, 0, size.width(), size.height());
    // A recessed frame, dark glass inside with a faint centre line where the waveform will stand.
    p.setPen(Qt::NoPen);
    p.setBrush(pal.rimDark.darker(130));
    p.drawRect(r);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0.0, pal.lcdBottom.darker(140));
    g.setColorAt(1.0, pal.lcdTop.darker(120));
    p.setBrush(g);
    p.drawRect(r.adjusted(1, 1, -1, -1));
    hline(p, r.left() + 2, r.right() - 2, r.center().y(), withAlpha(pal.accent, 70));
    hline(p, r.left() + 1, r.right() - 1, r.bottom() - 0.5, withAlpha(pal.rimLight, 90));
    return img;
}

}  // namespace korvex::skinpainter
