#include "app/ui/player_controller.h"

#include <algorithm>
#include <QKeyEvent>
#include <cstdio>

#include "base/file_names.h"
#include "appearance/layout_table.h"

namespace korvex::app {

namespace {
// The main timer's period.
constexpr int kTickMs = 30;
// The tick while the player has nothing to do: every action redraws through refresh(), which brings the
// tick back to speed at once, so this only bounds how stale something missed could look.
constexpr int kIdleTickMs = 500;
// While songs are loaded but nothing moves, the ticks are taken ten at a time: the same steps (the title
// marquee moves one character per ten ticks), one wake-up and one redraw instead of ten.
constexpr int kStillTickMs = 10 * kTickMs;
// How long the player stays still before its ticks are taken together: an action's after-effects (a pressed
// button's picture, a song coming in) show at the usual pace.
constexpr int kStillAfterTicks = 1000 / kTickMs;

void setText(QLabel* label, const QString& text) {
    if (label != nullptr && label->text() != text) label->setText(text);
}

// Shown in each deck's file label while the engine plays on without a sound device.
const QString kNoSoundDevice = QStringLiteral("サウンドデバイスがありません");

}  // namespace

PlayerController::PlayerController(MainWindow& window, audio::AudioEngine& engine)
    : window_(window), engine_(engine), dialogs_(&window), masterOutput_(engine) {
    for (int deck = 0; deck < 2; ++deck) {
        auto& player = players_[static_cast<std::size_t>(deck)];
        player = std::make_unique<MediaPlayer>(engine, deck);
        // A refused song is named on stderr in English for the logs; the deck's display says why in
        // Japanese (deckDisplay).
        player->onOpenError = [deck](const std::string& path, const std::string& why) {
            std::fprintf(stderr, "korvex: deck %c: %s: %s\n", deck == 0 ? 'A' : 'B', path.c_str(), why.c_str());
        };
    }
    const std::array<songlist::SongList*, 2> lists{&lists_[0], &lists_[1]};
    const std::array<DeckPlayer*, 2> players{players_[0].get(), players_[1].get()};
    transport_ = std::make_unique<deck::DeckTransport>(*players_[0], *players_[1], lists_[0], lists_[1], settings_);
    mixer_ = std::make_unique<mixer::Mixer>(*transport_, masterOutput_);
    continuous_ = std::make_unique<deck::ContinuousPlay>(*transport_);
    timer_ = std::make_unique<deck::MainTimer>(*transport_);
    adder_ = std::make_unique<songlist::SongAdder>(lists, players, dialog_, dialogs_, *this, newtrim_);
    listFile_ = std::make_unique<songlist::SongListFile>(lists, dialog_, dialogs_, dialogs_);
    editor_ = std::make_unique<control::ListEditor>(*transport_);
    memories_ = std::make_unique<songlist::SongMemories>(lists, players);
    hooks_ = std::make_unique<PlayerHooks>(*mixer_, *continuous_, memories_.get());
    transport_->setHooks(*hooks_);
    keyboard_ = std::make_unique<control::Keyboard>(*transport_, *mixer_, *editor_, *memories_);
    analysisWorker_ = std::make_unique<analysis::AnalysisWorker>();
    beatSync_ = std::make_unique<mixer::BeatSync>(*mixer_, *transport_, *analysisWorker_);
    keyboard_->setBeatSync(*beatSync_);
    beatLoop_ = std::make_unique<mixer::BeatLoop>(*transport_, *beatSync_);
    keyboard_->setBeatLoop(*beatLoop_);
    // Continuous play steps through the lists as the Next button does.
    continuous_->setNextsong([this](int deck) { editor_->Nextsong(deck, false); });
    findChildren();
    for (int deck = 0; deck < 2; ++deck) connectDeck(deck);
    connectMixer();
    connectKeyboard();
    mixer_->start();
    connectListButton("ImgtoB", -1, control::ListButton::ToB, 0, [this] { editor_->toOtherDeckClick(0); });
    connectListButton("ImgtoA", -1, control::ListButton::ToA, 1, [this] { editor_->toOtherDeckClick(1); });
    for (int deck = 0; deck < 2; ++deck) {
        if (WaveformStrip* strip = window_.waveformStrip(deck)) {
            strip->onSeek = [this, deck](double seconds) {
                mixer_->overviewSeek(deck, seconds);
                refresh();
            };
        }
    }
    QObject::connect(&tick_, &QTimer::timeout, [this] { onTick(); });
    tick_.start(kTickMs);
    refresh();
}

void PlayerController::onTick() {
    if (beforeTick) beforeTick();
    const int steps = tick_.interval() == kStillTickMs ? kStillTickMs / kTickMs : 1;
    for (int step = 0; step < steps; ++step) {
        timer_->tick();
        beatSync_->tick();
        beatLoop_->tick();
        if (!still()) {
            // Something started moving (continuous play starting the other deck): its steps run one by one.
            stillTicks_ = 0;
            break;
        }
        ++stillTicks_;
    }
    applyAutoTrim();
    redraw();
}

PlayerController::~PlayerController() {
    tick_.stop();
    // The sync model reads the worker; the worker's thread ends before the players go.
    beatLoop_.reset();
    beatSync_.reset();
    analysisWorker_.reset();
}

void PlayerController::connectDeck(int deck) {
    auto& transport = *transport_;
    // A transport button: the model handles the left button's press and release; the window redraws.
    auto button = [this, deck](const char* name, void (deck::DeckTransport::*press)(int),
                               void (deck::DeckTransport::*release)(int)) {
        auto* picture = window_.picture(name, deck);
        if (picture == nullptr) return picture;
        picture->onPress = [this, deck, press](Qt::MouseButton b, int, int) {
            if (b != Qt::LeftButton) return;
            (transport_.get()->*press)(deck);
            refresh();
        };
        picture->onRelease = [this, deck, release](Qt::MouseButton b, int, int) {
            if (b != Qt::LeftButton) return;
            (transport_.get()->*release)(deck);
            refresh();
        };
        return picture;
    };
    button("Pause", &deck::DeckTransport::playPress, &deck::DeckTransport::playRelease);
    button("Play", &deck::DeckTransport::cuePress, &deck::DeckTransport::cueRelease);
    if (auto* stop = button("Stop", &deck::DeckTransport::stopPress, &deck::DeckTransport::stopRelease)) {
        stop->onClick = [this, deck, &transport] {
            transport.stopdeck(deck);
            refresh();
        };
    }
    using control::ListButton;
    connectListButton("Imgadd", deck, ListButton::Add, deck, [this, deck] { adder_->addsongs(deck); });
    connectListButton("Imgdell", deck, ListButton::Delete, deck, [this, deck] { editor_->deleteClick(deck); });
    connectListButton("Imgup", deck, ListButton::Up, deck, [this, deck] { editor_->upClick(deck); });
    connectListButton("Imgdwn", deck, ListButton::Down, deck, [this, deck] { editor_->downClick(deck); });
    connectListButton("SongNext", deck, ListButton::Next, deck, [this, deck] { editor_->nextClick(deck); });
    connectListButton("SongPre", deck, ListButton::Previous, deck, [this, deck] { editor_->previousClick(deck); });

    TitleList* titles = window_.titleList(deck);
    titles->onPress = [this, deck, titles](Qt::MouseButton mouse) {
        lists_[static_cast<std::size_t>(deck)].setSelected(songlist::kTitle, titles->currentRow());
        editor_->titlePress(deck, mouse, dialogs_);
        refresh();
    };
    titles->onDoubleClick = [this, deck, &transport] {
        if (!transport.keepsLiveDeck(deck)) transport.loadsong(deck);
        refresh();
    };
    titles->onDrop = [this, deck](const QStringList& paths, bool shift) {
        adder_->drop(deck, paths, shift);
        refresh();
    };
}

void PlayerController::connectListButton(const char* name, int index, control::ListButton button, int deck,
                                         std::function<void()> click) {
    auto* picture = window_.picture(name, index);
    if (picture == nullptr) return;
    picture->onPress = [this, button, deck](Qt::MouseButton mouse, int, int) {
        if (mouse != Qt::LeftButton) return;
        editor_->press(button, deck);
        refresh();
    };
    picture->onRelease = [this, button, deck](Qt::MouseButton mouse, int, int) {
        if (mouse != Qt::LeftButton) return;
        editor_->release(button, deck);
        refresh();
    };
    picture->onClick = [this, click = std::move(click)] {
        click();
        refresh();
    };
}

void PlayerController::refreshList(int deck) {
    const auto d = static_cast<std::size_t>(deck);
    const auto& list = lists_[d];
    TitleList* titles = window_.titleList(deck);
    // Redrawn only when the entries, the titles read from tags or the choice between tags and file names
    // changed: a list may hold 32767 titles and this runs every tick.
    const bool fromTags = !settings_.fileNameTitles;
    const std::uint64_t tagRevision = fromTags ? tagTitles_.revision() : 0;
    const ShownTitles shown{list.revision(), tagRevision, fromTags};
    if (shown != shownTitles_[d]) {
        const bool rebuild = list.revision() != shownTitles_[d].list || titles->count() != list.count();
        shownTitles_[d] = shown;
        QStringList texts;
        texts.reserve(list.count());
        for (int i = 0; i < list.count(); ++i) {
            // The list keeps the file name (that is what it saves); the tags' title only shows.
            const std::optional<QString> tagged =
                fromTags ? tagTitles_.title(list.field(songlist::kPath, i)) : std::nullopt;
            texts << (tagged ? *tagged : list.field(songlist::kTitle, i));
        }
        if (rebuild) {
            titles->clear();
            titles->addItems(texts);
        } else {
            // Titles that came in from the tags: the rows stay, and so does the scroll position.
            for (int i = 0; i < list.count(); ++i)
                if (QListWidgetItem* item = titles->item(i); item->text() != texts[i]) item->setText(texts[i]);
        }
    }
    // The highlight always shows the list's row: a press below the last title, for one, clears the widget's
    // highlight by itself, and an edit must never act on a row the operator cannot see.
    const int selected = list.selected(songlist::kTitle);
    if (titles->currentRow() != selected || titles->highlightedRow() != selected)
        titles->setCurrentRow(selected);
}

void PlayerController::refresh() {
    stillTicks_ = 0;
    redraw();
}

namespace {
// The list buttons in the order the redraw shows them.
constexpr std::pair<const char*, control::ListButton> kListButtons[] = {
    {"Imgadd", control::ListButton::Add},  {"Imgdell", control::ListButton::Delete},
    {"Imgup", control::ListButton::Up},    {"Imgdwn", control::ListButton::Down},
    {"SongNext", control::ListButton::Next}, {"SongPre", control::ListButton::Previous}};
}  // namespace

void PlayerController::findChildren() {
    for (int deck = 0; deck < 2; ++deck) {
        DeckChildren& c = decks_[static_cast<std::size_t>(deck)];
        c.text2 = window_.label("text2", deck);
        c.lbfilename = window_.label("lbfilename", deck);
        c.totaltime = window_.label("Totaltime", deck);
        c.modelabel = window_.label("modelabel", deck);
        c.keyfocus = window_.label("Keyfocus", deck);
        c.pitchper = window_.label("Pitchper", deck);
        c.tempo = window_.label("Tempo", deck);
        c.pause = window_.picture("Pause", deck);
        c.cue = window_.picture("Play", deck);
        c.stop = window_.picture("Stop", deck);
        for (std::size_t i = 0; i < c.listButtons.size(); ++i)
            c.listButtons[i] = window_.picture(kListButtons[i].first, deck);
        c.pitchbtn = window_.picture("pitchbtn", deck);
        c.jogbtn = window_.picture("jogbtn", deck);
        c.volbtn = window_.picture("Volbtn", deck);
        c.panbtn = window_.picture("panbtn", deck);
        c.masterbtn = window_.picture("masterbtn", deck);
        for (int band = 0; band < mixer::kEqBands; ++band) {
            c.eqbtn[static_cast<std::size_t>(band)] = window_.picture("eqbtn", deck * mixer::kEqBands + band);
            c.eqkill[static_cast<std::size_t>(band)] = window_.picture("eqkill", deck * mixer::kEqBands + band);
        }
        c.keylock = window_.picture("keylock", deck);
        c.searchL = window_.picture("searchL", deck);
        c.searchR = window_.picture("searchR", deck);
        c.sync = window_.picture("sync", deck);
        c.pfl = window_.picture("pfl", deck);
    }
    toB_ = window_.picture("ImgtoB");
    toA_ = window_.picture("ImgtoA");
    phmixbtn_ = window_.picture("phmixbtn");
    faderbtn_ = window_.picture("Faderbtn");
    for (int i = 0; i < 4; ++i) patterns_[static_cast<std::size_t>(i)] = window_.picture("FDpaturn", i);
    switch_ = window_.picture("switch");
    center_ = window_.picture("center");
    lvol_ = window_.picture("Lvol");
    volR_ = window_.picture("volR");
}

void PlayerController::redraw() {
    for (int deck = 0; deck < 2; ++deck) {
        const DeckChildren& c = decks_[static_cast<std::size_t>(deck)];
        const deck::DeckView& view = transport_->view(deck);
        setText(c.text2, deckDisplay(deck, view.text2));
        if (c.text2 != nullptr) {
            const QString tip = refusalTip(deck);
            if (c.text2->toolTip() != tip) c.text2->setToolTip(tip);
        }
        const QString& syncSays = beatSync_->message(deck);
        setText(c.lbfilename, fileLabel(syncSays.isEmpty() ? view.lbfilename : syncSays));
        setText(c.totaltime, view.totaltime);
        window_.showBitmap(c.pause, "Pause", deck, view.playPicture);
        window_.showBitmap(c.cue, "Play", deck, view.cuePicture);
        window_.showBitmap(c.stop, "Stop", deck, view.stopPicture);
        const auto play = appearance::boxOf("Pause", deck);
        MainWindow::moveTo(c.pause, play.left, play.top + view.playOffset);
        const auto cue = appearance::boxOf("Play", deck);
        MainWindow::moveTo(c.cue, cue.left, cue.top + view.cueOffset);
        setText(c.modelabel, memories_->modeCaption(deck));
        if (c.keyfocus != nullptr) {
            const bool focus = keyboard_->keyfocusVisible(deck);
            if (c.keyfocus->isHidden() == focus) c.keyfocus->setVisible(focus);
        }
        for (std::size_t i = 0; i < c.listButtons.size(); ++i)
            window_.showBitmap(c.listButtons[i], kListButtons[i].first, deck,
                               editor_->picture(kListButtons[i].second, deck));
        refreshList(deck);
        refreshStrip(deck);
    }
    window_.showBitmap(toB_, "ImgtoB", -1, editor_->picture(control::ListButton::ToB, 0));
    window_.showBitmap(toA_, "ImgtoA", -1, editor_->picture(control::ListButton::ToA, 1));
    refreshMixer();
    if (afterRefresh) afterRefresh();
    paceTick();
}

void PlayerController::applyAutoTrim() {
    if (!settings_.autoTrim) return;
    // Every tick, since a load draws the needle from the song's memory again; it only moves when it is not
    // where the song's loudness puts it.
    for (int deck = 0; deck < 2; ++deck) {
        const auto& analysis = beatSync_->analysis(deck);
        if (analysis && !players_[static_cast<std::size_t>(deck)]->fileName().empty())
            mixer_->autoTrim(deck, analysis->loudness, newtrim_);
    }
}

void PlayerController::refreshStrip(int deck) {
    WaveformStrip* strip = window_.waveformStrip(deck);
    if (strip == nullptr) return;
    const MediaPlayer& player = *players_[static_cast<std::size_t>(deck)];
    if (player.fileName().empty()) {
        strip->setAnalysis(nullptr);
        strip->setMarks({});
        return;
    }
    strip->setAnalysis(beatSync_->analysis(deck));
    StripMarks marks;
    marks.duration = player.duration();
    const QString cue = lists_[static_cast<std::size_t>(deck)].currentField(songlist::kCue);
    if (cue != QStringLiteral("-1")) marks.cue = songlist::memoryValue(cue);
    marks.start = player.selectionStart();
    marks.end = player.selectionEnd();
    if (beatLoop_->beats(deck) > 0) {
        marks.loopStart = beatLoop_->start(deck);
        marks.loopEnd = beatLoop_->end(deck);
    }
    strip->setMarks(marks);
    strip->setPlayhead(player.currentPosition());
}

bool PlayerController::idle() const {
    if (mixer_->slideflag()) return false;
    return std::all_of(players_.begin(), players_.end(),
                       [](const auto& player) { return player->fileName().empty(); });
}

bool PlayerController::still() const {
    if (mixer_->moving() || settings_.pitchwait > 0) return false;
    for (int deck = 0; deck < 2; ++deck) {
        const deck::DeckRecord& record = transport_->record(deck);
        if (record.headplay || record.searchback || record.searchfwd) return false;
        if (players_[static_cast<std::size_t>(deck)]->playState() == deck::kPlaying) return false;
    }
    // Something sounding (a pad, a fading tail) moves the meters; a recording or a broadcast counts its time.
    return engine_.mayRest(0.1);
}

void PlayerController::paceTick() {
    int interval = kTickMs;
    if (idle()) interval = kIdleTickMs;
    else if (stillTicks_ >= kStillAfterTicks && still()) interval = kStillTickMs;
    if (!tick_.isActive() || tick_.interval() == interval) return;
    tick_.start(interval);
}

QString PlayerController::deckDisplay(int deck, const QString& text2) const {
    const MediaPlayer& player = *players_[static_cast<std::size_t>(deck)];
    if (player.fileName().empty()) return text2;
    if (const decode::Refusal why = player.refusal())
        return QString::fromStdString(decode::japaneseText(why));
    return text2;
}

QString PlayerController::refusalTip(int deck) const {
    const MediaPlayer& player = *players_[static_cast<std::size_t>(deck)];
    if (player.fileName().empty() || !player.hasError()) return {};
    return QStringLiteral("ファイルが読み込めません。\n") +
           base::readableFileName(base::fileNameFromBytes(player.fileName())) +
           u'\n' + QString::fromStdString(player.problemForUser());
}

QString PlayerController::fileLabel(const QString& lbfilename) const {
    return engine_.outputLost() ? kNoSoundDevice : lbfilename;
}

void PlayerController::songAdded(int deck, const QString& title) {
    deck::DeckView& view = transport_->view(deck);
    view.lbfilename.clear();
    view.text2 = title;
    view.totaltime = transport_->loadedLength(deck);
    // The new song plays at its own trim and at normal speed, not on the previous song's pause loop.
    transport_->endHold(deck);
    mixer_->trimlinedraw(deck);
    mixer_->volcontrol();
    mixer_->pitchReset(deck);
    transport_->record(deck).freshload = true;
    view.cuePicture = QStringLiteral("cue1.bmp");
    transport_->touch();
}

void PlayerController::dropLoaded(int deck, const QString& title) {
    deck::DeckView& view = transport_->view(deck);
    view.lbfilename.clear();
    view.text2 = title;
    view.totaltime = transport_->loadedLength(deck);
    // As for a song added by the dialog: the dropped song's own tempo and trim, and no pause loop.
    transport_->endHold(deck);
    const songlist::SongList& songs = list(deck);
    mixer_->trimlinedraw(deck);
    mixer_->volcontrol();
    mixer_->pitchsetForTempo(deck,
                             songlist::memoryNumber(songs.currentField(songlist::kTempo)).value_or(100.0));
    transport_->touch();
}

bool PlayerController::keepsLiveDeck(int deck) {
    return transport_->keepsLiveDeck(deck);
}

void PlayerController::showMessage(const QString& text) {
    dialogs_.inform(text, QString(), base::MessageIcon::None);
}


void PlayerController::connectKnob(const char* base, const char* indicator, int index, mixer::Knob& knob) {
    auto wire = [this, &knob](appearance::PictureWidget* widget, mixer::KnobPart part) {
        if (widget == nullptr) return;
        widget->onPress = [this, &knob, part](Qt::MouseButton button, int x, int y) {
            knob.press(part, static_cast<int>(button), static_cast<float>(x), static_cast<float>(y));
            refreshMixer();
        };
        widget->onMove = [this, &knob, part](Qt::MouseButtons buttons, int x, int y) {
            knob.move(part, static_cast<int>(buttons), static_cast<float>(x), static_cast<float>(y));
            refreshMixer();
        };
        widget->onRelease = [this, &knob, part](Qt::MouseButton button, int x, int y) {
            knob.release(part, static_cast<int>(button), static_cast<float>(x), static_cast<float>(y));
            refreshMixer();
        };
    };
    wire(window_.picture(base, index), mixer::KnobPart::kBase);
    if (indicator != nullptr) wire(window_.picture(indicator, index), mixer::KnobPart::kIndicator);
}

void PlayerController::connectButton(const char* name, int index, std::function<void()> press,
                                     std::function<void()> release, std::function<void()> click) {
    auto* picture = window_.picture(name, index);
    if (picture == nullptr) return;
    picture->onPress = [this, press = std::move(press)](Qt::MouseButton b, int, int) {
        if (b != Qt::LeftButton) return;
        if (press) press();
        refresh();
    };
    picture->onRelease = [this, release = std::move(release)](Qt::MouseButton b, int, int) {
        if (b != Qt::LeftButton) return;
        if (release) release();
        refresh();
    };
    if (click) {
        picture->onClick = [this, click = std::move(click)] {
            click();
            refresh();
        };
    }
}

void PlayerController::connectMixer() {
    mixer::Mixer& m = *mixer_;
    for (int deck = 0; deck < 2; ++deck) {
        connectKnob("pitchbase", "pitchbtn", deck, m.pitchKnob(deck));
        connectKnob("jogbase", "jogbtn", deck, m.jogKnob(deck));
        connectKnob("Volbase", "Volbtn", deck, m.volumeKnob(deck));
        connectKnob("Panbase", "panbtn", deck, m.panKnob(deck));
        connectKnob("Trimbase", nullptr, deck, m.trimKnob(deck));
        connectKnob("masterbase", "masterbtn", deck, m.masterKnob(deck));
        connectButton("searchL", deck, [&m, deck] { m.searchLPress(deck); }, [&m, deck] { m.searchLRelease(deck); },
                      nullptr);
        for (int band = 0; band < mixer::kEqBands; ++band) {
            const int i = deck * mixer::kEqBands + band;
            connectKnob("eqbase", "eqbtn", i, m.equalizer().knob(deck, band));
            connectButton("eqkill", i, nullptr, nullptr,
                          [&m, deck, band] { m.equalizer().toggleKill(deck, band); });
        }
        connectButton("keylock", deck, nullptr, nullptr, [&m, deck] { m.toggleKeylock(deck); });
        connectButton("searchR", deck, [&m, deck] { m.searchRPress(deck); }, [&m, deck] { m.searchRRelease(deck); },
                      nullptr);
        connectButton("sync", deck, nullptr, nullptr, [this, deck] { beatSync_->sync(deck); });
        connectButton("pfl", deck, nullptr, nullptr, [&m, deck] { m.headphones().togglePrelisten(deck); });
    }
    connectKnob("phmixbase", "phmixbtn", -1, m.headphones().mixKnob());
    connectKnob("Faderbase", "Faderbtn", -1, m.faderKnob());
    for (int i = 0; i < 4; ++i) connectButton("FDpaturn", i, nullptr, nullptr, [&m, i] { m.FDpaturn(i); });
    connectButton("center", -1, [&m] { m.centerPress(); }, [&m] { m.centerRelease(); }, [&m] { m.centerClick(); });
    connectButton("Lvol", -1, [&m] { m.lvolPress(); }, [&m] { m.lvolRelease(); }, nullptr);
    connectButton("volR", -1, [&m] { m.volRPress(); }, [&m] { m.volRRelease(); }, nullptr);
    connectButton("switch", -1, [&m] { m.switchPress(); }, [&m] { m.switchRelease(); }, nullptr);
}

void PlayerController::connectKeyboard() {
    window_.onKey = [this](QKeyEvent* event, bool pressed) {
        const int code = control::virtualKey(event->key(), event->modifiers().testFlag(Qt::KeypadModifier),
                                              event->nativeScanCode());
        if (pressed) keyboard_->keyDown(code, event->nativeScanCode());
        else keyboard_->keyUp(code, event->isAutoRepeat(), event->nativeScanCode());
        event->accept();
        refresh();
    };
    window_.onFocusLost = [this] {
        keyboard_->focusLost();
        refresh();
    };
    for (int deck = 0; deck < 2; ++deck)
        if (QLabel* focus = window_.label("Keyfocus", deck)) focus->setText(QStringLiteral("◆ KEY"));
}

void PlayerController::refreshMixer() {
    mixer::Mixer& m = *mixer_;
    auto place = [](appearance::PictureWidget* widget, const mixer::Knob& knob) {
        MainWindow::moveTo(widget, qRound(knob.left()), qRound(knob.top()));
    };
    const mixer::MixerView& view = m.view();
    for (int deck = 0; deck < 2; ++deck) {
        const auto d = static_cast<std::size_t>(deck);
        const DeckChildren& c = decks_[d];
        place(c.pitchbtn, m.pitchKnob(deck));
        place(c.jogbtn, m.jogKnob(deck));
        place(c.volbtn, m.volumeKnob(deck));
        place(c.panbtn, m.panKnob(deck));
        place(c.masterbtn, m.masterKnob(deck));
        if (TrimNeedle* needle = window_.trimNeedle(deck))
            needle->setEnd(m.trimKnob(deck).lineX2(), m.trimKnob(deck).lineY2());
        setText(c.pitchper, view.pitchper[d]);
        for (int band = 0; band < mixer::kEqBands; ++band) {
            const auto b = static_cast<std::size_t>(band);
            const int i = deck * mixer::kEqBands + band;
            place(c.eqbtn[b], m.equalizer().knob(deck, band));
            window_.showKillSwitch(c.eqkill[b], i, m.equalizer().killPicture(deck, band),
                                   m.equalizer().killed(deck, band));
        }
        window_.showPaintedButton(c.keylock, "keylock", deck, m.keylockPicture(deck), QStringLiteral("KEY"),
                                  m.keylocked(deck));
        window_.showBitmap(c.searchL, "searchL", deck, view.searchLPicture[d]);
        window_.showBitmap(c.searchR, "searchR", deck, view.searchRPicture[d]);
        const bool synced = beatSync_->lit(deck);
        window_.showPaintedButton(c.sync, "sync", deck,
                                  synced ? QStringLiteral("sync2.bmp") : QStringLiteral("sync1.bmp"),
                                  QStringLiteral("SYNC"), synced);
        setText(c.tempo, beatSync_->tempoText(deck));
        window_.showPaintedButton(c.pfl, "pfl", deck, m.headphones().prelistenPicture(deck), QStringLiteral("PFL"),
                                  m.headphones().prelisten(deck));
    }
    place(phmixbtn_, m.headphones().mixKnob());
    place(faderbtn_, m.faderKnob());
    for (std::size_t i = 0; i < patterns_.size(); ++i)
        window_.showBitmap(patterns_[i], "FDpaturn", static_cast<int>(i), view.patternPicture[i]);
    window_.showBitmap(switch_, "switch", -1, view.switchPicture);
    window_.showBitmap(center_, "center", -1, view.centerPicture);
    window_.showBitmap(lvol_, "Lvol", -1, view.lvolPicture);
    window_.showBitmap(volR_, "volR", -1, view.volRPicture);
}

}  // namespace korvex::app
