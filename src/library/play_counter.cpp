#include "library/play_counter.h"

#include <algorithm>

namespace korvex::library {

std::optional<std::string> PlayCounter::observe(int deck, const std::string& file, bool playing, bool stopped,
                                                double now) {
    if (deck < 0 || deck > 1) return std::nullopt;
    Deck& d = decks_[static_cast<std::size_t>(deck)];
    const double step = d.last < 0.0 ? 0.0 : std::clamp(now - d.last, 0.0, kLongestStep);
    d.last = now;
    if (file != d.file || stopped) {
        d.file = file;
        d.played = 0.0;
        d.counted = false;
        return std::nullopt;
    }
    if (!playing || file.empty()) return std::nullopt;
    d.played += step;
    if (d.counted || d.played <= kPlayedSeconds) return std::nullopt;
    d.counted = true;
    return file;
}

}  // namespace korvex::library
