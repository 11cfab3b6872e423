#include "app/ui/splash_window.h"

#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>

namespace korvex::app {

namespace {
constexpr int kWidth = 420;
constexpr int kHeight = 220;
const QColor kAccent(255, 154, 46);
}  // namespace

SplashWindow::SplashWindow(QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::SplashScreen) {
    setFixedSize(kWidth, kHeight);
    setFocusPolicy(Qt::StrongFocus);
    setWindowTitle(QStringLiteral("Korvex"));
}

void SplashWindow::setPicture(const QPixmap& picture) {
    picture_ = picture;
    update();
}

void SplashWindow::setVersionText(const QString& text) {
    version_ = text;
    update();
}

void SplashWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient body(0, 0, 0, kHeight);
    body.setColorAt(0.0, QColor(58, 58, 62));
    body.setColorAt(1.0, QColor(22, 22, 24));
    p.fillRect(rect(), body);
    p.setPen(QPen(QColor(90, 90, 96), 1));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.fillRect(QRect(0, kHeight - 6, kWidth, 6), kAccent);

    if (!picture_.isNull())
        p.drawPixmap(QRect(28, 52, 96, 96), picture_.scaled(96, 96, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    QFont mark(QStringLiteral("Noto Sans CJK JP"));
    mark.setPixelSize(44);
    mark.setBold(true);
    p.setFont(mark);
    p.setPen(kAccent);
    p.drawText(QRect(146, 48, 260, 56), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("KORVEX"));
    QFont small(QStringLiteral("Noto Sans CJK JP"));
    small.setPixelSize(13);
    p.setFont(small);
    p.setPen(QColor(200, 200, 205));
    p.drawText(QRect(148, 104, 260, 20), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("TWO-DECK DJ PLAYER"));
    p.setPen(QColor(150, 150, 156));
    p.drawText(QRect(148, 128, 260, 20), Qt::AlignLeft | Qt::AlignVCenter, version_);
    p.drawText(QRect(20, kHeight - 34, kWidth - 40, 20), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("Loading…"));
}

void SplashWindow::mousePressEvent(QMouseEvent*) {
    if (onClick) onClick();
}

void SplashWindow::keyPressEvent(QKeyEvent*) {
    if (onKey) onKey();
}

}  // namespace korvex::app
