#pragma once

// Drawing pieces shared by every part of the artwork: twip-to-pixel conversion, plates of brushed metal,
// wells, the deck displays' glass, printed labels, screws and lights.

#include "appearance/layout_table.h"
#include "palette.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>

namespace korvex::skinpainter {

// Twips to pixels.
inline double px(double twips) {
    return twips / appearance::kTwipsPerPixel;
}
inline QRectF pxRect(const appearance::Rect& r) {
    return {px(r.left), px(r.top), px(r.width), px(r.height)};
}
inline QRectF pxRect(double left, double top, double width, double height) {
    return {px(left), px(top), px(width), px(height)};
}
// A box given by its corners in twips.
inline QRectF pxCorners(double left, double top, double right, double bottom) {
    return {px(left), px(top), px(right - left), px(bottom - top)};
}

// An image of the entry's bitmap size, in pixels.
QSize pixelSize(appearance::Size twips);

// A new opaque image filled with one colour.
QImage blankImage(QSize size, const QColor& fill);

// A painter with antialiasing switched on.
void prepare(QPainter& p);

// The font of the printed labels at a pixel size.
QFont silkFont(double pixelSize, bool bold = true);

// A colour with its alpha replaced.
QColor withAlpha(QColor c, int alpha);
// Linear mix: t = 0 gives a, t = 1 gives b.
QColor mix(const QColor& a, const QColor& b, double t);

// A raised plate: gradient, brushed streaks, bevelled edge and a soft shadow onto the chassis.
void plate(QPainter& p, const QPainterPath& shape, const Palette& pal, unsigned seed);
// Brushed-metal streaks over an area (already filled).
void brushed(QPainter& p, const QPainterPath& area, const Palette& pal, unsigned seed);
// A sunken well cut into a plate.
void well(QPainter& p, const QRectF& r, double radius, const Palette& pal);
// A display window: a well with tinted glass and a faint reflection.
void lcdGlass(QPainter& p, const QRectF& r, const Palette& pal);
// A slot for a slider to run in.
void slot(QPainter& p, const QRectF& r, const Palette& pal);

// Printed text, centred in r unless the alignment says otherwise.
void silk(QPainter& p, const QRectF& r, const QString& text, double pixelSize, const QColor& colour,
          Qt::Alignment align = Qt::AlignCenter, bool bold = true);
// A cross-head screw.
void screw(QPainter& p, QPointF centre, double radius, const Palette& pal, double angleDegrees);
// A round light, lit or dark.
void led(QPainter& p, QPointF centre, double radius, const QColor& colour, bool lit);
// A soft round glow of a colour.
void glow(QPainter& p, QPointF centre, double radius, const QColor& colour, int alpha);
// Ventilation slots filling r.
void vents(QPainter& p, const QRectF& r, const Palette& pal);

}  // namespace korvex::skinpainter
