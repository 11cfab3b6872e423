#include "app/ui/player_controller.h"

#include <QFileDialog>
#include <QMessageBox>

#include "appearance/layout_table.h"

namespace korvex::app {

namespace {
// The main timer's period.
constexpr int kTickMs = 30;

void setText(QLabel* label, const QString& text) {
    if (label != nullptr && label->text() != text) label->setText(text);
}

// "(*.mp3;*.wav;)|*.mp3;*.wav;" to the dialog's "(*.mp3;*.wav;) (*.mp3 *.wav)".
QString qtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    if (parts.size() < 2) return filter;
    QStringList patterns = parts[1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
    return parts[0] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}
}  // namespace

PlayerController::PlayerController(MainWindow& window, audio::AudioEngine& engine) : window_(window) {
    for (int deck = 0; deck < 2; ++deck)
        players_[static_cast<std::size_t>(deck)] = std::make_unique<MediaPlayer>(engine, deck);
    transport_ = std::make_unique<deck::DeckTransport>(*players_[0], *players_[1], lists_[0], lists_[1], settings_);
    timer_ = std::make_unique<deck::MainTimer>(*transport_);
    adder_ = std::make_unique<songlist::SongAdder>(
        std::array<songlist::SongList*, 2>{&lists_[0], &lists_[1]},
        std::array<DeckPlayer*, 2>{players_[0].get(), players_[1].get()}, dialog_, *this, *this, newtrim_);
    for (int deck = 0; deck < 2; ++deck) connectDeck(deck);
    QObject::connect(&tick_, &QTimer::timeout, [this] {
        timer_->tick();
        refresh();
    });
    tick_.start(kTickMs);
    refresh();
}

PlayerController::~PlayerController() { tick_.stop(); }

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
    if (auto* add = window_.picture("Imgadd", deck)) {
        add->onPress = [this, deck](Qt::MouseButton, int, int) { window_.showBitmap("Imgadd", deck, "add2.bmp"); };
        add->onRelease = [this, deck](Qt::MouseButton, int, int) { window_.showBitmap("Imgadd", deck, "add1.bmp"); };
        add->onClick = [this, deck] {
            adder_->addsongs(deck);
            refresh();
        };
    }
    TitleList* titles = window_.titleList(deck);
    titles->onPress = [this, deck, titles](Qt::MouseButton) {
        auto& list = lists_[static_cast<std::size_t>(deck)];
        list.setSelected(songlist::kTitle, titles->currentRow());
        list.synchroniseFromTitles();
    };
    titles->onDoubleClick = [this, deck, &transport] {
        transport.loadsong(deck);
        refresh();
    };
    titles->onDrop = [this, deck](const QStringList& paths, bool shift) {
        adder_->drop(deck, paths, shift);
        refresh();
    };
}

void PlayerController::refreshList(int deck) {
    const auto& list = lists_[static_cast<std::size_t>(deck)];
    TitleList* titles = window_.titleList(deck);
    bool same = titles->count() == list.count();
    for (int i = 0; same && i < list.count(); ++i) same = titles->item(i)->text() == list.field(songlist::kTitle, i);
    if (!same) {
        titles->clear();
        for (int i = 0; i < list.count(); ++i) titles->addItem(list.field(songlist::kTitle, i));
    }
    const int selected = list.selected(songlist::kTitle);
    if (titles->currentRow() != selected) titles->setCurrentRow(selected);
}

void PlayerController::refresh() {
    for (int deck = 0; deck < 2; ++deck) {
        const deck::DeckView& view = transport_->view(deck);
        setText(window_.label("text2", deck), view.text2);
        setText(window_.label("lbfilename", deck), view.lbfilename);
        setText(window_.label("Totaltime", deck), view.totaltime);
        window_.showBitmap("Pause", deck, view.playPicture);
        window_.showBitmap("Play", deck, view.cuePicture);
        window_.showBitmap("Stop", deck, view.stopPicture);
        const auto play = appearance::boxOf("Pause", deck);
        window_.moveTo("Pause", deck, play.left, play.top + view.playOffset);
        const auto cue = appearance::boxOf("Play", deck);
        window_.moveTo("Play", deck, cue.left, cue.top + view.cueOffset);
        refreshList(deck);
    }
}

bool PlayerController::showOpen(songlist::DialogState& state) {
    const QString chosen = QFileDialog::getOpenFileName(&window_, state.title, state.initialFolder + state.fileName,
                                                        qtFilter(state.filter));
    if (chosen.isEmpty()) return false;
    state.fileName = chosen;
    return true;
}

bool PlayerController::showSave(songlist::DialogState& state) {
    const QString chosen = QFileDialog::getSaveFileName(&window_, state.title, state.initialFolder + state.fileName,
                                                        qtFilter(state.filter));
    if (chosen.isEmpty()) return false;
    state.fileName = chosen;
    return true;
}

void PlayerController::songAdded(int deck, const QString& title) {
    deck::DeckView& view = transport_->view(deck);
    view.lbfilename.clear();
    view.text2 = title;
    view.totaltime.clear();
    transport_->record(deck).freshload = true;
    view.cuePicture = QStringLiteral("cue1.bmp");
    transport_->touch();
}

void PlayerController::dropLoaded(int deck, const QString& title) {
    deck::DeckView& view = transport_->view(deck);
    view.lbfilename.clear();
    view.text2 = title;
    transport_->touch();
}

void PlayerController::showMessage(const QString& text) {
    QMessageBox::information(&window_, QString(), text, QMessageBox::Ok);
}

}  // namespace korvex::app
