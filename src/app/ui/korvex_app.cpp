#include "app/ui/korvex_app.h"

#include <QActionGroup>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalBlocker>
#include <QApplication>
#include <QEvent>
#include <QImageReader>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>

#include "appearance/font_settings.h"
#include "appearance/layout_table.h"

namespace korvex::app {

// A skin bitmap counts as loadable when Qt can decode it.
class KorvexApp::ImageCheck final : public appearance::PictureCheck {
public:
    bool canLoad(const QString& path) override { return QImageReader(path).canRead(); }
};

namespace {

// Calls `action` when the watched widget is clicked with the left button.
class ClickFilter final : public QObject {
public:
    ClickFilter(QObject* parent, std::function<void()> action) : QObject(parent), action_(std::move(action)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            action_();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> action_;
};

// "Ver." and the version, as the title bar shows it.
QString barVersion() { return QStringLiteral("Ver.") + versionNumber(); }

}  // namespace

KorvexApp::KorvexApp(const std::vector<std::string>& args) {
    // A second copy opens nothing, not even the sound card, before it says so and ends.
    if (instance_.claim() == SingleInstance::Claim::kAlreadyRunning) return;
    audio_ = std::make_unique<AudioSession>(args);
    check_ = std::make_unique<ImageCheck>();
    pictures_ = std::make_unique<appearance::SkinPictures>(
        appearance::SkinFolders::standard(QStringLiteral(KORVEX_DATA_DIR)));
    layout_ = std::make_unique<appearance::PanelLayout>(*pictures_, *check_);
    window_ = std::make_unique<MainWindow>([this](const QString& file) { return pictures_->pictureFor(file); });
    player_ = std::make_unique<PlayerController>(*window_, audio_->engine());
    splash_ = std::make_unique<SplashWindow>();
    buildMenus();
    connectChrome();

    settings_ = std::make_unique<SettingsFile>(
        standardSettingsFilePath(),
        SettingsTargets{player_->transport(), player_->mixer().settings(), layout_->flags, skinname_,
                        player_->newtrim(), startupFlag_, samplerenabled_, player_->dialogState().initialFolder,
                        kept_, slots_},
        player_->dialogs());

    StartupHooks hooks;
    hooks.loadsettings = [this] {
        settings_->loadsettings();
        applySettings();
    };
    hooks.skinname = [this] { return skinname_; };
    hooks.loadfonts = [this] {
        if (auto fonts = appearance::readFontSettings(pictures_->pictureFor(QStringLiteral("font.txt"))))
            window_->applyFonts(*fonts);
    };
    hooks.parkMiniButtons = [this] {
        for (const char* name : {"miniplay", "ministop", "minipre", "mininext"})
            if (auto* button = window_->picture(name)) button->hide();
    };
    hooks.startupChecked = [this] { return startupFlag_; };
    hooks.resetHeadplay = [this] {
        for (int deck = 0; deck < 2; ++deck) player_->transport().record(deck).headplay = false;
    };
    startup_ = std::make_unique<Startup>(instance_, *pictures_, *layout_, *check_, std::move(hooks));

    splash_->onClick = [this] {
        if (startup_->click()) handOver();
    };
    splash_->onKey = [this] {
        if (startup_->keyPress()) handOver();
    };
    QObject::connect(&handOverTimer_, &QTimer::timeout, [this] {
        if (startup_->timerTick()) handOver();
    });
}

KorvexApp::~KorvexApp() {
    handOverTimer_.stop();
    shutdown();
}

bool KorvexApp::start() {
    if (!startup_ || !startup_->claimInstance()) {
        const MessageText message = alreadyOpenMessage();
        QMessageBox::warning(nullptr, message.title, message.text, QMessageBox::Ok);
        return false;
    }
    splash_->show();
    const QPixmap icon(pictures_->pictureFor(QStringLiteral("jog.ico")));
    if (!icon.isNull()) {
        window_->setWindowIcon(icon);
        splash_->setPicture(icon);
    }
    startup_->load();
    splash_->setVersionText(startup_->versionLabel());
    applySkin();
    applyLayout();
    if (auto* topbar = window_->label("topbar")) topbar->setText(barVersion());
    handOverTimer_.start(Startup::kHandOverIntervalMs);
    return true;
}

void KorvexApp::handOver() {
    handOverTimer_.stop();
    window_->show();
    window_->raise();
    window_->activateWindow();
    window_->setFocus(Qt::OtherFocusReason);
    splash_->close();
}

void KorvexApp::shutdown() {
    while (!shutdownSteps_.empty()) {
        const std::function<void()> step = std::move(shutdownSteps_.back());
        shutdownSteps_.pop_back();
        if (step) step();
    }
    if (audio_) audio_->shutdown();
}

void KorvexApp::leaveWithoutSaving() {
    leavingBySignal_ = true;
    closingForGood_ = true;
    if (window_) window_->close();
    // Ends every event loop, a dialog's included.
    QCoreApplication::exit(0);
}

void KorvexApp::applySkin() {
    for (const appearance::ImagePicture& image : pictures_->images()) {
        if (image.path.isEmpty()) continue;
        if (auto* widget = window_->picture(std::string(image.name), image.index)) widget->setPicture(image.path);
    }
    window_->forgetBitmaps();
    player_->refresh();
}

void KorvexApp::applyLayout() {
    const appearance::ViewFlags& flags = layout_->flags;
    window_->applyLayout(flags.samplerview, flags.listview, flags.menuview);
    applySkin();
}

void KorvexApp::buildMenus() {
    QMenuBar* bar = window_->menuBar();
    QMenu* file = bar->addMenu(QStringLiteral("ﾌｧｲﾙ"));
    QMenu* open = file->addMenu(QStringLiteral("曲ﾌｧｲﾙを開く"));
    open->addAction(QStringLiteral("ﾌﾟﾚｲﾔｰＡ"), [this] {
        player_->adder().addsongs(0);
        player_->refresh();
    });
    open->addAction(QStringLiteral("ﾌﾟﾚｲﾔｰＢ"), [this] {
        player_->adder().addsongs(1);
        player_->refresh();
    });
    for (const songlist::MenuEntry& entry : songlist::songListMenu()) {
        file->addAction(entry.caption, [this, name = entry.name] {
            songlist::SongListFile& lists = player_->listFile();
            if (name == QStringLiteral("songlistload")) lists.load();
            if (name == QStringLiteral("songlist0")) lists.save();
            if (name == QStringLiteral("songclear")) lists.clear();
            player_->refresh();
        });
    }
    file->addSeparator();
    file->addAction(QStringLiteral("Korvexの終了"), [this] {
        closingForGood_ = true;
        window_->close();
    });

    bar->addAction(QStringLiteral("設定"))->setEnabled(false);
    bar->addAction(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"), [this] { showAbout(); });

    deck::DeckSettings& settings = player_->settings();
    QMenu* autoplay = bar->addMenu(QStringLiteral("再生"));
    auto checkable = [](QMenu* menu, const QString& caption, bool* flag) {
        QAction* item = menu->addAction(caption);
        item->setCheckable(true);
        if (flag != nullptr) {
            item->setChecked(*flag);
            QObject::connect(item, &QAction::toggled, [flag](bool on) { *flag = on; });
        }
        return item;
    };
    auto flagItem = [this, &checkable](QMenu* menu, const QString& caption, bool* flag) {
        QAction* item = checkable(menu, caption, flag);
        flagItems_.emplace_back(item, flag);
        return item;
    };
    flagItem(autoplay, QStringLiteral("連続再生"), &settings.autoplay2);
    flagItem(autoplay, QStringLiteral("ﾗﾝﾀﾞﾑ再生"), &settings.random);
    flagItem(autoplay, QStringLiteral("ｵｰﾄｸﾛｽﾌｪｰﾄﾞ"), &settings.autocrossfadeplay);
    startupItem_ = flagItem(autoplay, QStringLiteral("起動と同時に再生"), &startupFlag_);

    bar->addAction(QStringLiteral("ｽｷﾝ"))->setEnabled(false);

    QMenu* view = bar->addMenu(QStringLiteral("表示"));
    flagItem(view, QStringLiteral("カウントダウン"), &settings.countdown);
    QAction* onTop = checkable(view, QStringLiteral("常に手前に表示"), nullptr);
    QObject::connect(onTop, &QAction::toggled, [this](bool on) {
        window_->setWindowFlag(Qt::WindowStaysOnTopHint, on);
        window_->show();
    });
}

void KorvexApp::connectChrome() {
    // Picture buttons with a pressed and an idle look.
    auto pressLook = [this](const char* name, const QString& idle, const QString& pressed) {
        if (auto* button = window_->picture(name)) {
            button->onPress = [this, name, pressed](Qt::MouseButton b, int, int) {
                if (b == Qt::LeftButton) window_->showBitmap(name, -1, pressed);
            };
            button->onRelease = [this, name, idle](Qt::MouseButton b, int, int) {
                if (b == Qt::LeftButton) window_->showBitmap(name, -1, idle);
            };
        }
    };
    pressLook("Tobar", QStringLiteral("formbar1.bmp"), QStringLiteral("formbar2.bmp"));
    pressLook("Minimum", QStringLiteral("formsmall1.bmp"), QStringLiteral("formsmall2.bmp"));
    pressLook("Formend", QStringLiteral("formend1.bmp"), QStringLiteral("formend2.bmp"));
    if (auto* minimum = window_->picture("Minimum")) {
        minimum->onClick = [this] {
            minimizedflag_ = true;
            window_->setWindowTitle(QStringLiteral("Korvex Ver.") + versionNumber());
            window_->showMinimized();
        };
    }
    if (auto* close = window_->picture("Formend")) close->onClick = [this] { window_->close(); };
    // Every way of closing the window but the File menu's leave item asks whether to save first.
    window_->onCloseRequest = [this] { return closingForGood_ || leave(); };
    window_->onRestored = [this] {
        if (!minimizedflag_) return;
        minimizedflag_ = false;
        window_->setWindowTitle(QString());
        applyLayout();
    };
    window_->onFirstShow = [this] {
        // "起動と同時に再生": deck A starts as if its Play/Pause button were pressed.
        if (!startup_->takeStartplay()) return;
        player_->transport().playPress(0);
        player_->transport().playRelease(0);
        player_->refresh();
    };

    // The view buttons switch panels through the layout model, which also names their pictures.
    if (auto* sampler = window_->picture("Imgsam")) {
        sampler->onClick = [this] {
            layout_->imgsamClick();
            applyLayout();
        };
    }
    if (auto* list = window_->picture("Imglist")) {
        list->onClick = [this] {
            layout_->imglistClick();
            applyLayout();
        };
    }
    if (auto* menu = window_->picture("Imgmenu")) {
        menu->onClick = [this] {
            layout_->imgmenuClick();
            applyLayout();
        };
    }
    // A click on a deck's display adds songs to that deck; a click on its mode label cycles the memory mode.
    for (int deck = 0; deck < 2; ++deck) {
        if (QLabel* reset = window_->label("def", deck)) {
            reset->setAttribute(Qt::WA_TransparentForMouseEvents, false);
            reset->setCursor(Qt::PointingHandCursor);
            reset->installEventFilter(new ClickFilter(reset, [this, deck] {
                player_->mixer().pitchReset(deck);
                player_->refresh();
            }));
        }
        if (QLabel* mode = window_->label("modelabel", deck)) {
            mode->setAttribute(Qt::WA_TransparentForMouseEvents, false);
            mode->setToolTip(songlist::modeTooltip());
            mode->installEventFilter(new ClickFilter(mode, [this, deck] {
                player_->memories().cycleMode(deck);
                player_->refresh();
            }));
        }
        if (QLabel* display = window_->label("text2", deck)) {
            display->installEventFilter(new ClickFilter(display, [this, deck] {
                player_->adder().addsongs(deck);
                player_->refresh();
            }));
        }
    }
}

void KorvexApp::saveSettings() {
    kept_.windowLeft = static_cast<float>(window_->x() * appearance::kTwipsPerPixel);
    kept_.windowTop = static_cast<float>(window_->y() * appearance::kTwipsPerPixel);
    settings_->savest();
}

void KorvexApp::applySettings() {
    for (auto& [item, flag] : flagItems_) {
        const QSignalBlocker quiet(item);
        item->setChecked(*flag);
    }
    // The window goes back where it was, as long as that is on a screen.
    const QPoint place(qRound(kept_.windowLeft / appearance::kTwipsPerPixel),
                       qRound(kept_.windowTop / appearance::kTwipsPerPixel));
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen->availableGeometry().contains(place + QPoint(40, 10))) {
            window_->move(place);
            break;
        }
    }
    player_->refresh();
}

bool KorvexApp::leave() {
    const auto answer = player_->dialogs().ask(QStringLiteral("現在の状態を保存しますか？"), QString(),
                                               songlist::MessageButtons::YesNoCancel, songlist::MessageIcon::Question);
    if (leavingBySignal_) return true;
    if (answer == songlist::MessageAnswer::Cancel) return false;
    if (answer == songlist::MessageAnswer::Yes) saveSettings();
    closingForGood_ = true;
    return true;
}

void KorvexApp::showAbout() {
    QMessageBox about(window_.get());
    about.setWindowTitle(QStringLiteral("Korvex"));
    about.setIconPixmap(window_->windowIcon().pixmap(64, 64));
    about.setText(QStringLiteral("<b>Korvex</b><br>") + versionText() + QStringLiteral("<br>SkinVersion 2.１"));
    about.setStandardButtons(QMessageBox::Ok);
    about.exec();
}

}  // namespace korvex::app
