// Every key of the main window and the recorder, idle ("1") and pressed or active ("2"). A key sits in a
// hole of its panel; pressed, it sinks, its symbol moves down a pixel and lights up.

#include "appearance/layout_table.h"
#include "draw_kit.h"
#include "glyphs.h"
#include "skin.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QRadialGradient>

#include <algorithm>

namespace korvex::skinpainter {
namespace {

// The kinds of key, by how they are built.
enum class Style {
    kKey,        // a rubber key with a symbol and perhaps a word
    kTransport,  // a large key with a light strip (CUE, Play/Pause)
    kMode,       // a slim key with a light and a word (title bar mode buttons)
    kWindow,     // a small key with a symbol (title bar window buttons)
    kPattern,    // a crossfader pattern key with its curve
    kMini,       // the mini bar's tiny keys (one look only)
};

// Which light a key shows when lit.
// A kill lights red like the recorder but sits unlit as a plain key.
enum class Tone { kAccent, kCue, kPlay, kRec, kKill };

struct ButtonArt {
    const char* bitmap;
    Style style;
    Glyph glyph;
    const char* text;  // printed beside the glyph (after it, or before it for a glyph pointing left)
    Tone tone;
    int pattern;  // crossfader pattern for kPattern
};

const ButtonArt kButtons[] = {
    {"cue", Style::kTransport, Glyph::kNone, "CUE", Tone::kCue, 0},
    {"play", Style::kTransport, Glyph::kPlayPause, "", Tone::kPlay, 0},
    {"stop", Style::kKey, Glyph::kStop, "", Tone::kAccent, 0},
    {"sback", Style::kKey, Glyph::kSearchBack, "", Tone::kAccent, 0},
    {"sgo", Style::kKey, Glyph::kSearchForward, "", Tone::kAccent, 0},
    {"presong", Style::kKey, Glyph::kPreviousSong, "", Tone::kAccent, 0},
    {"nextsong", Style::kKey, Glyph::kNextSong, "", Tone::kAccent, 0},
    {"add", Style::kKey, Glyph::kPlus, "", Tone::kAccent, 0},
    {"dell", Style::kKey, Glyph::kMinus, "", Tone::kAccent, 0},
    {"up", Style::kKey, Glyph::kUp, "", Tone::kAccent, 0},
    {"down", Style::kKey, Glyph::kDown, "", Tone::kAccent, 0},
    {"tob", Style::kKey, Glyph::kArrowRight, "B", Tone::kAccent, 0},
    {"toa", Style::kKey, Glyph::kArrowLeft, "A", Tone::kAccent, 0},
    {"fdtoa", Style::kKey, Glyph::kJumpLeft, "A", Tone::kAccent, 0},
    {"fdtob", Style::kKey, Glyph::kJumpRight, "B", Tone::kAccent, 0},
    {"switch", Style::kKey, Glyph::kSwitch, "SWITCH", Tone::kAccent, 0},
    {"center", Style::kKey, Glyph::kCentre, "CENTER", Tone::kAccent, 0},
    {"recstart", Style::kKey, Glyph::kRecord, "", Tone::kRec, 0},
    {"save", Style::kKey, Glyph::kSave, "", Tone::kAccent, 0},
    {"menu", Style::kMode, Glyph::kNone, "MENU", Tone::kAccent, 0},
    {"sampler", Style::kMode, Glyph::kNone, "SAMPLER", Tone::kAccent, 0},
    {"list", Style::kMode, Glyph::kNone, "LIST", Tone::kAccent, 0},
    {"library", Style::kMode, Glyph::kNone, "LIBRARY", Tone::kAccent, 0},
    {"recorder", Style::kMode, Glyph::kNone, "REC", Tone::kRec, 0},
    // On air lights green, as a studio's on-air lamp does here.
    {"onair", Style::kMode, Glyph::kNone, "ON AIR", Tone::kPlay, 0},
    {"formbar", Style::kWindow, Glyph::kToBar, "", Tone::kAccent, 0},
    {"formsmall", Style::kWindow, Glyph::kMinimise, "", Tone::kAccent, 0},
    {"formend", Style::kWindow, Glyph::kClose, "", Tone::kRec, 0},
    {"eqlow", Style::kKey, Glyph::kNone, "LOW", Tone::kKill, 0},
    {"eqmid", Style::kKey, Glyph::kNone, "MID", Tone::kKill, 0},
    {"eqhigh", Style::kKey, Glyph::kNone, "HI", Tone::kKill, 0},
    {"sync", Style::kKey, Glyph::kNone, "SYNC", Tone::kAccent, 0},
    {"keylock", Style::kKey, Glyph::kLock, "", Tone::kAccent, 0},
    // Pre-listen lights in the cue colour: what it lights goes to the headphones.
    {"pfl", Style::kKey, Glyph::kHeadphones, "PFL", Tone::kCue, 0},
    {"fdp1", Style::kPattern, Glyph::kNone, "A", Tone::kAccent, 0},
    {"fdp2", Style::kPattern, Glyph::kNone, "B", Tone::kAccent, 1},
    {"fdp3", Style::kPattern, Glyph::kNone, "C", Tone::kAccent, 2},
    {"fdp4", Style::kPattern, Glyph::kNone, "CUT", Tone::kAccent, 3},
    {"miniplay", Style::kMini, Glyph::kPlay, "", Tone::kAccent, 0},
    {"ministop", Style::kMini, Glyph::kStop, "", Tone::kAccent, 0},
    {"minipre", Style::kMini, Glyph::kPreviousSong, "", Tone::kAccent, 0},
    {"mininext", Style::kMini, Glyph::kNextSong, "", Tone::kAccent, 0},
};

QColor toneColour(Tone tone, const Palette& pal) {
    switch (tone) {
        case Tone::kAccent:
            return pal.accent;
        case Tone::kCue:
            return pal.cueLit;
        case Tone::kPlay:
            return pal.playLit;
        case Tone::kRec:
        case Tone::kKill:
            return pal.recLit;
    }
    return pal.accent;
}

// The hole in the panel and the key cap in it; returns the cap's face.
QRectF keyCap(QPainter& p, const QRectF& r, double radius, const Palette& pal, bool pressed,
              const QColor& lit) {
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(withAlpha(pal.rimLight, pal.lightSurface ? 150 : 90));
    p.drawRoundedRect(r.adjusted(0, 0.5, 0, 0), radius + 1, radius + 1);
    p.setBrush(pal.capEdge);
    p.drawRoundedRect(r.adjusted(0, 0, 0, -0.5), radius + 1, radius + 1);
    const QRectF cap = r.adjusted(1, pressed ? 1.6 : 1, -1, pressed ? -1 : -1.6);
    QLinearGradient g(cap.topLeft(), cap.bottomLeft());
    if (pressed) {
        g.setColorAt(0.0, pal.capBottom.darker(125));
        g.setColorAt(1.0, pal.capTop.darker(108));
    } else {
        g.setColorAt(0.0, pal.capTop.lighter(112));
        g.setColorAt(0.55, pal.capTop);
        g.setColorAt(1.0, pal.capBottom);
    }
    p.setBrush(g);
    p.drawRoundedRect(cap, radius, radius);
    if (pressed && lit.isValid()) {
        QRadialGradient halo(cap.center(), std::max(cap.width(), cap.height()) * 0.62);
        halo.setColorAt(0.0, withAlpha(lit, 70));
        halo.setColorAt(1.0, withAlpha(lit, 10));
        p.setBrush(halo);
        p.drawRoundedRect(cap, radius, radius);
    }
    // Edge light: a bright top rim on a raised key, a shadowed top inside a sunken one.
    if (pressed) {
        QLinearGradient shade(cap.topLeft(), cap.topLeft() + QPointF(0, 3));
        shade.setColorAt(0.0, QColor(0, 0, 0, 150));
        shade.setColorAt(1.0, QColor(0, 0, 0, 0));
        p.setBrush(shade);
        p.drawRoundedRect(cap, radius, radius);
    } else {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(255, 255, 255, 46), 1));
        p.drawLine(QPointF(cap.left() + radius, cap.top() + 0.5),
                   QPointF(cap.right() - radius, cap.top() + 0.5));
        p.setPen(QPen(QColor(0, 0, 0, 90), 1));
        p.drawLine(QPointF(cap.left() + radius, cap.bottom() - 0.5),
                   QPointF(cap.right() - radius, cap.bottom() - 0.5));
    }
    p.restore();
    return cap;
}

