#include "app/ui/trim_needle.h"

#include <QPainter>

#include "appearance/layout_table.h"

namespace korvex::app {

namespace {
constexpr double kPx = appearance::kTwipsPerPixel;
}

TrimNeedle::TrimNeedle(QWidget* parent, const QRect& boxTwips) : QWidget(parent), box_(boxTwips) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(qRound(box_.left() / kPx), qRound(box_.top() / kPx), qRound(box_.width() / kPx),
                qRound(box_.height() / kPx));
    // Straight up, 200 twips long, until the mixer says otherwise.
    end_ = QPointF(box_.left() + box_.width() / 2.0, box_.top() + box_.height() / 2.0 - 200.0);
}

void TrimNeedle::setEnd(double x2, double y2) {
    if (end_ == QPointF(x2, y2)) return;
    end_ = QPointF(x2, y2);
    update();
}

void TrimNeedle::setColour(const QColor& colour) {
    colour_ = colour;
    update();
}

void TrimNeedle::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour_, 2.0, Qt::SolidLine, Qt::RoundCap));
    const QPointF centre(box_.width() / 2.0 / kPx, box_.height() / 2.0 / kPx);
    const QPointF tip((end_.x() - box_.left()) / kPx, (end_.y() - box_.top()) / kPx);
    painter.drawLine(centre, tip);
}

}  // namespace korvex::app
