#include "appearance/ui/picture_widget.h"

#include <algorithm>

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>

#include "appearance/layout_table.h"
#include "base/ordinary_file.h"

namespace korvex::appearance {

namespace {
int twips(double pixels) { return static_cast<int>(pixels * kTwipsPerPixel); }
// Runs `use` on a reader of the ordinary file at `path`; `fallback` when the file cannot be opened.
template <typename Result, typename Use>
Result withReader(const QString& path, Result fallback, Use use) {
    QFile file;
    if (!base::openOrdinaryFile(file, path)) return fallback;
    // The name's ending is tried first, then the contents, as a picture loaded by name is.
    QImageReader reader(&file, QFileInfo(path).suffix().toLatin1());
    return use(reader);
}

}  // namespace

QImage readPicture(const QString& path) {
    return withReader(path, QImage(), [](QImageReader& reader) { return reader.read(); });
}

bool canReadPicture(const QString& path) {
    return withReader(path, false, [](QImageReader& reader) { return reader.canRead(); });
}

PictureWidget::PictureWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void PictureWidget::updateOpaque() {
    // A bitmap without transparency that fills the widget hides everything behind it: the window then
    // leaves what lies under it (the panels under a label whose text changes 33 times a second) unpainted.
    const bool opaque = !pixmap_.isNull() && !pixmap_.hasAlphaChannel() && pixmap_.width() >= width() &&
                        pixmap_.height() >= height();
    if (testAttribute(Qt::WA_OpaquePaintEvent) != opaque) setAttribute(Qt::WA_OpaquePaintEvent, opaque);
}

void PictureWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    updateOpaque();
}

bool PictureWidget::setPicture(const QString& path) {
    if (path == path_ && !pixmap_.isNull()) return true;
    const QPixmap pixmap = QPixmap::fromImage(readPicture(path));
    if (pixmap.isNull()) return false;
    path_ = path;
    pixmap_ = pixmap;
    updateOpaque();
    update();
    return true;
}

void PictureWidget::setPaintedLook(const QString& text, bool lit) {
    if (text == lookText_ && lit == lookLit_) return;
    lookText_ = text;
    lookLit_ = lit;
    if (pixmap_.isNull()) update();
}

void PictureWidget::clearPicture() {
    if (path_.isEmpty() && pixmap_.isNull()) return;
    path_.clear();
    pixmap_ = QPixmap();
    updateOpaque();
    update();
}

void PictureWidget::paintEvent(QPaintEvent*) {
    if (pixmap_.isNull()) {
        if (lookText_.isEmpty()) return;
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QColor(0x70, 0x70, 0x76));
        painter.setBrush(lookLit_ ? QColor(0xe0, 0x40, 0x30) : QColor(0x2c, 0x2c, 0x30));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
        QFont font = painter.font();
        font.setPixelSize(std::max(6, height() / 2));
        painter.setFont(font);
        painter.setPen(lookLit_ ? QColor(Qt::white) : QColor(0xc8, 0xc8, 0xcc));
        painter.drawText(rect(), Qt::AlignCenter, lookText_);
        return;
    }
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
