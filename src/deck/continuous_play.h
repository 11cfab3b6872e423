#pragma once
// Continuous play's end of a song: the finished deck stops, steps to its next song (in order, or from a
// random row) and waits there, while the other deck, started before the end by the main timer, plays on.
//
// Why it is shaped this way: the hand-over before the end belongs to the main timer, which already looks at
// both decks every tick; what remains is what happens once a deck has ended, which only needs the
// transport. The random choice comes from an injectable source, so a test can say which row the dice
// picked. `Nextsong` lives here too, as the step both this and the deck's Next button use.

#include <functional>

#include "deck/deck_transport.h"

namespace korvex::deck {

class ContinuousPlay {
public:
    // A uniform random number in [0, 1).
    using RandomSource = std::function<double()>;

    // Uses a seeded Mersenne twister unless a source is given. The transport must outlive this object.
    explicit ContinuousPlay(DeckTransport& transport, RandomSource random = {});

    // `nonstop`: deck `ended` reached its end, or passed its end memory while playing.
    void nonstop(int ended);
    // `Nextsong`: the deck's next row (the first after the last, the first when none is selected) becomes
    // current, is loaded, and the deck is parked on it (played and paused at once). nonstop() steps with
    // the step given to setNextsong() when there is one (the list editor's, which the Next button uses).
    void Nextsong(int deck);
    void setNextsong(std::function<void(int deck)> step) { nextsong_ = std::move(step); }

    // Called at the end of nonstop() with the deck that took over; the mini bar puts that deck's file label
    // into its title then.
    std::function<void(int liveDeck)> onHandedOver;

private:
    DeckTransport& transport_;
    RandomSource random_;
    std::function<void(int deck)> nextsong_;
};

}  // namespace korvex::deck
