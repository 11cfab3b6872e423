#include "app/ui/player_controller.h"


#include "appearance/layout_table.h"

namespace korvex::app {

namespace {
// The main timer's period.
constexpr int kTickMs = 30;

void setText(QLabel* label, const QString& text) {
    if (label != nullptr && label->text() != text) label->setText(text);
}

}  // namespace

PlayerController::PlayerController(MainWindow& window, audio::AudioEngine& engine)
    : window_(window), dialogs_(&window) {
    for (int deck = 0; deck < 2; ++deck)
        players_[static_cast<std::size_t>(deck)] = std::make_unique<MediaPlayer>(engine, deck);
    const std::array<songlist::SongList*, 2> lists{&lists_[0], &lists_[1]};
    const std::array<DeckPlayer*, 2> players{players_[0].get(), players_[1].get()};
    transport_ = std::make_unique<deck::DeckTransport>(*players_[0], *players_[1], lists_[0], lists_[1], settings_);
    transport_->setHooks(*this);
    timer_ = std::make_unique<deck::MainTimer>(*transport_);
    adder_ = std::make_unique<songlist::SongAdder>(lists, players, dialog_, dialogs_, *this, newtrim_);
    listFile_ = std::make_unique<songlist::SongListFile>(lists, dialog_, dialogs_, dialogs_);
    editor_ = std::make_unique<songlist::ListEditor>(*transport_);
    memories_ = std::make_unique<songlist::SongMemories>(lists, players);
    for (int deck = 0; deck < 2; ++deck) connectDeck(deck);
    connectListButton("ImgtoB", -1, songlist::ListButton::ToB, 0, [this] { editor_->toOtherDeckClick(0); });
    connectListButton("ImgtoA", -1, songlist::ListButton::ToA, 1, [this] { editor_->toOtherDeckClick(1); });
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
    using songlist::ListButton;
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
        transport.loadsong(deck);
        refresh();
    };
    titles->onDrop = [this, deck](const QStringList& paths, bool shift) {
        adder_->drop(deck, paths, shift);
        refresh();
    };
}

void PlayerController::connectListButton(const char* name, int index, songlist::ListButton button, int deck,
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
        setText(window_.label("modelabel", deck), memories_->modeCaption(deck));
        using songlist::ListButton;
        const std::pair<const char*, ListButton> buttons[] = {
            {"Imgadd", ListButton::Add},    {"Imgdell", ListButton::Delete}, {"Imgup", ListButton::Up},
            {"Imgdwn", ListButton::Down},   {"SongNext", ListButton::Next},  {"SongPre", ListButton::Previous}};
        for (const auto& [name, button] : buttons) window_.showBitmap(name, deck, editor_->picture(button, deck));
        refreshList(deck);
    }
    window_.showBitmap("ImgtoB", -1, editor_->picture(songlist::ListButton::ToB, 0));
    window_.showBitmap("ImgtoA", -1, editor_->picture(songlist::ListButton::ToA, 1));
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
    dialogs_.inform(text, QString(), songlist::MessageIcon::None);
}

void PlayerController::storememory(int deck, double position) { memories_->storememory(deck, position); }

}  // namespace korvex::app
