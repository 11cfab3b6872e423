#pragma once
// Beat loops: a deck plays 1, 2, 4 or 8 beats of its song over and over, from the beat nearest its play
// head.
//
// Why it is shaped this way: the loop's place comes from the song's beat grid, which the analysis gives
// (through BeatSync), and its running is the engine's, which jumps back exactly at the loop's end on the
// audio thread with a crossfade at the seam. So this model only chooses the two places, tells the deck's
// player and remembers what runs, for the keys and the waveform overview. A loop ends with its own key
// pressed again, a loop of another length replacing it, a stop or another song; the song then plays on
// from where the loop left it.
//
// All of it runs on the user-interface thread.

#include <array>
#include <string>

#include "deck/deck_transport.h"
#include "mixer/beat_sync.h"

namespace korvex::mixer {

// The loop lengths the keys offer, in beats.
inline constexpr std::array<int, 4> kLoopBeats{1, 2, 4, 8};

class BeatLoop {
public:
    // The transport and the sync model must outlive this.
    BeatLoop(deck::DeckTransport& transport, const BeatSync& sync);

    // A loop key on `deck`: the same length again leaves the loop; otherwise a loop of `beats` beats starts
    // at the grid beat nearest the play head. False (and nothing changes) on a stopped deck, without a known
    // tempo, or without room for the loop before the song's end.
    bool press(int deck, int beats);
    // Leaves the deck's loop (the song plays on).
    void off(int deck);
    // One timer tick: a deck that stopped or took another song has no loop any more.
    void tick();

    // The running loop's length in beats (0: none), its start and end in seconds.
    int beats(int deck) const { return loops_[index(deck)].beats; }
    double start(int deck) const { return loops_[index(deck)].start; }
    double end(int deck) const { return loops_[index(deck)].end; }

private:
    static std::size_t index(int deck) { return deck == 0 ? 0 : 1; }
    struct Loop {
        int beats = 0;
        double start = 0.0;
        double end = 0.0;
        std::string path;
    };

    deck::DeckTransport& transport_;
    const BeatSync& sync_;
    std::array<Loop, 2> loops_;
};

}  // namespace korvex::mixer
