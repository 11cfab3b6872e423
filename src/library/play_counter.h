#pragma once
// When a deck's song counts as played: once the deck has played it for more than 30 seconds since it was
// loaded (or since the deck was last stopped); pauses do not end the count. The application feeds it each
// deck's state about once a second and writes a completed play into the library.

#include <array>
#include <optional>
#include <string>

namespace korvex::library {

class PlayCounter {
public:
    static constexpr double kPlayedSeconds = 30.0;
    // The most that one observation adds, so a stalled program does not count its stall as playing.
    static constexpr double kLongestStep = 2.0;

    // What deck `deck` (0 or 1) does at `now` (seconds on a steady clock): its file (bytes), whether it plays
    // and whether it is stopped. Returns the file when this observation completes its play.
    std::optional<std::string> observe(int deck, const std::string& file, bool playing, bool stopped,
                                       double now);

private:
    struct Deck {
        std::string file;
        double played = 0.0;
        double last = -1.0;
        bool counted = false;
    };
    std::array<Deck, 2> decks_;
};

}  // namespace korvex::library
