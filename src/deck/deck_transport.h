#pragma once
// The two decks' transport: loading a song, CUE, Play/Pause with its pause loop, Stop, and what each deck
// shows.
//
// Why it is shaped this way: everything the operator sees of a deck is state here, not in a widget. A
// button's look is the name of its bitmap ("cue2.bmp"), a pressed button's offset is a number of twips, a
// label is its text. The window forwards presses and releases and redraws from `view()` afterwards (and
// after every timer tick); `revision()` tells it whether anything may have changed. So a test can press CUE,
// tick the timer and check pictures, captions and the player calls with no display at all.
//
// The per-deck record is plain data that other parts of the program also write (the jog moves `cuepos`,
// the keyboard sets the search flags, the crossfader's Switch clears `deckheld`), so it is public.
// Operations owned by other subsystems are reached through DeckHooks.
//
// All of it runs on the user-interface thread, and so do the player events it subscribes to.

#include <QString>
#include <array>
#include <cstdint>

#include "deck/deck_hooks.h"
#include "deck/deck_settings.h"
#include "platform/deck_player.h"
#include "songlist/song_list.h"

namespace korvex::deck {

// The play state the player reports while playing.
inline constexpr int kPlaying = 2;
// How far the Play/Pause and CUE images move down while pressed, in twips.
inline constexpr int kPressOffset = 10;

// One deck's transport record.
struct DeckRecord {
    // Parked at the cue point ("CUE STAND BY!").
    bool cuestandby = false;
    // Paused or parked; waits for Play/Pause.
    bool deckheld = false;
    // The main timer's pause loop runs for this deck.
    bool headplay = false;
    // Where the pause loop returns to: the pause position, moved by the jog and the keys.
    double cuepos = 0.0;
    // Base position of a jog gesture: the last pause or cue seek.
    double jogstart = 0.0;
    // A song was loaded and neither CUE nor Play/Pause was pressed since (the title scrolls meanwhile).
    bool freshload = false;
    // The backward / forward search button (or key) is held.
    bool searchback = false;
    bool searchfwd = false;
    // Tick counter shared by the deck's three title marquees.
    int rollcount = 0;
};

// What the window draws for one deck.
struct DeckView {
    // The deck display (`text2`): title or time.
    QString text2;
    // The file label (`lbfilename`): title, empty, or "CUE STAND BY!".
    QString lbfilename;
    // The length label (`Totaltime`).
    QString totaltime;
    // Bitmap names of the Play/Pause, CUE and Stop buttons.
    QString playPicture = QStringLiteral("play1.bmp");
    QString cuePicture = QStringLiteral("cue1.bmp");
    QString stopPicture = QStringLiteral("stop1.bmp");
    // Offsets of the Play/Pause and CUE images while pressed, in twips (0 or kPressOffset).
    int playOffset = 0;
    int cueOffset = 0;
};

class DeckTransport {
public:
    // Subscribes to both players' events; the players, lists and settings must outlive the transport.
    DeckTransport(DeckPlayer& playerA, DeckPlayer& playerB, songlist::SongList& listA,
                  songlist::SongList& listB, DeckSettings& settings);
    // Unsubscribes from the players' events.
    ~DeckTransport();
    DeckTransport(const DeckTransport&) = delete;
    DeckTransport& operator=(const DeckTransport&) = delete;

    // Plugs in the rest of the program; until then every hook does nothing. `hooks` must outlive this.
    void setHooks(DeckHooks& hooks) { hooks_ = &hooks; }
    DeckHooks& hooks() { return *hooks_; }

    // Per-deck parts: 0 is deck A, any other index deck B. Operations ignore indexes other than 0 and 1.
    DeckPlayer& player(int deck) { return *players_[index(deck)]; }
    songlist::SongList& list(int deck) { return *lists_[index(deck)]; }
    DeckSettings& settings() { return settings_; }
    DeckRecord& record(int deck) { return records_[index(deck)]; }
    const DeckRecord& record(int deck) const { return records_[index(deck)]; }
    DeckView& view(int deck) { return views_[index(deck)]; }
    const DeckView& view(int deck) const { return views_[index(deck)]; }

    // The deck most recently started or paused (0 or 1).
    int livedeck() const { return livedeck_; }
    void setLivedeck(int deck);

    // Grows whenever an operation or a timer tick has run; the window redraws when it differs.
    std::uint64_t revision() const { return revision_; }
    void touch() { ++revision_; }

    // The deck's length label for the song just loaded: its length, known from the moment it opens ("" for
    // no song or one the player refused).
    QString loadedLength(int deck) const;

    // The title of the song in the deck: the list's current title, unless another row than the loaded
    // song's is selected (a song picked for later), when it is the loaded song's own ("" with no song).
    QString title(int deck) const;

    // --- operations ---------------------------------------------------------------------------------------
    // Loads the list's current song into the deck with its memories (a double-click on a title).
    void loadsong(int deck);
    // True (and the deck's title flashes) when a load onto `deck` is to be refused: the deck plays and
    // "演奏中のデッキを保護" is on. Every load the operator starts on a deck asks this first.
    bool keepsLiveDeck(int deck);
    // A new song went into the deck's player: the previous song's pause loop and stand-by end, and a deck
    // that was held shows its buttons at rest.
    void endHold(int deck);
    // The Play/Pause logic: start, pause into the pause loop, or resume.
    void PLAYBTNON(int deck);
    // The CUE press and release logic.
    void cuedown(int deck);
    void cueup(int deck);
    // The Stop logic: back to the start of the song.
    void stopdeck(int deck);
    // Writes the deck time (elapsed, or left with countdown) into the deck display.
    void timecounter(int deck);
    // One tick of the deck display's title marquee.
    void fontroll(int deck);

    // --- button handlers ----------------------------------------------------------------------------------
    void playPress(int deck);
    void playRelease(int deck);
    void cuePress(int deck);
    void cueRelease(int deck);
    void stopPress(int deck);
    void stopRelease(int deck);
    // The Stop button's click (after its release) is stopdeck().

    // --- player events ------------------------------------------------------------------------------------
    // The play state changed: the file label shows the title while playing and is cleared otherwise.
    void statechanged(int deck);
    // Playback passed the end of the song or of its selection.
    void endreached(int deck);

private:
    static int index(int deck) { return deck == 0 ? 0 : 1; }
    static bool isDeck(int deck) { return deck == 0 || deck == 1; }
    bool hasFile(int deck) { return !player(deck).fileName().empty(); }
    // The deck's cue memory as a seek target.
    double cueTarget(int deck) const;
    // Pauses the deck if it plays, with the Play/Pause button's idle look.
    void pauseIfPlaying(int deck);
    // A deck has started: it becomes the live deck and an armed recorder starts.
    void started(int deck);
    // The CUE button's look for a deck at rest: idle without a cue memory, lit with one.
    QString restingCuePicture(int deck) const;

    std::array<DeckPlayer*, 2> players_;
    std::array<songlist::SongList*, 2> lists_;
    DeckSettings& settings_;
    DeckHooks defaultHooks_;
    DeckHooks* hooks_ = &defaultHooks_;
    std::array<DeckRecord, 2> records_{};
    std::array<DeckView, 2> views_{};
    int livedeck_ = 0;
    std::uint64_t revision_ = 0;
    // The loaded song's title while another row is selected, found once per loaded file.
    struct LoadedTitle {
        QString path;
        QString title;
    };
    mutable std::array<LoadedTitle, 2> loadedTitles_{};
};

}  // namespace korvex::deck
