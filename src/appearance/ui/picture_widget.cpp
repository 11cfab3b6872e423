#include "appearance/ui/picture_widget.h"

#include <QMouseEvent>
#include <QPainter>

#include "appearance/layout_table.h"

namespace korvex::appearance {

namespace {
int twips(double pixels) { return static_cast<int>(pixels * kTwipsPerPixel); }
}  // namespace

PictureWidget::PictureWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

bool PictureWidget::setPicture(const QString& path) {
    if (path == path_ && !pixmap_.isNull()) return true;
    QPixmap pixmap(path);
    if (pixmap.isNull()) return false;
    path_ = path;
    pixmap_ = pixmap;
    update();
    return true;
}

void PictureWidget::paintEvent(QPaintEvent*) {
    if (pixmap_.isNull()) return;
    QPainter painter(this);
    painter.drawPixmap(0, 0, pixmap_);
}

void PictureWidget::mousePressEvent(QMouseEvent* event) {
    down_ = event->button() == Qt::LeftButton;
    if (onPress) onPress(event->button(), twips(event->position().x()), twips(event->position().y()));
}

void PictureWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (onRelease) onRelease(event->button(), twips(event->position().x()), twips(event->position().y()));
    const bool inside = rect().contains(event->position().toPoint());
    if (down_ && event->button() == Qt::LeftButton && inside && onClick) onClick();
    down_ = false;
}

void PictureWidget::mouseMoveEvent(QMouseEvent* event) {
    if (onMove) onMove(event->buttons(), twips(event->position().x()), twips(event->position().y()));
}

}  // namespace korvex::appearance

namespace korvex::appearance {

void PictureWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    // A quick second press is still a press (CUE and Play/Pause are tapped fast).
    mousePressEvent(event);
    if (event->button() == Qt::LeftButton && onDoubleClick) onDoubleClick();
}

}  // namespace korvex::appearance
