#pragma once
// The 30 ms tick that moves everything the operator does not move: the hand-over to the other deck near
// the end of a song, the pause loop, the pitch throttle, the end memories, the time displays and title
// marquees, the crossfader slide, the mini bar and the search buttons.
//
// Why it is shaped this way: the tick takes no time argument and reads no clock. The window's QTimer calls
// tick() every 30 ms; a test calls it by hand and counts ticks, so every cadence here (the pause loop's 90 ms
// on deck A, the marquee's ten ticks per character, the search every second tick) is exact in a test. The
// steps run in a fixed order on the user-interface thread, between window events. Steps owned by other
// subsystems (the crossfade, the slide, the search, the mini bar, continuous play) are reached through the
// transport's DeckHooks.

#include <array>

#include "deck/deck_transport.h"

namespace korvex::deck {

// Pause-loop interval of deck B in ticks, whatever the setting says for deck A.
inline constexpr int kDeckBHeadInterval = 5;

class MainTimer {
public:
    explicit MainTimer(DeckTransport& transport) : transport_(transport) {}

    // One 30 ms tick.
    void tick();

    // The per-tick deck status of a playing deck outside the pause loop: end memory, deck time, file-label
    // marquee.
    void playingmonitor(int deck);

    // Pause-loop tick counter and blink phase of a deck.
    int headcount(int deck) const { return headcount_[deck == 0 ? 0 : 1]; }
    bool blinkphase(int deck) const { return blinkphase_[deck == 0 ? 0 : 1]; }
    // Alternates on every tick that reaches the search step.
    bool searchtick() const { return searchtick_; }

private:
    // Continuous play's hand-over near the end of a song.
    void handOver();
    // The pause loop; false when it ended the tick (a looping deck without a file).
    bool pauseLoop();
    void searchStep();

    DeckTransport& transport_;
    std::array<int, 2> headcount_{0, 0};
    std::array<bool, 2> blinkphase_{false, false};
    bool searchtick_ = false;
    // The deck has asked for its automatic crossfade in its current run towards the end.
    std::array<bool, 2> crossfadeAsked_{false, false};
};

}  // namespace korvex::deck
