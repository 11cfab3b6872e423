#include "app/ui/main_window.h"

#include "app/ui/deck_display.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QTimer>

#include "appearance/layout_table.h"
#include "appearance/ui/tooltip_style.h"

namespace korvex::app {

namespace {

using appearance::kTwipsPerPixel;
using appearance::Panel;
using appearance::Role;

// Where the title bar's sound status sits, in twips.
constexpr int kSoundStatusLeft = 3050;
constexpr int kSoundStatusWidth = 1250;

int px(double twips) { return static_cast<int>(twips / kTwipsPerPixel + 0.5); }
QRect pixels(const appearance::Rect& r) { return {px(r.left), px(r.top), px(r.width), px(r.height)}; }
QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QColor colour(std::uint32_t value) {
    return QColor(appearance::redOf(value), appearance::greenOf(value), appearance::blueOf(value));
}

}  // namespace

MainWindow::MainWindow(PicturePath picturePath, QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint), picturePath_(std::move(picturePath)) {
    setWindowTitle(QStringLiteral("Korvex"));
    setFocusPolicy(Qt::StrongFocus);
    releaseTimer_.setSingleShot(true);
    QObject::connect(&releaseTimer_, &QTimer::timeout, this, [this] { deliverHeldRelease(); });
    setAutoFillBackground(true);
    QPalette background = palette();
    background.setColor(QPalette::Window, QColor(24, 24, 26));
    setPalette(background);

    content_ = new QWidget(this);
    menuBar_ = new QMenuBar(this);
    // Compact enough for the bar's fixed height above the panels.
    menuBar_->setStyleSheet(QStringLiteral(
        "QMenuBar { background: #1c1c1f; color: #dcdce0; font-size: 11px; padding: 0px; }"
        "QMenuBar::item { padding: 1px 8px; background: transparent; }"
        "QMenuBar::item:selected { background: #3a3a40; }"
        "QMenuBar::item:disabled { color: #707076; }"));
    menuBar_->hide();
    // Panels first, so everything placed on them lies above.
    for (const auto& entry : appearance::kLayout) {
        if (entry.panel != Panel::kWindow || entry.role != Role::kBackground) continue;
        auto* widget = new appearance::PictureWidget(content_);
        widget->setGeometry(pixels(entry.box));
        widget->setPicture(picturePath_(std::string(entry.name), entry.index, qs(appearance::bitmapFile(entry))));
        pictures_[{std::string(entry.name), entry.index}] = widget;
        if (entry.name == "Picture8") panels_[0] = widget;
        if (entry.name == "Picture4") panels_[1] = widget;
        if (entry.name == "Picture5") panels_[2] = widget;
    }
    for (const auto& entry : appearance::kLayout) {
        if (entry.panel == Panel::kRecorder) continue;
        if (entry.panel == Panel::kWindow && entry.role == Role::kBackground) continue;
        QWidget* parentWidget = content_;
        if (entry.panel == Panel::kSamplerStrip) parentWidget = panels_[0];
        if (entry.panel == Panel::kPlayerPanel) parentWidget = panels_[1];
        if (entry.panel == Panel::kListPanel) parentWidget = panels_[2];
        const Key key{std::string(entry.name), entry.index};
        if (entry.name == "wave") {
            auto* strip = new WaveformStrip(parentWidget);
            strip->setGeometry(pixels(entry.box));
            strip->setToolTip(QStringLiteral("Overview (click: search)"));
            strips_[entry.index] = strip;
        } else if (entry.role == Role::kList && entry.name == "lstUse") {
            auto* list = new QListWidget(parentWidget);
            list->setGeometry(pixels(entry.box));
            list->setFocusPolicy(Qt::NoFocus);
            list->setSelectionMode(QAbstractItemView::NoSelection);
            effectLists_[entry.index] = list;
        } else if (entry.role == Role::kList) {
            auto* list = new TitleList(parentWidget);
            list->setGeometry(pixels(entry.box));
            list->setFrameShape(QFrame::NoFrame);
            list->setFocusPolicy(Qt::NoFocus);
            list->setToolTip(QStringLiteral("右ｸﾘｯｸするとﾌｧｲﾙの編集ができます。"));
            lists_[entry.index] = list;
        } else if (entry.role == Role::kLabel) {
            QLabel* text = entry.name == "text2" ? new DeckDisplay(parentWidget) : new QLabel(parentWidget);
            text->setGeometry(pixels(entry.box));
            // A label whose size may change tells its panel to lay out again with every new text: an event
            // posted, and the loop woken, for each display on every tick. Its place is the skin's.
            text->setFixedSize(text->size());
            text->setAttribute(Qt::WA_TransparentForMouseEvents, entry.name != "text2");
            labels_[key] = text;
        } else if (entry.role == Role::kKnobBase) {
            // The base is painted on the panel; this invisible area takes the knob's mouse input.
            auto* widget = new appearance::PictureWidget(parentWidget);
            widget->setGeometry(pixels(entry.box));
            pictures_[key] = widget;
            if (entry.name == "Trimbase") {
                const auto& b = entry.box;
                needles_[entry.index] = new TrimNeedle(parentWidget, QRect(b.left, b.top, b.width, b.height));
            }
        } else {
            auto* widget = new appearance::PictureWidget(parentWidget);
            widget->setGeometry(pixels(entry.box));
            if (entry.look != appearance::Look::kNone)
                widget->setPicture(picturePath_(key.first, key.second, qs(appearance::bitmapFile(entry))));
            pictures_[key] = widget;
        }
    }
    const std::pair<const char*, const char*> knobTips[] = {
        {"pitchbase", "Pitch"}, {"jogbase", "MicroSearch"}, {"Volbase", "Volume"}, {"Panbase", "Pan"},
        {"Trimbase", "Trim"}};
    for (int deck = 0; deck < 2; ++deck) {
        for (const auto& [name, tip] : knobTips) picture(name, deck)->setToolTip(QString::fromLatin1(tip));
        picture("Play", deck)->setToolTip(QStringLiteral("CUE/Memory(Enter)"));
        picture("Pause", deck)->setToolTip(QStringLiteral("Play/Pause (BackSpace)"));
        picture("Stop", deck)->setToolTip(QStringLiteral("STOP(Del)"));
    }
    for (int i = 0; i < 6; ++i) {
        static const char* const kTips[] = {"EQ Low", "EQ Mid", "EQ High"};
        static const char* const kKeys[] = {"Low Kill (E)", "Mid Kill (R)", "High Kill (T)"};
        picture("eqbase", i)->setToolTip(QString::fromLatin1(kTips[i % 3]));
        picture("eqkill", i)->setToolTip(QString::fromLatin1(kKeys[i % 3]));
    }
    for (int deck = 0; deck < 2; ++deck) picture("sync", deck)->setToolTip(QStringLiteral("Sync (Y)"));
    for (int deck = 0; deck < 2; ++deck) picture("keylock", deck)->setToolTip(QStringLiteral("Key Lock (K)"));
    picture("pfl", 0)->setToolTip(QStringLiteral("Pre-listen A (P)"));
    picture("pfl", 1)->setToolTip(QStringLiteral("Pre-listen B (P)"));
    picture("phmixbase")->setToolTip(QStringLiteral("Headphone Mix (CUE - MASTER)"));
    picture("Faderbase")->setToolTip(QStringLiteral("CrossFader"));
    picture("switch")->setToolTip(QStringLiteral("Switch(Space)"));
    picture("Lvol")->setToolTip(QStringLiteral("A< (C)"));
    picture("volR")->setToolTip(QStringLiteral(">B (M)"));
    picture("masterbase", 0)->setToolTip(QStringLiteral("MonitorVolume"));
    picture("masterbase", 1)->setToolTip(QStringLiteral("MasterVolume"));
    // The title bar's texts sit on the dark bar picture.
    for (const char* name : {"topbar", "bartime"}) {
        if (QLabel* text = label(name)) {
            QFont font(QStringLiteral("Noto Sans CJK JP"));
            font.setPixelSize(10);
            text->setFont(font);
            text->setStyleSheet(appearance::labelColourSheet(QColor(0xd0, 0xd0, 0xd4)));
            text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            text->setAttribute(Qt::WA_TransparentForMouseEvents, true);
        }
    }
    // The sound status sits on the title bar between its texts and the mode buttons, where the mini-bar
    // buttons are parked out of sight.
    soundStatus_ = new QLabel(content_);
    soundStatus_->setGeometry(pixels({kSoundStatusLeft, 75, kSoundStatusWidth, 180}));
    soundStatus_->setFixedSize(soundStatus_->size());
    {
        QFont font(QStringLiteral("Noto Sans CJK JP"));
        font.setPixelSize(10);
        soundStatus_->setFont(font);
        soundStatus_->setStyleSheet(QStringLiteral("color: #ffb040"));
        soundStatus_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    // The mini-bar buttons belong to mini mode only.
    for (const char* name : {"miniplay", "ministop", "minipre", "mininext"}) picture(name)->hide();
    // The title bar drags the frameless window.
    if (auto* bar = picture("Image1")) {
        bar->onPress = [this](Qt::MouseButton button, int x, int y) {
            if (button == Qt::LeftButton) dragOffset_ = QPoint(px(x), px(y));
        };
        bar->onMove = [this](Qt::MouseButtons buttons, int x, int y) {
            if (buttons & Qt::LeftButton) move(pos() + QPoint(px(x), px(y)) - dragOffset_);
        };
        bar->onDoubleClick = [this] {
            if (onTitleBarDoubleClick) onTitleBarDoubleClick();
        };
    }
    applyLayout(true, true, false);
}

bool MainWindow::showBitmap(const std::string& name, int index, const QString& bitmap) {
    return showBitmap(picture(name, index), name, index, bitmap);
}

bool MainWindow::showBitmap(appearance::PictureWidget* widget, const std::string& name, int index,
                            const QString& bitmap) {
    if (widget == nullptr) return false;
    const QString& shown = widget->bitmapName();
    if (shown == bitmap) return true;
    // A bitmap the skin lacks is not looked for again until the skin changes (forgetBitmaps()): the redraw
    // asks for it 33 times a second.
    if (shown.size() == bitmap.size() + 1 && shown.startsWith(u'!') && QStringView(shown).mid(1) == bitmap)
        return false;
    if (!widget->setPicture(picturePath_(name, index, bitmap))) {
        widget->setBitmapName(QLatin1Char('!') + bitmap);
        return false;
    }
    widget->setBitmapName(bitmap);
    return true;
}

void MainWindow::forgetBitmaps() {
    for (const auto& [key, widget] : pictures_) widget->setBitmapName(QString());
}

void MainWindow::showKillSwitch(int index, const QString& bitmap, bool killed) {
    showKillSwitch(picture("eqkill", index), index, bitmap, killed);
}

void MainWindow::showKillSwitch(appearance::PictureWidget* widget, int index, const QString& bitmap, bool killed) {
    static const QString kBands[] = {QStringLiteral("LOW"), QStringLiteral("MID"), QStringLiteral("HI")};
    showPaintedButton(widget, "eqkill", index, bitmap, kBands[index % 3], killed);
}

void MainWindow::showPaintedButton(const std::string& name, int index, const QString& bitmap, const QString& text,
                                   bool lit) {
    showPaintedButton(picture(name, index), name, index, bitmap, text, lit);
}

void MainWindow::showPaintedButton(appearance::PictureWidget* widget, const std::string& name, int index,
                                   const QString& bitmap, const QString& text, bool lit) {
    if (widget == nullptr) return;
    widget->setPaintedLook(text, lit);
    if (!showBitmap(widget, name, index, bitmap)) widget->clearPicture();
}

appearance::PictureWidget* MainWindow::picture(const std::string& name, int index) const {
    const auto it = pictures_.find({name, index});
    return it == pictures_.end() ? nullptr : it->second;
}

QLabel* MainWindow::label(const std::string& name, int index) const {
    const auto it = labels_.find({name, index});
    return it == labels_.end() ? nullptr : it->second;
}

TitleList* MainWindow::titleList(int deck) const { return lists_[deck]; }

TrimNeedle* MainWindow::trimNeedle(int deck) const { return needles_[deck]; }

QListWidget* MainWindow::effectList(int slot) const {
    return slot >= 0 && slot < 8 ? effectLists_[slot] : nullptr;
}

void MainWindow::showEffectList(int slot, const QStringList& entries) {
    QListWidget* list = effectList(slot);
    if (list == nullptr) return;
    list->clear();
    list->addItems(entries);
}

void MainWindow::moveTo(const std::string& name, int index, int leftTwips, int topTwips) {
    moveTo(picture(name, index), leftTwips, topTwips);
}

void MainWindow::moveTo(QWidget* widget, int leftTwips, int topTwips) {
    // Only a real move: QWidget::move marks the parent's opaque regions dirty even when the place is the same,
    // and the knobs are placed again on every tick.
    if (widget != nullptr && widget->pos() != QPoint(px(leftTwips), px(topTwips)))
        widget->move(px(leftTwips), px(topTwips));
}

void MainWindow::applyLayout(bool samplerView, bool listView, bool menuView) {
    const int playerTop = appearance::playerPanelTop(samplerView);
    panels_[0]->setVisible(samplerView);
    panels_[1]->move(0, px(playerTop));
    panels_[2]->move(0, px(playerTop + appearance::kPlayerPanelHeight));
    panels_[2]->setVisible(listView);
    // The menu bar takes its height above the panels.
    const int menuHeight = menuView ? px(appearance::kMenuBarHeight) : 0;
    menuBar_->setGeometry(0, 0, px(appearance::kWindowWidth), menuHeight);
    menuBar_->setVisible(menuView);
    const int height = px(appearance::windowHeight(samplerView, listView, menuView));
    content_->setGeometry(0, menuHeight, px(appearance::kWindowWidth), height - menuHeight);
    setFixedSize(px(appearance::kWindowWidth), height);
}

void MainWindow::applyMiniBar(int widthTwips, int heightTwips) {
    menuBar_->hide();
    content_->move(0, 0);
    setFixedSize(px(widthTwips), px(heightTwips));
}

void MainWindow::flashTitle(int deck) {
    QLabel* text = label("text2", deck);
    if (text == nullptr) return;
    // The label keeps its sheet without the flash, and how many flashes run: the last one to end puts it back.
    static const char* const kResting = "korvexRestingSheet";
    static const char* const kFlashes = "korvexFlashes";
    const int running = text->property(kFlashes).toInt();
    if (running == 0) text->setProperty(kResting, text->styleSheet());
    text->setProperty(kFlashes, running + 1);
    text->setStyleSheet(text->property(kResting).toString() +
                        QStringLiteral("; background-color: rgba(255, 255, 255, 150)"));
    QTimer::singleShot(kFlashMs, text, [text] {
        const int left = text->property(kFlashes).toInt() - 1;
        text->setProperty(kFlashes, left);
        if (left <= 0) text->setStyleSheet(text->property(kResting).toString());
    });
}

void MainWindow::applyFonts(const appearance::DisplayFonts& fonts) {
    const appearance::FontSettings& c = fonts.controls;
    auto colourSheet = [](std::uint32_t value) { return appearance::labelColourSheet(colour(value)); };
    for (int deck = 0; deck < 2; ++deck) {
        const auto d = static_cast<std::size_t>(deck);
        QFont display(c.names[d]);
        display.setPointSizeF(c.sizes[d]);
        if (QLabel* text = label("text2", deck)) {
            text->setFont(display);
            text->setStyleSheet(colourSheet(c.colours[d]));
        }
        QFont small(c.names[d]);
        small.setPointSizeF(7.5);
        for (const char* name : {"lbfilename", "modelabel", "Pitchper", "Keyfocus", "Totaltime", "Tempo"}) {
            if (QLabel* text = label(name, deck)) {
                text->setFont(small);
                const bool length = std::string_view(name) == "Totaltime";
                text->setStyleSheet(colourSheet(length ? fonts.totaltimeColours[d] : fonts.labelColours[d]));
            }
        }
        QFont listFont(c.names[3 + d]);
        listFont.setPointSizeF(c.sizes[3 + d]);
        lists_[deck]->setFont(listFont);
        lists_[deck]->setStyleSheet(QStringLiteral("QListWidget { color: %1; background: %2; }")
                                        .arg(colour(c.colours[3 + d]).name(), colour(c.listBackground).name()));
    }
    QFont slots(c.names[2]);
    slots.setPointSizeF(c.sizes[2]);
    for (int i = 0; i < 8; ++i) {
        if (QLabel* text = label("Text1", i)) {
            text->setFont(slots);
            text->setStyleSheet(colourSheet(c.colours[2]));
        }
    }
}

namespace {

// Whether two key events come from the same key on the keyboard.
bool sameKey(const QKeyEvent& a, const QKeyEvent& b) {
    if (a.nativeScanCode() != 0 && b.nativeScanCode() != 0) return a.nativeScanCode() == b.nativeScanCode();
    return a.key() == b.key();
}

}  // namespace

void MainWindow::keyPressEvent(QKeyEvent* event) {
    // X11 repeats a held key as a release and a press with the same time stamp. Qt marks the release as
    // auto-repeat only when the press is already in its queue; otherwise the release looks real and would
    // let go of the key (restarting a held slot, unmuting the decks under a silencer). Such a release
    // waits here, and a press of its key at its time shows that the key never came up.
    if (heldRelease_ && sameKey(*heldRelease_, *event) && heldRelease_->timestamp() == event->timestamp()) {
        heldRelease_.reset();
        releaseTimer_.stop();
    } else {
        deliverHeldRelease();
    }
    if (onKey) onKey(event, true);
}

void MainWindow::keyReleaseEvent(QKeyEvent* event) {
    deliverHeldRelease();
    // A release already marked as auto-repeat, or one without a time (sent by the program itself), is
    // what it says.
    if (event->isAutoRepeat() || event->timestamp() == 0) {
        if (onKey) onKey(event, false);
        return;
    }
    heldRelease_.reset(event->clone());
    releaseTimer_.start(kRepeatPairMs);
}

void MainWindow::deliverHeldRelease() {
    releaseTimer_.stop();
    if (!heldRelease_) return;
    const std::unique_ptr<QKeyEvent> release = std::move(heldRelease_);
    if (onKey) onKey(release.get(), false);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (onCloseRequest && !onCloseRequest()) event->ignore();
    else event->accept();
}

void MainWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) {
        deliverHeldRelease();
        if (onFocusLost) onFocusLost();
    }
    if (event->type() == QEvent::WindowStateChange) {
        const auto* change = static_cast<QWindowStateChangeEvent*>(event);
        if (change->oldState().testFlag(Qt::WindowMinimized) && !isMinimized() && onRestored) onRestored();
    }
    QWidget::changeEvent(event);
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shownOnce_) return;
    shownOnce_ = true;
    // After the first paint, as the window's own first look settles.
    if (onFirstShow) QTimer::singleShot(0, this, [this] { onFirstShow(); });
}

}  // namespace korvex::app
