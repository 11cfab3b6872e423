#include "mixer/beat_loop.h"

#include <algorithm>
#include <cmath>

namespace korvex::mixer {

BeatLoop::BeatLoop(deck::DeckTransport& transport, const BeatSync& sync)
    : transport_(transport), sync_(sync) {}

bool BeatLoop::press(int deck, int beats) {
    if (deck != 0 && deck != 1) return false;
    Loop& loop = loops_[index(deck)];
    if (loop.beats == beats) {
        off(deck);
        return true;
    }
    DeckPlayer& player = transport_.player(deck);
    const auto& analysis = sync_.analysis(deck);
    if (player.fileName().empty() || player.playState() == 0 || !analysis || !analysis->hasTempo() ||
        analysis->beats.empty() || beats <= 0)
        return false;
    const std::vector<double>& grid = analysis->beats;
    const double here = player.currentPosition();
    // The grid beat nearest the play head.
    const auto after = std::lower_bound(grid.begin(), grid.end(), here);
    auto nearest = after == grid.end() ? after - 1 : after;
    if (after != grid.begin() && after != grid.end() && here - *(after - 1) < *after - here)
        nearest = after - 1;
    const auto first = static_cast<std::size_t>(nearest - grid.begin());
    const double from = grid[first];
    const double to = first + static_cast<std::size_t>(beats) < grid.size()
                          ? grid[first + static_cast<std::size_t>(beats)]
                          : from + beats * 60.0 / analysis->bpm;
    if (to > player.duration()) return false;
    loop = {beats, from, to, player.fileName()};
    player.setLoop(from, to);
    transport_.touch();
    return true;
}

void BeatLoop::off(int deck) {
    if (deck != 0 && deck != 1) return;
    Loop& loop = loops_[index(deck)];
    if (loop.beats == 0) return;
    loop = {};
    transport_.player(deck).setLoop(0.0, 0.0);
    transport_.touch();
}

void BeatLoop::tick() {
    for (int deck = 0; deck < 2; ++deck) {
        Loop& loop = loops_[index(deck)];
        if (loop.beats == 0) continue;
        const DeckPlayer& player = transport_.player(deck);
        // The engine has already let go of the loop of a stopped deck or a song that went.
        if (player.fileName() != loop.path || player.playState() == 0) {
            if (player.fileName() == loop.path) transport_.player(deck).setLoop(0.0, 0.0);
            loop = {};
            transport_.touch();
        }
    }
}

}  // namespace korvex::mixer
