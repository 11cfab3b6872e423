#include "app/ui/korvex_app.h"

#include <cstdio>
#include <QActionGroup>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalBlocker>
#include <QApplication>
#include <QEvent>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <chrono>
#include <cmath>
#include <optional>
#include <utility>

#include "appearance/font_settings.h"
#include "base/file_names.h"
#include "appearance/layout_table.h"
#include "appearance/ui/tooltip_style.h"
#include "platform/os/volume_mixer.h"
#include "platform/sound_buffer.h"

namespace korvex::app {

// A skin bitmap counts as loadable when it is an ordinary file Qt can decode.
class KorvexApp::ImageCheck final : public appearance::PictureCheck {
public:
    bool canLoad(const QString& path) override { return appearance::canReadPicture(path); }
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

// The installed data folder: ../share/korvex beside the program's folder when it is there (a package
// installs under /usr whatever prefix the build had), else the one the build was configured for.
QString installedDataDir() {
    const QString beside = QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/korvex"));
    if (QFileInfo(beside + QStringLiteral("/picture")).isDir()) return beside;
    return QStringLiteral(KORVEX_DATA_DIR);
}

}  // namespace

KorvexApp::KorvexApp(const std::vector<std::string>& args) {
    // The interface is Japanese whatever the system's language, and so are Qt's own dialogs and buttons.
    translator_ = std::make_unique<QTranslator>();
    if (translator_->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator_.get());
    appearance::applyTooltipPalette();
    std::vector<std::string> files;
    for (const std::string& arg : args)
        if (arg.rfind("--", 0) != 0) files.push_back(arg);
    // A second copy opens nothing, not even the sound card: it hands its music files to the running player,
    // or says that one runs, and ends.
    if (instance_.claim() == SingleInstance::Claim::kAlreadyRunning) {
        if (files.empty()) return;
        const QList<QByteArray> paths = absoluteFileArguments(files, workingFolderBytes());
        filesHandedOver_ = sendToRunningPlayer(openWithSocketPath(), paths, kHandOverWaitMs);
        handOverFailed_ = !filesHandedOver_;
        if (handOverFailed_)
            for (const QByteArray& path : paths) unsentFiles_ << pathFromBytes(path);
        return;
    }
    for (const std::string& file : files) openFiles_ << base::absoluteFileName(base::fileNameFromBytes(file));
    // The headphones' place is in Korvex's own file; the sound opens before the rest of the settings are read.
    KorvexSettings early;
    readKorvexSettings(korvexSettingsBeside(standardSettingsFilePath()), early);
    audio_ = std::make_unique<AudioSession>(args, early.headphones.toStdString());
    onAir_ = std::make_unique<broadcast::OnAir>(audio_->engine());
    onAir_->setSettings(broadcast::settingsFromKeys(early.broadcast));
    for (const std::string& arg : args)
        if (arg.rfind("--broadcast=", 0) == 0) broadcastUrl_ = arg.substr(12);
    if (!broadcastUrl_.empty()) {
        stream::StreamSettings given = onAir_->settings();
        std::string error;
        // The command line checked the address already.
        if (stream::parseBroadcastUrl(broadcastUrl_, given, error)) onAir_->setSettings(given);
        QString problem;
        if (!onAir_->start(problem))
            std::fprintf(stderr, "korvex: the broadcast cannot start: %s\n", problem.toStdString().c_str());
    }
    QObject::connect(&onAirTick_, &QTimer::timeout, &onAirTick_, [this] { tickOnAir(); });
    onAirTick_.start(500);
    library_ = std::make_unique<library::Library>();
    check_ = std::make_unique<ImageCheck>();
    pictures_ = std::make_unique<appearance::SkinPictures>(
        appearance::SkinFolders::standard(installedDataDir()));
    layout_ = std::make_unique<appearance::PanelLayout>(*pictures_, *check_);
    window_ = std::make_unique<MainWindow>([this](const std::string& name, int index, const QString& bitmap) {
        return pictures_->pictureFor(name, index, bitmap);
    });
    player_ = std::make_unique<PlayerController>(*window_, audio_->engine());
    player_->beforeTick = [this] { audio_->deliverEvents(); };
    audio_->stopPump();
    sampler_ = std::make_unique<SamplerController>(*window_, *player_, slots_);
    // The sampler's buffers are voices on the decks' engine.
    sampler_->makeDevice = [this]() -> std::unique_ptr<SoundDevice> {
        return std::make_unique<SoundEngineDevice>(audio_->engine());
    };
    makeMidi(args);
    splash_ = std::make_unique<SplashWindow>();
    mini_ = std::make_unique<control::MiniMode>(player_->transport(), player_->editor(), player_->mixer(), *layout_,
                                                   versionNumber());
    player_->settings().recsource = audio_->recordSource() == "input" ? deck::DeckSettings::RecordSource::Input
                                                                       : deck::DeckSettings::RecordSource::Mix;
    recorderCommands_ = std::make_unique<recorder::CommandInterface>([this]() -> std::unique_ptr<audio::CaptureSource> {
        if (player_->settings().recsource == deck::DeckSettings::RecordSource::Mix)
            return audio::makeMixCapture(audio_->engine());
        return audio::makeInputCapture();
    });
    setRecorderDialogs(nullptr, nullptr);
    player_->hooks().onRecordstart = [this] {
        // Only once its file is chosen: a deck may start while the save dialog is still open.
        if (recorder_ && !recorder_->model().title().isEmpty()) recorder_->recordstart();
    };
    buildMenus();
    connectChrome();
    connectMiniBar();

    settings_ = std::make_unique<SettingsFile>(
        standardSettingsFilePath(),
        SettingsTargets{player_->transport(), player_->mixer().settings(), layout_->flags, skinname_,
                        player_->newtrim(), startupFlag_, samplerenabled_, player_->dialogState().initialFolder,
                        kept_, slots_},
        player_->dialogs(),
        SettingsEffects{[this] { initsound(); },
                        [this](int slot, int mode, const QString& path) {
                            sampler_->slots().loadslot(slot, mode, path);
                        },
                        [this](const QString& path) { return startGuard_->mayOpen(path); }});
    startGuard_ = std::make_unique<StartGuard>(StartGuard::markerBeside(settings_->path()));
    korvexSettingsPath_ = korvexSettingsBeside(settings_->path());
    player_->hooks().onFlashTitle = [this](int deck) { window_->flashTitle(deck); };
    startSettled_.setSingleShot(true);
    QObject::connect(&startSettled_, &QTimer::timeout, [this] { startGuard_->finish(); });

    StartupHooks hooks;
    hooks.loadsettings = [this] {
        startGuard_->begin();
        settings_->loadsettings();
        readKorvexSettings(korvexSettingsPath_, korvexSettings_);
        player_->settings().protectLiveDeck = korvexSettings_.protectLiveDeck;
        player_->settings().fileNameTitles = korvexSettings_.fileNameTitles;
        player_->settings().autoTrim = korvexSettings_.autoTrim;
        for (int deck = 0; deck < 2; ++deck)
            player_->mixer().setKeylock(deck, korvexSettings_.keylock[static_cast<std::size_t>(deck)]);
        player_->settings().headphones = korvexSettings_.headphones;
        loadMidiMapping();
        applySettings();
    };
    hooks.skinname = [this] { return skinname_; };
    hooks.loadfonts = [this] { loadFonts(); };
    hooks.parkMiniButtons = [this] { drawChrome(); };
    hooks.startupChecked = [this] { return startupFlag_; };
    hooks.resetHeadplay = [this] {
        for (int deck = 0; deck < 2; ++deck) player_->transport().record(deck).headplay = false;
    };
    hooks.showVersion = [this](const QString& text) { splash_->setVersionText(text); };
    hooks.skinLoaded = [this] {
        // The window's icon, and the start-up window's picture with it, is the jog's picture of the skin.
        const QPixmap icon = QPixmap::fromImage(appearance::readPicture(pictures_->picture("jogbtn", 0)));
        if (icon.isNull()) return;
        window_->setWindowIcon(icon);
        splash_->setPicture(icon);
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

    // From here on a second start's files come to this player.
    openWith_ = std::make_unique<OpenWithServer>(openWithSocketPath());
    openWith_->onFiles = [this](const QStringList& handed) { openHandedFiles(handed); };
    openWith_->listen();
}

KorvexApp::~KorvexApp() {
    handOverTimer_.stop();
    // The dialogs and the window's redraw use models that go before the window does.
    delete configurationWindow_.data();
    delete skinWindow_.data();
    delete libraryWindow_.data();
    delete midiWindow_.data();
    libraryTick_.stop();
    if (player_) player_->afterRefresh = nullptr;
    delete recorder_.data();
    shutdown();
    QCoreApplication::removeTranslator(translator_.get());
}

void KorvexApp::setRecorderDialogs(songlist::FileDialogs* dialogs, base::MessageBoxes* boxes) {
    recorderFileDialogs_ = dialogs != nullptr ? dialogs : &player_->dialogs();
    recorderBoxes_ = boxes != nullptr ? boxes : &player_->dialogs();
}

void KorvexApp::openRecorder() {
    if (recorder_) {
        recorder_->raise();
        recorder_->activateWindow();
        return;
    }
    auto* window = new recorder::RecorderWindow(
        *recorderCommands_, player_->settings(), recorderDialog_, *recorderFileDialogs_, *recorderBoxes_,
        [this](const QString& file) { return pictures_->pictureFor(file); }, pictures_->recorderPictures(*check_),
        window_.get());
    window->onImgrec = [this](const QString& bitmap) { window_->showBitmap("Imgrec", -1, bitmap); };
    recorder_ = window;
    if (!window->open()) {
        delete window;
        return;
    }
    window->move(window_->pos() + QPoint(window_->width() - window->width() - 20, 40));
    window->show();
}

bool KorvexApp::start() {
    if (!startup_ || !startup_->claimInstance()) {
        // The running player has the files and shows itself: nothing to say.
        if (filesHandedOver_) return false;
        const MessageText message = handOverFailed_ ? cannotHandOverMessage(unsentFiles_) : alreadyOpenMessage();
        QMessageBox::warning(nullptr, message.title, message.text, QMessageBox::Ok);
        return false;
    }
    splash_->show();
    startup_->load();
    applySkin();
    applyLayout();
    handOverTimer_.start(Startup::kHandOverIntervalMs);
    return true;
}

void KorvexApp::handOver() {
    handOverTimer_.stop();
    handedOver_ = true;
    window_->show();
    window_->raise();
    window_->activateWindow();
    window_->setFocus(Qt::OtherFocusReason);
    splash_->close();
    startSettled_.start(kStartSettleMs);
    if (const QString setAside = startGuard_->message(); !setAside.isEmpty())
        player_->dialogs().inform(setAside, QString(), base::MessageIcon::Warning);
    // Once, before the set begins: the player runs, but nothing can be heard.
    if (!soundProblemTold_ && !audio_->startProblem().isEmpty()) {
        soundProblemTold_ = true;
        player_->dialogs().inform(audio_->startProblem(), QString(), base::MessageIcon::Warning);
    }
    if (!midiProblem_.isEmpty())
        player_->dialogs().inform(std::exchange(midiProblem_, {}), QString(), base::MessageIcon::Warning);
    midi_->start(korvexSettings_.midiPorts);
    if (!openFiles_.isEmpty()) {
        const QStringList files = std::exchange(openFiles_, {});
        player_->adder().drop(0, files, false);
        player_->refresh();
    }
    // The library opens once the window stands (a scan a crash cut short goes on in the background).
    if (!library_->database().isOpen()) library_->open(library::defaultLibraryPath());
    libraryTick_.start(1000);
}

void KorvexApp::openHandedFiles(const QStringList& files) {
    if (!handedOver_) {
        openFiles_ += files;
        return;
    }
    player_->adder().openFiles(player_->keyboard().focusdeck(), files);
    player_->refresh();
    // The player comes to the front where the files went, out of the task bar if need be.
    if (window_->isMinimized()) window_->showNormal();
    window_->show();
    window_->raise();
    window_->activateWindow();
}

broadcast::BroadcastWindow* KorvexApp::showBroadcastSettings() {
    if (broadcastWindow_ == nullptr) {
        QWidget* parent = configurationWindow_ != nullptr ? static_cast<QWidget*>(configurationWindow_.data())
                                                          : static_cast<QWidget*>(window_.get());
        broadcastWindow_ = new broadcast::BroadcastWindow(korvexSettings_.broadcast,
                                                          broadcast::PasswordKeeper::keyringAnswers(), parent);
        broadcastWindow_->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(broadcastWindow_, &QDialog::accepted, broadcastWindow_, [this] {
            // Kept at once: the server's details are typed once, not again after a run that was not saved.
            const bool wasInKeyring = broadcast::passwordInKeyring(korvexSettings_.broadcast);
            const std::string knownPassword = onAir_->settings().password;
            korvexSettings_.broadcast = broadcastWindow_->keys();
            stream::StreamSettings chosen = broadcast::settingsFromKeys(korvexSettings_.broadcast);
            if (broadcast::passwordInKeyring(korvexSettings_.broadcast)) {
                chosen.password = knownPassword;  // unchanged, and still in the keyring
            } else {
                broadcastPasswordKnown_ = true;
                // A password emptied in the dialog is forgotten by the keyring too.
                if (wasInKeyring && chosen.password.empty())
                    broadcast::PasswordKeeper::forget([](bool, const QString&) {});
            }
            onAir_->setSettings(chosen);
            if (!korvexSettingsPath_.isEmpty() && !writeKorvexSettings(korvexSettingsPath_, korvexSettings_))
                std::fprintf(stderr, "korvex: the broadcast settings could not be written to %s\n",
                             qPrintable(korvexSettingsPath_));
            moveBroadcastPasswordToKeyring(false);
            tickOnAir();
        });
    }
    broadcastWindow_->open();
    return broadcastWindow_;
}

void KorvexApp::moveBroadcastPasswordToKeyring(bool wait) {
    const QString password = korvexSettings_.broadcast.value(QStringLiteral("password"));
    if (password.isEmpty() || korvexSettingsPath_.isEmpty() || !broadcast::PasswordKeeper::keyringAnswers())
        return;
    auto moved = [this, password] {
        // A password typed again meanwhile is moved by its own save.
        if (korvexSettings_.broadcast.value(QStringLiteral("password")) != password) return;
        korvexSettings_.broadcast.remove(QStringLiteral("password"));
        korvexSettings_.broadcast[QStringLiteral("keyring")] = QStringLiteral("true");
        writeKorvexSettings(korvexSettingsPath_, korvexSettings_);
    };
    if (wait) {
        if (broadcast::PasswordKeeper::storeAndWait(password)) moved();
        return;
    }
    const std::weak_ptr<int> alive = lifetime_;
    broadcast::PasswordKeeper::store(password, [alive, moved](bool ok, const QString& why) {
        if (alive.expired()) return;
        if (ok)
            moved();
        else  // the file keeps it, owner-only
            std::fprintf(stderr, "korvex: the keyring did not take the broadcast password: %s\n", qPrintable(why));
    });
}

void KorvexApp::pressOnAir() {
    if (!onAir_->running() && broadcastUrl_.empty() && !broadcastPasswordKnown_ &&
        broadcast::passwordInKeyring(korvexSettings_.broadcast)) {
        if (readingBroadcastPassword_) return;
        readingBroadcastPassword_ = true;
        const std::weak_ptr<int> alive = lifetime_;
        broadcast::PasswordKeeper::read([this, alive](bool ok, const QString& text) {
            if (alive.expired()) return;
            readingBroadcastPassword_ = false;
            if (!ok) {
                player_->dialogs().inform(
                    QStringLiteral("配信のパスワードをキーリングから読めません。\n%1\n"
                                   "設定ダイアログの「配信の設定...」でパスワードを入力し直してください。")
                        .arg(text),
                    QString(), base::MessageIcon::Warning);
                return;
            }
            stream::StreamSettings s = onAir_->settings();
            s.password = text.toStdString();
            onAir_->setSettings(s);
            broadcastPasswordKnown_ = true;
            pressOnAir();
        });
        return;
    }
    if (const QString problem = onAir_->press(); !problem.isEmpty())
        player_->dialogs().inform(problem, QString(), base::MessageIcon::Warning);
    tickOnAir();
}

void KorvexApp::tickOnAir() {
    if (!onAir_ || !window_ || !player_) return;
    onAirBlink_ = !onAirBlink_;
    window_->showPaintedButton("Imgonair", -1, onAir_->bitmap(onAirBlink_), QStringLiteral("ON AIR"),
                               onAir_->lit(onAirBlink_));
    if (auto* key = window_->picture("Imgonair")) key->setToolTip(onAir_->toolTip());
    if (!onAir_->running()) return;
    int states[2];
    int volumes[2];
    for (int deck = 0; deck < 2; ++deck) {
        states[deck] = player_->player(deck).playState();
        volumes[deck] = player_->player(deck).volume();
    }
    const int live = broadcast::liveDeck(states, volumes);
    if (live < 0) return;  // between songs the last title stands
    const QString path = QString::fromStdString(player_->player(live).fileName());
    const std::optional<QString> tagged = player_->tagTitles().title(path);
    onAir_->setNowPlaying(tagged && !tagged->isEmpty() ? *tagged : QFileInfo(path).completeBaseName());
}

void KorvexApp::shutdown() {
    onAirTick_.stop();
    if (onAir_) onAir_->stop();
    // An orderly end, however early, is not a start that died.
    if (startGuard_) startGuard_->finish();
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
    // Ends every event loop running now, a dialog's included (main() does not start its loop after a signal
    // during the start-up's questions).
    QCoreApplication::exit(0);
}

void KorvexApp::applySkin() {
    // Each image shows the skin the loader last gave it: a skin that failed part-way leaves the images after
    // the failing bitmap on their previous skin, pressed and lit looks included (the window asks the skin
    // pictures for each child's own skin).
    for (const appearance::ImagePicture& image : pictures_->images()) {
        if (image.path.isEmpty()) continue;
        if (auto* widget = window_->picture(std::string(image.name), image.index)) widget->setPicture(image.path);
    }
    // The equaliser's slider caps are the pan slider's.
    if (auto* pan = window_->picture("panbtn", 0)) {
        for (int i = 0; i < 6; ++i)
            if (auto* cap = window_->picture("eqbtn", i)) cap->setPicture(pan->picturePath());
        if (auto* cap = window_->picture("phmixbtn", -1)) cap->setPicture(pan->picturePath());
    }
    window_->forgetBitmaps();
    // The recorder button stays lit while the recorder is open.
    if (recorder_) window_->showBitmap("Imgrec", -1, QStringLiteral("recorder2.bmp"));
    showLibraryKey();
    // The trim needles take the skin's needle colour, where it has one.
    const QImage needle = appearance::readPicture(pictures_->pictureFor(QStringLiteral("needle.bmp")));
    if (!needle.isNull()) {
        for (int deck = 0; deck < 2; ++deck)
            if (TrimNeedle* trim = window_->trimNeedle(deck)) trim->setColour(needle.pixelColor(0, 0));
    }
    // The waveform overviews: the skin's strip background (a skin without one: the strip's own dark look),
    // the peaks in the needle's colour.
    const QImage strip = appearance::readPicture(pictures_->pictureFor(QStringLiteral("wave.bmp")));
    for (int deck = 0; deck < 2; ++deck) {
        if (WaveformStrip* overview = window_->waveformStrip(deck))
            overview->setLook(strip, needle.isNull() ? QColor(255, 154, 48) : needle.pixelColor(0, 0));
    }
    player_->refresh();
}

void KorvexApp::applyLayout() {
    // The window shows what the last complete layout gave: a button bitmap the skin lacks ends the layout
    // before the panels move, so the window keeps its size and panels.
    const appearance::PanelGeometry& shown = layout_->geometry();
    if (mini_->miniflag()) window_->applyMiniBar(mini_->windowWidth(), mini_->windowHeight());
    else window_->applyLayout(shown.samplerShown, shown.listShown, shown.menuShown);
    applySkin();
    drawChrome();
}

void KorvexApp::loadSkin() {
    const mixer::Mixer& m = player_->mixer();
    pictures_->loadskin(skinname_, m.cutin() ? 3 : m.faderpattern(), *check_);
    applySkin();
}

void KorvexApp::layoutPanels() {
    layout_->layoutpanels();
    applyLayout();
}

void KorvexApp::loadFonts() {
    appearance::loadfonts(pictures_->pictureFor(QStringLiteral("font.txt")), fonts_);
    window_->applyFonts(fonts_);
}

void KorvexApp::drawChrome() {
    auto setText = [](QLabel* label, const QString& text) {
        if (label != nullptr && label->text() != text) label->setText(text);
    };
    setText(window_->label("topbar"), mini_->topbar());
    setText(window_->label("bartime"), mini_->bartime());
    if (mini_->caption() != shownCaption_) {
        shownCaption_ = mini_->caption();
        window_->setWindowTitle(shownCaption_);
    }
    drawSoundStatus();
    const int top = mini_->miniButtonsTop();
    const bool shown = top == control::kMiniButtonsShownTop;
    static constexpr const char* kMiniButtons[] = {"miniplay", "ministop", "minipre", "mininext"};
    for (std::size_t i = 0; i < miniButtons_.size(); ++i) {
        appearance::PictureWidget*& button = miniButtons_[i];
        if (button == nullptr) button = window_->picture(kMiniButtons[i]);
        if (button == nullptr) continue;
        MainWindow::moveTo(button, appearance::boxOf(kMiniButtons[i]).left, top);
        // Parked below the bar, where the panels would cover them.
        if (button->isHidden() == shown) button->setVisible(shown);
        if (shown) button->raise();
    }
}

void KorvexApp::drawSoundStatus() {
    QLabel* status = window_->soundStatus();
    if (status == nullptr) return;
    // The bar is too short for it in mini mode.
    status->setVisible(!mini_->miniflag());
    const std::uint64_t gaps = audio_->underflows();
    if (gaps == shownUnderflows_) return;
    shownUnderflows_ = gaps;
    status->setText(QStringLiteral("音切れ %1 回").arg(gaps));
    status->setToolTip(
        QStringLiteral(
            "サウンドデバイスへの音が %1 回途切れました（音切れ）。\nほかのアプリケーションを閉じるか、"
            "--audio-latency=300 のように遅延を大きくして Korvex を起動し直すと、途切れにくく"
            "なります。")
            .arg(gaps));
}

void KorvexApp::connectMiniBar() {
    if (auto* tobar = window_->picture("Tobar")) {
        tobar->onClick = [this] {
            mini_->tobarClick();
            applyLayout();
        };
    }
    // A double-click on the title bar (its texts let the clicks through to the bar picture).
    window_->onTitleBarDoubleClick = [this] {
        if (!mini_->miniflag()) return;
        mini_->formtobig();
        applyLayout();
    };
    const std::pair<const char*, void (control::MiniMode::*)()> buttons[] = {
        {"miniplay", &control::MiniMode::miniplayClick},
        {"ministop", &control::MiniMode::ministopClick},
        {"minipre", &control::MiniMode::miniprevClick},
        {"mininext", &control::MiniMode::mininextClick}};
    for (const auto& [name, click] : buttons) {
        if (auto* button = window_->picture(name)) {
            button->onClick = [this, click] {
                (mini_.get()->*click)();
                player_->refresh();
            };
        }
    }
    player_->setMinimumdisplay([this] { return mini_->minimumdisplay(); });
    player_->afterRefresh = [this] {
        drawChrome();
        // The controller's lights follow what the window now shows.
        if (midi_) midi_->updateLights();
    };
}

mixer::ConfigurationWindow* KorvexApp::showConfiguration() {
    if (!configuration_) {
        mixer::ConfigurationTargets targets{player_->settings(), player_->mixer().settings(), player_->newtrim(),
                                            samplerenabled_, layout_->flags.samplerview, layout_->flags.dsready};
        mixer::ConfigurationHooks hooks;
        hooks.layoutpanels = [this] { layoutPanels(); };
        // Switching the sampler back on makes the sound device at once when there is none yet.
        hooks.initsound = [this] { initsound(); };
        hooks.startVolumeMixer = [] { os::startVolumeMixer(); };
        // A slot button acts as a right press on the slot's label: the sampler dialog, when the slot holds a
        // sound (closing the other windows, this one included).
        hooks.openSlot = [this](int slot) { sampler_->slots().textMouseDown(slot, true); };
        hooks.headphonesChanged = [this](const QString& mode) { audio_->setPhonesMode(mode.toStdString()); };
        hooks.openMidi = [this] { showMidi(); };
        configuration_ = std::make_unique<mixer::Configuration>(targets, player_->dialogs(), std::move(hooks));
    }
    // A dialog closed a moment ago may still wait for its deletion: a new one reads the settings afresh.
    if (configurationWindow_ != nullptr && !configurationWindow_->isVisible()) delete configurationWindow_.data();
    if (configurationWindow_ == nullptr) {
        configurationWindow_ = new mixer::ConfigurationWindow(*configuration_, window_.get());
        configurationWindow_->setAttribute(Qt::WA_DeleteOnClose);
        configurationWindow_->setWindowFlag(Qt::Window);
        configurationWindow_->onBroadcast = [this] { showBroadcastSettings(); };
    }
    configurationWindow_->show();
    configurationWindow_->raise();
    configurationWindow_->activateWindow();
    return configurationWindow_;
}

void KorvexApp::makeMidi(const std::vector<std::string>& args) {
    midi::MidiApi api = midi::defaultMidiApi();
    for (const std::string& arg : args) {
        const QString option = QString::fromStdString(arg);
        if (option.startsWith(QLatin1String("--midi-api="))) {
            const QString name = option.mid(11);
            if (!midi::midiApiFromName(name, api)) {
                std::fprintf(stderr, "korvex: --midi-api takes alsa or jack, not \"%s\"; using %s\n",
                             name.toLocal8Bit().constData(), api == midi::MidiApi::kAlsa ? "alsa" : "jack");
            } else if (api == midi::MidiApi::kAlsa && midi::defaultMidiApi() != midi::MidiApi::kAlsa) {
                std::fprintf(stderr, "korvex: there is no ALSA sequencer (/dev/snd/seq): no MIDI through ALSA; "
                                     "--midi-api=jack plays from a JACK server's MIDI ports\n");
            }
        } else if (option.startsWith(QLatin1String("--midi-mapping="))) {
            midiMappingOption_ = base::absoluteFileName(option.mid(15));
        }
    }
    midi::PlayerTargets targets{player_->transport(), player_->mixer(), player_->keyboard(), player_->beatSync(),
                                [this](int slot) {
                                    const SoundBuffer* buffer = sampler_->slots().slotbuffer(slot);
                                    return buffer != nullptr && (buffer->status() & 1) != 0;
                                }};
    midi_ = std::make_unique<midi::MidiSession>(std::move(targets), api);
    // The engine hears each message at once; the window (and the lights after it) is drawn at most once a
    // frame, so a jog wheel spun hard does not redraw the player a thousand times a second.
    midiRedraw_.setSingleShot(true);
    midiRedraw_.setInterval(kMidiRedrawMs);
    QObject::connect(&midiRedraw_, &QTimer::timeout, [this] { player_->refresh(); });
    midi_->onWorked = [this] {
        if (!midiRedraw_.isActive()) midiRedraw_.start();
    };
}

void KorvexApp::loadMidiMapping() {
    const QString path = midiMappingOption_.value_or(korvexSettings_.midiMapping);
    QString message;
    if (midi_->loadMapping(path, message)) return;
    std::fprintf(stderr, "korvex: the MIDI mapping %s cannot be used; the generic mapping is used\n",
                 path.toLocal8Bit().constData());
    midiProblem_ = message;
}

midi::MidiWindow* KorvexApp::showMidi() {
    if (midiWindow_ == nullptr) {
        midiWindow_ = new midi::MidiWindow(*midi_, window_.get());
        midiWindow_->setAttribute(Qt::WA_DeleteOnClose);
        midiWindow_->setWindowFlag(Qt::Window);
        midiWindow_->mappingChosen = [this](const QString& path) {
            korvexSettings_.midiMapping = path;
            midiMappingOption_.reset();
        };
        midiWindow_->portsChosen = [this](const QStringList& ports) { korvexSettings_.midiPorts = ports; };
        midiWindow_->tell = [this](const QString& text) {
            player_->dialogs().inform(text, QString(), base::MessageIcon::Warning);
        };
    }
    midiWindow_->showState();
    midiWindow_->show();
    midiWindow_->raise();
    midiWindow_->activateWindow();
    return midiWindow_;
}

library::LibraryWindow* KorvexApp::showLibrary() {
    if (libraryWindow_ == nullptr) {
        libraryWindow_ = new library::LibraryWindow(*library_, window_.get());
        libraryWindow_->setAttribute(Qt::WA_DeleteOnClose);
        // As the open dialog adds a song: a playing deck keeps playing and the song joins its list.
        libraryWindow_->onAdd = [this](int deck, const QString& file) {
            player_->adder().openFiles(deck, {file});
            player_->refresh();
        };
        libraryWindow_->focusDeck = [this] { return player_->keyboard().focusdeck(); };
        // Closing deletes the window; the key goes dark once it is gone.
        QObject::connect(libraryWindow_.data(), &QObject::destroyed, window_.get(), [this] { showLibraryKey(false); });
    }
    libraryWindow_->show();
    libraryWindow_->raise();
    libraryWindow_->activateWindow();
    showLibraryKey();
    return libraryWindow_;
}

void KorvexApp::showLibraryKey() { showLibraryKey(libraryWindow_ != nullptr); }

void KorvexApp::showLibraryKey(bool open) {
    // A skin of the user's without the key's bitmaps gets the painted look.
    window_->showPaintedButton("Imglib", -1, open ? QStringLiteral("library2.bmp") : QStringLiteral("library1.bmp"),
                               QStringLiteral("LIBRARY"), open);
}

appearance::FontWindow* KorvexApp::showSkinDialog() {
    if (!fontEditor_) {
        appearance::FontEditorHooks hooks;
        hooks.loadskin = [this] { loadSkin(); };
        hooks.loadfonts = [this] { loadFonts(); };
        hooks.layoutpanels = [this] { layoutPanels(); };
        hooks.fontsChanged = [this] { window_->applyFonts(fonts_); };
        hooks.fontFamilies = [] { return QFontDatabase::families(); };
        fontEditor_ = std::make_unique<appearance::FontEditor>(fonts_, skinname_, pictures_->folders(),
                                                               player_->dialogs(), std::move(hooks));
    }
    if (skinWindow_ != nullptr && !skinWindow_->isVisible()) delete skinWindow_.data();
    if (skinWindow_ == nullptr) {
        skinWindow_ = new appearance::FontWindow(*fontEditor_, window_.get());
        skinWindow_->setAttribute(Qt::WA_DeleteOnClose);
        skinWindow_->setWindowFlag(Qt::Window);
    }
    skinWindow_->show();
    skinWindow_->raise();
    skinWindow_->activateWindow();
    return skinWindow_;
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
    sampler_->buildMenu(file);
    file->addSeparator();
    file->addAction(QStringLiteral("Korvexの終了"), [this] {
        closingForGood_ = true;
        window_->close();
    });

    bar->addAction(QStringLiteral("設定"), [this] { showConfiguration(); });
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

    bar->addAction(QStringLiteral("ｽｷﾝ"), [this] { showSkinDialog(); });
    bar->addAction(QStringLiteral("ﾗｲﾌﾞﾗﾘ"), [this] { showLibrary(); });
    player_->keyboard().onLibraryKey = [this] { showLibrary(); };
    // Right after L the window system may still send a key or two to the player while the library is
    // already the active window: those belong to its search box, not to the decks (an "a" would move the
    // pitch).
    window_->onKey = [this, deckKeys = window_->onKey](QKeyEvent* event, bool pressed) {
        if (pressed && libraryWindow_ != nullptr && QApplication::activeWindow() == libraryWindow_.data()) {
            libraryWindow_->typeKey(event);
            return;
        }
        if (deckKeys) deckKeys(event, pressed);
    };
    // A song played for more than 30 s counts in the library; the scan's end is picked up here too when the
    // library window is closed.
    QObject::connect(&libraryTick_, &QTimer::timeout, [this] {
        const double now =
            std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
        for (int deck = 0; deck < 2; ++deck) {
            const MediaPlayer& p = player_->player(deck);
            library_->observeDeck(deck, p.fileName(), p.playState() == audio::kPlaying,
                                  p.playState() == audio::kStopped, now);
            // A deck's song analysed since: its tempo and loudness go into the library once.
            std::string& told = analysisTold_[static_cast<std::size_t>(deck)];
            if (p.fileName().empty() || p.fileName() == told) continue;
            if (const auto found = player_->analysisWorker().find(p.fileName())) {
                told = p.fileName();
                library_->analysisKnown(told, found->hasTempo() ? std::optional(found->bpm) : std::nullopt,
                                        std::isfinite(found->loudness) ? std::optional(found->loudness)
                                                                       : std::nullopt);
            }
        }
        library_->poll();
    });

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
            mini_->minimumClick();
            drawChrome();
            window_->showMinimized();
        };
    }
    if (auto* close = window_->picture("Formend")) {
        // The close, and the leave question with it, runs once the click is over, as a close from the window
        // manager does: a modal question shown from inside the button's release (the press's pointer grab
        // still held by the window system) could end at once on X11 without showing.
        close->onClick = [this] { QTimer::singleShot(0, window_.get(), [this] { window_->close(); }); };
    }
    // Every way of closing the window but the File menu's leave item asks whether to save first.
    window_->onCloseRequest = [this] { return closingForGood_ || leave(); };
    window_->onRestored = [this] {
        if (mini_->restored()) applyLayout();
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
    if (auto* rec = window_->picture("Imgrec")) rec->onClick = [this] { openRecorder(); };
    if (auto* lib = window_->picture("Imglib")) {
        lib->setToolTip(QStringLiteral("ﾗｲﾌﾞﾗﾘ (L)"));
        lib->onClick = [this] { showLibrary(); };
    }
    if (auto* onAir = window_->picture("Imgonair")) {
        onAir->onClick = [this] { pressOnAir(); };
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
    // Korvex's own file goes with the settings file, whether or not that one could be written.
    settings_->savest();
    korvexSettings_.protectLiveDeck = player_->settings().protectLiveDeck;
    korvexSettings_.fileNameTitles = player_->settings().fileNameTitles;
    korvexSettings_.autoTrim = player_->settings().autoTrim;
    for (int deck = 0; deck < 2; ++deck)
        korvexSettings_.keylock[static_cast<std::size_t>(deck)] = player_->mixer().keylocked(deck);
    korvexSettings_.headphones = player_->settings().headphones;
    writeKorvexSettings(korvexSettingsPath_, korvexSettings_);
    moveBroadcastPasswordToKeyring(true);
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
    sampler_->refresh();
}

void KorvexApp::initsound() { sampler_->initsound(samplerenabled_, layout_->flags); }

bool KorvexApp::leave() {
    const auto answer = player_->dialogs().ask(QStringLiteral("現在の状態を保存しますか？"), QString(),
                                               base::MessageButtons::YesNoCancel, base::MessageIcon::Question);
    if (leavingBySignal_) return true;
    if (answer == base::MessageAnswer::Cancel) return false;
    if (answer == base::MessageAnswer::Yes) saveSettings();
    if (answer == base::MessageAnswer::No) {
        sampler_->unloadothers();
        sampler_->releasesound(layout_->flags);
    }
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
