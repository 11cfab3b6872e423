#pragma once
// The cue, start and end memories of the songs, as the CUE button writes them, and each deck's memory mode.
//
// Why it is shaped this way: the mode is what the deck's mode label shows ("CUE", "START", "END",
// "RESET"), so the caption is the state and there is no second copy to fall out of step. Storing a memory
// is a model operation called from the transport's CUE press (through DeckHooks::storememory); it writes
// the selected song's memory columns and tells the deck's player about its selection start and end, so a
// test checks the texts and the player calls without a window. The trim needle's drawing is the trim
// knob's business and lives with it.

#include <QString>
#include <array>

#include "platform/deck_player.h"
#include "songlist/song_list.h"

namespace korvex::songlist {

// The tooltip of a deck's mode click area (`mode`).
QString modeTooltip();

class SongMemories {
public:
    // `lists` and `players` are deck A's and deck B's and must outlive this.
    SongMemories(std::array<SongList*, 2> lists, std::array<DeckPlayer*, 2> players);

    // The caption of the deck's mode label (`modelabel`): "CUE" at start-up.
    const QString& modeCaption(int deck) const { return captions_[deck == 0 ? 0 : 1]; }
    // A click on the deck's mode area or the End key: "CUE" -> "START" -> "END" -> "RESET" -> "CUE".
    void cycleMode(int deck);

    // `storememory`: stores `position` (seconds; the deck's `cuepos`) into the memory the deck's mode
    // chooses, in the signed form, at that memory column's selected row. START also makes it the player's
    // selection start; RESET sets the cue, start and end memories to "0", "-1", "-1" and clears the
    // player's selection start and end. Nothing happens when the path column has no selection, and the
    // player is not told when the memory column has none.
    void storememory(int deck, double position);

private:
    static bool isDeck(int deck) { return deck == 0 || deck == 1; }

    std::array<SongList*, 2> lists_;
    std::array<DeckPlayer*, 2> players_;
    std::array<QString, 2> captions_;
};

}  // namespace korvex::songlist
