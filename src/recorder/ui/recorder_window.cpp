#include "recorder/ui/recorder_window.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <atomic>
#include <thread>

#include "appearance/layout_table.h"

namespace korvex::recorder {

namespace {

using appearance::kTwipsPerPixel;

int px(int twips) {
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}
QRect pixels(const appearance::Rect& r) {
    return {px(r.left), px(r.top), px(r.width), px(r.height)};
}

// `Timer1`'s interval.
constexpr int kTimerMs = 100;

}  // namespace

RecorderWindow::RecorderWindow(CommandInterface& commands, deck::DeckSettings& settings,
                               songlist::DialogState& dialog, songlist::FileDialogs& dialogs,
                               base::MessageBoxes& boxes, std::function<QString(const QString&)> picturePath,
                               const std::vector<appearance::ImagePicture>& pictures, QWidget* parent)
    // A tool window of the main window: the window system keeps it above its parent (a plain window with
    // a parent is a window of its own on X11, which the first click on the main window covers).
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint),
      model_(commands, settings, dialog, dialogs, boxes),
      picturePath_(std::move(picturePath)) {
    setWindowTitle(QStringLiteral("Recorder"));
    model_.withProgress = [this](const QString& caption, const Recorder::ProgressWork& work) {
        return runWithProgress(caption, work);
    };
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(px(appearance::kRecorderWidth), px(appearance::kRecorderHeight));
    for (const auto& entry : appearance::kLayout) {
        if (entry.panel != appearance::Panel::kRecorder) continue;
        if (entry.role == appearance::Role::kLabel) {
            label_ = new QLabel(this);
            label_->setGeometry(pixels(entry.box));
            label_->setAlignment(Qt::AlignCenter);
            QFont font(QStringLiteral("DejaVu Sans Mono"));
            font.setPixelSize(15);
            font.setBold(true);
            label_->setFont(font);
            label_->setStyleSheet(QStringLiteral("color: #f0f0f0"));
            label_->setAttribute(Qt::WA_TransparentForMouseEvents, true);
            continue;
        }
        auto* widget = new appearance::PictureWidget(this);
        widget->setGeometry(pixels(entry.box));
        pictures_[std::string(entry.name)] = widget;
    }
    // The skin's pictures as far as they load; the label lies above the background.
    for (const appearance::ImagePicture& image : pictures) {
        if (auto* widget = picture(std::string(image.name))) {
            widget->setPicture(image.path);
            shown_[std::string(image.name)] = image.bitmap;
        }
    }
    if (auto* background = picture("Picture1")) background->lower();

    connectButton("cmdstart", nullptr, nullptr, &Recorder::startClick, nullptr);
    connectButton("cmdstop", &Recorder::stopPress, &Recorder::stopRelease, nullptr,
                  &RecorderView::stopEnabled);
    connectButton("cmdsave", &Recorder::savePress, &Recorder::saveRelease, &Recorder::saveClick,
                  &RecorderView::saveEnabled);
    connectButton("frmend", &Recorder::frmendPress, &Recorder::frmendRelease, &Recorder::frmendClick,
                  nullptr);
    // The background drags the window.
    if (auto* background = picture("Picture1")) {
        background->onPress = [this](Qt::MouseButton button, int x, int y) {
            if (button == Qt::LeftButton) grab_ = QPoint(x, y);
        };
        background->onMove = [this](Qt::MouseButtons buttons, int x, int y) {
            if (!(buttons & Qt::LeftButton)) return;
            const QPoint twips = pos() * kTwipsPerPixel + QPoint(x, y) - grab_;
            move(twips / kTwipsPerPixel);
        };
    }
    model_.onImgrec = [this](const QString& bitmap) {
        if (onImgrec) onImgrec(bitmap);
    };
    model_.onClose = [this] {
        closing_ = true;
        close();
    };
    timer_.setInterval(kTimerMs);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { tick(); });
    refresh();
}

void RecorderWindow::connectButton(const std::string& name, void (Recorder::*press)(),
                                   void (Recorder::*release)(), void (Recorder::*click)(),
                                   const bool RecorderView::*enabled) {
    auto* widget = picture(name);
    if (widget == nullptr) return;
    // A disabled button ignores presses and clicks; a release still restores its picture.
    auto on = [this, enabled] { return enabled == nullptr || model_.view().*enabled; };
    widget->onPress = [this, press, on](Qt::MouseButton button, int, int) {
        if (button != Qt::LeftButton || press == nullptr || !on()) return;
        (model_.*press)();
        refresh();
    };
    widget->onRelease = [this, release](Qt::MouseButton button, int, int) {
        if (button != Qt::LeftButton || release == nullptr) return;
        (model_.*release)();
        refresh();
    };
    widget->onClick = [this, click, on] {
        if (click == nullptr || !on()) return;
        (model_.*click)();
        if (!closing_) refresh();
    };
}

bool RecorderWindow::open() {
    const bool chosen = model_.open();
    refresh();
    return chosen;
}

void RecorderWindow::recordstart() {
    model_.recordstart();
    refresh();
}

void RecorderWindow::tick() {
    model_.timerTick();
    refresh();
}

appearance::PictureWidget* RecorderWindow::picture(const std::string& name) const {
    const auto it = pictures_.find(name);
    return it == pictures_.end() ? nullptr : it->second;
}

void RecorderWindow::showBitmap(const std::string& name, const QString& bitmap) {
    QString& shown = shown_[name];
    if (shown == bitmap) return;
    auto* widget = picture(name);
    if (widget != nullptr && widget->setPicture(picturePath_(bitmap))) shown = bitmap;
}

void RecorderWindow::refresh() {
    const RecorderView& view = model_.view();
    showBitmap("cmdstart", view.startPicture);
    showBitmap("cmdstop", view.stopPicture);
    showBitmap("cmdsave", view.savePicture);
    showBitmap("frmend", view.frmendPicture);
    if (label_->text() != view.label) label_->setText(view.label);
    if (view.timerEnabled && !timer_.isActive()) timer_.start();
    if (!view.timerEnabled && timer_.isActive()) timer_.stop();
}

void RecorderWindow::closeEvent(QCloseEvent* event) {
    // However the window closes, the device is closed with it, and a take not yet saved only when the
    // operator agrees to lose it (frmendClick asks; when it closes, onClose has set closing_).
    if (!closing_) {
        model_.frmendClick();
        if (!closing_) {
            refresh();
            event->ignore();
            return;
        }
    }
    timer_.stop();
    event->accept();
}

bool RecorderWindow::runWithProgress(const QString& caption, const Recorder::ProgressWork& work) {
    QProgressDialog dialog(caption, QStringLiteral("中止"), 0, 1000, this);
    dialog.setWindowTitle(QStringLiteral("録音"));
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(300);
    std::atomic<int> permille{0};
    std::atomic<bool> cancelled{false};
    std::atomic<bool> finished{false};
    bool ok = false;
    QEventLoop loop;
    // The conversion runs on a thread of its own; this one shows its progress and keeps the window alive.
    std::thread worker([&] {
        ok = work([&](double share) {
            permille.store(static_cast<int>(share * 1000.0), std::memory_order_relaxed);
            return !cancelled.load(std::memory_order_relaxed);
        });
        finished.store(true, std::memory_order_release);
    });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (dialog.wasCanceled()) cancelled.store(true, std::memory_order_relaxed);
        dialog.setValue(permille.load(std::memory_order_relaxed));
        if (finished.load(std::memory_order_acquire)) loop.quit();
    });
    poll.start(50);
    loop.exec();
    worker.join();
    dialog.reset();
    return ok;
}

}  // namespace korvex::recorder
