// The program's icon for the desktop: a jog wheel on a chassis plate, in a skin's colours.

#include "app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QLinearGradient>

#include "draw_kit.h"

namespace korvex::skinpainter {

QImage appIcon(const Palette& pal, int size) {
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    prepare(p);
    const double s = size;
    // The plate: a rounded square with the skin's bevel.
    const QRectF plate(s * 0.04, s * 0.04, s * 0.92, s * 0.92);
    QLinearGradient face(plate.topLeft(), plate.bottomLeft());
    face.setColorAt(0.0, pal.plateTop);
    face.setColorAt(1.0, pal.plateBottom);
    p.setPen(QPen(pal.rimDark, std::max(1.0, s / 48.0)));
    p.setBrush(face);
    p.drawRoundedRect(plate, s * 0.18, s * 0.18);
    p.setPen(QPen(withAlpha(pal.rimLight, 160), std::max(1.0, s / 64.0)));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(plate.adjusted(s * 0.02, s * 0.02, -s * 0.02, -s * 0.02), s * 0.16, s * 0.16);

    // The platter: rubber with a metal rim and the accent ring, as the jog wheel of the skin.
    const QPointF c(s / 2.0, s / 2.0);
    const double r = s * 0.36;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 110));
    p.drawEllipse(c + QPointF(0, s * 0.015), r, r);
    QRadialGradient rim(c - QPointF(r * 0.35, r * 0.45), r * 1.6);
    rim.setColorAt(0.0, pal.metalLight);
    rim.setColorAt(1.0, pal.metalDark.darker(130));
    p.setBrush(rim);
    p.drawEllipse(c, r, r);
    p.setBrush(pal.rubber);
    p.drawEllipse(c, r * 0.86, r * 0.86);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(withAlpha(pal.accent, 100), s * 0.05));
    p.drawEllipse(c, r * 0.66, r * 0.66);
    p.setPen(QPen(mix(pal.accent, Qt::white, 0.3), std::max(1.0, s * 0.02)));
    p.drawEllipse(c, r * 0.66, r * 0.66);
    // The hub and the position marker.
    QRadialGradient hub(c - QPointF(r * 0.1, r * 0.12), r * 0.4);
    hub.setColorAt(0.0, pal.metalLight);
    hub.setColorAt(1.0, pal.metalDark);
    p.setPen(QPen(QColor(0, 0, 0, 120), std::max(0.8, s / 96.0)));
    p.setBrush(hub);
    p.drawEllipse(c, r * 0.28, r * 0.28);
    p.setPen(QPen(pal.accent, std::max(1.5, s * 0.035), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c + QPointF(0, -r * 0.4), c + QPointF(0, -r * 0.8));
    return img;
}

}  // namespace korvex::skinpainter