// A glyph and a word side by side, centred in the face; lit content gets a soft glow behind it.
void content(QPainter& p, const ButtonArt& art, const QRectF& face, const QColor& colour, double textSize,
             double glyphSize, bool glowing) {
    const QString text = QString::fromLatin1(art.text);
    const QFont font = silkFont(textSize, true);
    const double textWidth = text.isEmpty() ? 0 : QFontMetricsF(font).horizontalAdvance(text);
    const double g = art.glyph == Glyph::kNone ? 0 : glyphSize;
    const double gap = (g > 0 && textWidth > 0) ? std::max(2.5, textSize * 0.3) : 0;
    const double glyphWidth = art.glyph == Glyph::kPlayPause ? g * 1.7 : g;
    const double total = glyphWidth + gap + textWidth;
    const bool textFirst = art.glyph == Glyph::kArrowLeft || art.glyph == Glyph::kJumpLeft;
    double x = face.center().x() - total / 2;
    const double cy = face.center().y();
    QRectF glyphBox;
    QRectF textBox;
    if (textFirst) {
        textBox = QRectF(x, face.top(), textWidth, face.height());
        glyphBox = QRectF(x + textWidth + gap, cy - g / 2, glyphWidth, g);
    } else {
        glyphBox = QRectF(x, cy - g / 2, glyphWidth, g);
        textBox = QRectF(x + glyphWidth + gap, face.top(), textWidth, face.height());
    }
    if (glowing) glow(p, face.center(), std::max(total, g) * 0.9, colour, 90);
    if (g > 0) drawGlyph(p, art.glyph, glyphBox, colour);
    if (!text.isEmpty()) {
        p.save();
        p.setFont(font);
        p.setPen(colour);
        p.drawText(textBox.adjusted(-1, 0, 1, 0), Qt::AlignCenter, text);
        p.restore();
    }
}

