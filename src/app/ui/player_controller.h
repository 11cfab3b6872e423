#pragma once
// Connects the main window to the decks and their lists: forwards presses, drops, double-clicks and the
// 30 ms tick to the models, answers the models' calls to other parts (the deck hooks), and draws their
// state (pictures, captions, titles) back into the window after each of them.

#include <QTimer>
#include <array>
#include <memory>

#include "app/player_hooks.h"
#include "app/ui/main_window.h"
#include "app/ui/qt_dialogs.h"
#include "deck/deck_hooks.h"
#include "deck/deck_settings.h"
#include "deck/deck_transport.h"
#include "deck/continuous_play.h"
#include "deck/main_timer.h"
#include "mixer/master_output.h"
#include "mixer/beat_loop.h"
#include "mixer/beat_sync.h"
#include "mixer/mixer.h"
#include "platform/analysis/analysis_worker.h"
#include "platform/media_player.h"
#include "control/keyboard.h"
#include "control/list_editor.h"
#include "songlist/song_adder.h"
#include "songlist/song_list.h"
#include "songlist/song_list_file.h"
#include "songlist/song_memories.h"
#include "songlist/tag_titles.h"

namespace korvex::app {

class PlayerController final : public songlist::DeckLoadTarget {
public:
    PlayerController(MainWindow& window, audio::AudioEngine& engine);
    ~PlayerController() override;

    deck::DeckTransport& transport() { return *transport_; }
    songlist::SongList& list(int deck) { return lists_[static_cast<std::size_t>(deck)]; }
    songlist::SongAdder& adder() { return *adder_; }
    songlist::SongListFile& listFile() { return *listFile_; }
    control::ListEditor& editor() { return *editor_; }
    songlist::SongMemories& memories() { return *memories_; }
    control::Keyboard& keyboard() { return *keyboard_; }
    deck::DeckSettings& settings() { return settings_; }
    // `newtrim`: initial trim of added songs.
    int& newtrim() { return newtrim_; }
    // The one file dialog state the player's dialogs share.
    songlist::DialogState& dialogState() { return dialog_; }
    MediaPlayer& player(int deck) { return *players_[static_cast<std::size_t>(deck)]; }
    QtDialogs& dialogs() { return dialogs_; }
    // The titles the title lists show from the songs' tags.
    songlist::TagTitles& tagTitles() { return tagTitles_; }
    // The deck hooks, for the parts that plug in later (the recorder).
    PlayerHooks& hooks() { return *hooks_; }
    // Draws the models' state into the window, after an action: the tick runs at full speed again.
    void refresh();
    // Called at the end of every refresh(), for what the window draws beyond the decks and the mixer.
    std::function<void()> afterRefresh;
    // The mini bar's step of the main timer: runs while the mini bar is up or the window is minimised and
    // then ends the tick.
    void setMinimumdisplay(std::function<bool()> step) { hooks_->setMinimumdisplay(std::move(step)); }
    // Runs first in every tick (the engine's events are delivered there, so one wake-up serves both).
    std::function<void()> beforeTick;
    int tickInterval() const { return tick_.interval(); }

    // DeckLoadTarget
    void songAdded(int deck, const QString& title) override;
    void dropLoaded(int deck, const QString& title) override;
    void showMessage(const QString& text) override;
    bool keepsLiveDeck(int deck) override;
    mixer::Mixer& mixer() { return *mixer_; }
    // Tempo figures and Sync, and the worker that analyses the songs.
    mixer::BeatSync& beatSync() { return *beatSync_; }
    mixer::BeatLoop& beatLoop() { return *beatLoop_; }
    analysis::AnalysisWorker& analysisWorker() { return *analysisWorker_; }

private:
    void connectDeck(int deck);
    void connectListButton(const char* name, int index, control::ListButton button, int deck,
                           std::function<void()> click);
    void refreshList(int deck);
    // Auto trim: the decks' trims from their songs' loudness, once known (when the setting is on).
    void applyAutoTrim();
    // The deck's waveform overview: the song's analysis, its memories and the play head.
    void refreshStrip(int deck);
    void connectMixer();
    void connectKnob(const char* base, const char* indicator, int index, mixer::Knob& knob);
    // A picture button: the left button's press and release, and optionally its click.
    void connectButton(const char* name, int index, std::function<void()> press, std::function<void()> release,
                       std::function<void()> click);
    void refreshMixer();
    void connectKeyboard();
    // One firing of the main timer: the engine's events, the tick's steps (ten while still()) and a redraw.
    void onTick();
    // Draws the models' state into the window.
    void redraw();
    // True while no deck holds a song and no slide runs: the tick has nothing to move or show.
    bool idle() const;
    // True while no deck plays, loops or searches, no slide or held-back pitch moves, and the engine has
    // nothing to sound and nobody listening: the tick only moves the title marquees. (A knob turned by the
    // mouse or a key is drawn by its own event.)
    bool still() const;
    // Slows the tick while idle() or, after a second of it, still(), and brings it back to speed as soon as
    // neither holds.
    void paceTick();
    // What the deck's displays show over the models' texts: why its song cannot play, or that the sound
    // device is gone.
    QString deckDisplay(int deck, const QString& text2) const;
    QString fileLabel(const QString& lbfilename) const;
    // The deck display's tooltip while its song cannot play: the file, why and what to do.
    QString refusalTip(int deck) const;

