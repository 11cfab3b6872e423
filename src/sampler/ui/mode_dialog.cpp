#include "sampler/ui/mode_dialog.h"

#include <QEvent>
#include <QMouseEvent>

namespace korvex::sampler {

namespace {
int px(int twips) {
    return (twips + 7) / 15;
}
}  // namespace

ModeDialog::ModeDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("モード選択"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setFixedSize(px(3360), px(1680));
    QPalette dark = palette();
    dark.setColor(QPalette::Window, QColor(32, 32, 36));
    dark.setColor(QPalette::WindowText, QColor(220, 220, 226));
    setPalette(dark);
    setAutoFillBackground(true);

    auto* heading = new QLabel(QStringLiteral("MODE SELECT"), this);
    QFont big = heading->font();
    big.setPointSize(14);
    big.setBold(true);
    heading->setFont(big);
    heading->setGeometry(px(240), px(120), px(2880), px(420));
    heading->setAlignment(Qt::AlignCenter);

    auto makeChoice = [this](const QString& caption, int top) {
        auto* label = new QLabel(caption, this);
        QFont font(QStringLiteral("Noto Sans Mono"));
        font.setPointSize(12);
        label->setFont(font);
        label->setGeometry(px(480), px(top), px(2400), px(360));
        label->setCursor(Qt::PointingHandCursor);
        label->setStyleSheet(QStringLiteral("QLabel { color: #ffd080; } QLabel:hover { color: #ffffff; }"));
        label->installEventFilter(this);
        return label;
    };
    // Padded with leading blanks, so the two captions end in one column.
    sampler_ = makeChoice(QStringLiteral("  SAMPLER MODE"), 720);
    effecter_ = makeChoice(QStringLiteral(" EFFECTER MODE"), 1140);
}

void ModeDialog::choose(int mode) {
    if (onMode) onMode(mode);
    close();
}

bool ModeDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == sampler_) {
            choose(0);
            return true;
        }
        if (watched == effecter_) {
            choose(1);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace korvex::sampler