QImage paintKey(const ButtonArt& art, bool pressed, const QImage& background, const Palette& pal) {
    QImage img = background.convertToFormat(QImage::Format_RGB32);
    QPainter p(&img);
    prepare(p);
    const QRectF r(0.5, 0.5, img.width() - 1, img.height() - 1);
    const QColor lit = toneColour(art.tone, pal);
    const double h = r.height();
    switch (art.style) {
        case Style::kTransport: {
            const QRectF face = keyCap(p, r, 4, pal, pressed, lit);
            // The light strip along the key's lower edge.
            const QRectF strip(face.left() + 6, face.bottom() - 4.5, face.width() - 12, 2);
            if (pressed) glow(p, strip.center(), face.width() * 0.45, lit, 120);
            p.setPen(Qt::NoPen);
            p.setBrush(pressed ? mix(lit, Qt::white, 0.35) : lit.darker(330));
            p.drawRoundedRect(strip, 1, 1);
            const QRectF top = face.adjusted(0, 0, 0, -5);
            const QColor c = pressed ? mix(lit, Qt::white, 0.3) : mix(pal.glyph, lit, 0.2);
            content(p, art, top, c, 13, top.height() * 0.62, pressed);
            break;
        }
        case Style::kKey: {
            const double radius = std::min(3.5, h / 6);
            const QRectF face = keyCap(p, r, radius, pal, pressed, lit);
            const bool tall = face.height() > 18;
            const double glyphSize =
                art.text[0] != '\0' && !tall ? face.height() * 0.62 : face.height() * 0.72;
            const double textSize = std::string_view(art.text).size() > 1 ? 7 : 10;
            QColor c = pressed ? mix(lit, Qt::white, 0.25) : pal.glyph;
            if (!pressed && art.tone == Tone::kRec) c = lit.darker(110);
            content(p, art, face, c, textSize, glyphSize, pressed);
            break;
        }
        case Style::kMode: {
            const QRectF face = keyCap(p, r, 2, pal, false, QColor());
            led(p, QPointF(face.left() + 5, face.center().y()), 1.7, lit, pressed);
            p.setFont(silkFont(7, true));
            p.setPen(pressed ? mix(pal.glyph, Qt::white, 0.5) : mix(pal.glyph, pal.capBottom, 0.25));
            p.drawText(face.adjusted(9, 0, -1, 0), Qt::AlignCenter, QString::fromLatin1(art.text));
            break;
        }
        case Style::kWindow: {
            const QRectF face = keyCap(p, r, 2, pal, pressed, lit);
            const QColor c = pressed ? mix(lit, Qt::white, 0.2) : pal.glyph;
            drawGlyph(p, art.glyph, face.adjusted(2, 1, -2, -1), c);
            break;
        }
        case Style::kPattern: {
            const QRectF face = keyCap(p, r, 2.5, pal, pressed, QColor());
            led(p, QPointF(face.right() - 4, face.top() + 4), 1.4, lit, pressed);
            const QRectF graph(face.left() + 4, face.top() + 3, face.width() - 11, face.height() * 0.46);
            p.setPen(QPen(withAlpha(pal.glyph, 40), 0.8));
            p.drawLine(QPointF(graph.center().x(), graph.top()), QPointF(graph.center().x(), graph.bottom()));
            const QColor a = pressed ? lit : mix(pal.glyph, pal.capBottom, 0.2);
            const QColor b = pressed ? mix(lit, Qt::white, 0.55) : mix(pal.glyph, pal.capBottom, 0.55);
            drawFaderCurve(p, art.pattern, graph, a, b);
            p.setFont(silkFont(7, true));
            p.setPen(pressed ? mix(lit, Qt::white, 0.3) : pal.glyph);
            p.drawText(
                QRectF(face.left(), graph.bottom() + 0.5, face.width(), face.bottom() - graph.bottom() - 0.5),
                Qt::AlignCenter, QString::fromLatin1(art.text));
            break;
        }
        case Style::kMini: {
            // Too small for a hole round the key: the cap fills the picture.
            QLinearGradient g(r.topLeft(), r.bottomLeft());
            g.setColorAt(0.0, pal.capTop.lighter(112));
            g.setColorAt(1.0, pal.capBottom);
            p.setPen(QPen(pal.capEdge, 1));
            p.setBrush(g);
            p.drawRoundedRect(r, 1.5, 1.5);
            drawGlyph(p, art.glyph, QRectF(0, 0, img.width(), img.height()), pal.glyph);
            break;
        }
    }
    return img;
}

}  // namespace

void paintButtons(const Palette& pal, Images& images) {
    for (const ButtonArt& art : kButtons) {
        const QImage background = backgroundUnder(images, art.bitmap);
        const std::string base(art.bitmap);
        if (art.style == Style::kMini) {
            images[base + ".bmp"] = paintKey(art, false, background, pal);
        } else {
            images[base + "1.bmp"] = paintKey(art, false, background, pal);
            images[base + "2.bmp"] = paintKey(art, true, background, pal);
        }
    }
}

}  // namespace korvex::skinpainter