    MainWindow& window_;
    audio::AudioEngine& engine_;
    QtDialogs dialogs_;
    std::array<std::unique_ptr<MediaPlayer>, 2> players_;
    std::array<songlist::SongList, 2> lists_;
    deck::DeckSettings settings_;
    int newtrim_ = 20;
    songlist::DialogState dialog_;
    mixer::EngineMasterOutput masterOutput_;
    std::unique_ptr<deck::DeckTransport> transport_;
    std::unique_ptr<mixer::Mixer> mixer_;
    std::unique_ptr<deck::ContinuousPlay> continuous_;
    std::unique_ptr<PlayerHooks> hooks_;
    std::unique_ptr<control::Keyboard> keyboard_;
    std::unique_ptr<deck::MainTimer> timer_;
    std::unique_ptr<songlist::SongAdder> adder_;
    std::unique_ptr<songlist::SongListFile> listFile_;
    std::unique_ptr<control::ListEditor> editor_;
    std::unique_ptr<songlist::SongMemories> memories_;
    std::unique_ptr<analysis::AnalysisWorker> analysisWorker_;
    std::unique_ptr<mixer::BeatSync> beatSync_;
    std::unique_ptr<mixer::BeatLoop> beatLoop_;
    // The children the redraw writes on every tick, looked up once (the window keeps them for its life).
    struct DeckChildren {
        QLabel* text2 = nullptr;
        QLabel* lbfilename = nullptr;
        QLabel* totaltime = nullptr;
        QLabel* modelabel = nullptr;
        QLabel* keyfocus = nullptr;
        QLabel* pitchper = nullptr;
        QLabel* tempo = nullptr;
        appearance::PictureWidget* pause = nullptr;
        appearance::PictureWidget* cue = nullptr;
        appearance::PictureWidget* stop = nullptr;
        std::array<appearance::PictureWidget*, 6> listButtons{};
        appearance::PictureWidget* pitchbtn = nullptr;
        appearance::PictureWidget* jogbtn = nullptr;
        appearance::PictureWidget* volbtn = nullptr;
        appearance::PictureWidget* panbtn = nullptr;
        appearance::PictureWidget* masterbtn = nullptr;
        std::array<appearance::PictureWidget*, mixer::kEqBands> eqbtn{};
        std::array<appearance::PictureWidget*, mixer::kEqBands> eqkill{};
        appearance::PictureWidget* keylock = nullptr;
        appearance::PictureWidget* searchL = nullptr;
        appearance::PictureWidget* searchR = nullptr;
        appearance::PictureWidget* sync = nullptr;
        appearance::PictureWidget* pfl = nullptr;
    };
    void findChildren();
    std::array<DeckChildren, 2> decks_{};
    appearance::PictureWidget* toB_ = nullptr;
    appearance::PictureWidget* toA_ = nullptr;
    appearance::PictureWidget* phmixbtn_ = nullptr;
    appearance::PictureWidget* faderbtn_ = nullptr;
    std::array<appearance::PictureWidget*, 4> patterns_{};
    appearance::PictureWidget* switch_ = nullptr;
    appearance::PictureWidget* center_ = nullptr;
    appearance::PictureWidget* lvol_ = nullptr;
    appearance::PictureWidget* volR_ = nullptr;
    QTimer tick_;
    // Ticks in a row the player has been still() (refresh() after an action starts the count again).
    int stillTicks_ = 0;
    // What the title lists show: the list's revision, the tag titles' revision and whether titles come from
    // tags (nothing yet: the first refresh draws them).
    struct ShownTitles {
        std::uint64_t list = ~std::uint64_t{0};
        std::uint64_t tags = 0;
        bool fromTags = false;
        bool operator==(const ShownTitles&) const = default;
    };
    std::array<ShownTitles, 2> shownTitles_{};
    // The songs' titles from their tags, read in the background.
    songlist::TagTitles tagTitles_;
};

}  // namespace korvex::app
