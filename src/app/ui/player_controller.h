#pragma once
// Connects the main window to the decks: forwards presses, drops, double-clicks and the 30 ms tick to the
// models, and draws their state (pictures, captions, titles) back into the window after each of them.

#include <QTimer>
#include <array>
#include <memory>

#include "app/ui/main_window.h"
#include "deck/deck_settings.h"
#include "deck/deck_transport.h"
#include "deck/main_timer.h"
#include "platform/media_player.h"
#include "songlist/song_adder.h"
#include "songlist/song_list.h"

namespace korvex::app {

class PlayerController : public songlist::FileDialogs, public songlist::DeckLoadTarget {
public:
    PlayerController(MainWindow& window, audio::AudioEngine& engine);
    ~PlayerController() override;

    deck::DeckTransport& transport() { return *transport_; }
    songlist::SongList& list(int deck) { return lists_[static_cast<std::size_t>(deck)]; }
    songlist::SongAdder& adder() { return *adder_; }
    deck::DeckSettings& settings() { return settings_; }
    MediaPlayer& player(int deck) { return *players_[static_cast<std::size_t>(deck)]; }
    // Draws the models' state into the window.
    void refresh();

    // FileDialogs
    bool showOpen(songlist::DialogState& state) override;
    bool showSave(songlist::DialogState& state) override;
    // DeckLoadTarget
    void songAdded(int deck, const QString& title) override;
    void dropLoaded(int deck, const QString& title) override;
    void showMessage(const QString& text) override;

private:
    void connectDeck(int deck);
    void refreshList(int deck);

    MainWindow& window_;
    std::array<std::unique_ptr<MediaPlayer>, 2> players_;
    std::array<songlist::SongList, 2> lists_;
    deck::DeckSettings settings_;
    int newtrim_ = 20;
    songlist::DialogState dialog_;
    std::unique_ptr<deck::DeckTransport> transport_;
    std::unique_ptr<deck::MainTimer> timer_;
    std::unique_ptr<songlist::SongAdder> adder_;
    QTimer tick_;
};

}  // namespace korvex::app
