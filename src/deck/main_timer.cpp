#include "deck/main_timer.h"

#include <algorithm>

#include "deck/time_format.h"

namespace korvex::deck {

void MainTimer::tick() {
    transport_.touch();
    // The cue memories are where the players may be sent at any moment: they keep those places ready.
    for (int deck = 0; deck < 2; ++deck) transport_.player(deck).setCuePoint(transport_.record(deck).cuepos);
    handOver();
    if (!pauseLoop()) return;

    DeckSettings& settings = transport_.settings();
    if (settings.pitchwait > 0) --settings.pitchwait;

    for (int deck = 0; deck < 2; ++deck) playingmonitor(deck);
    for (int deck = 0; deck < 2; ++deck) {
        if (transport_.record(deck).freshload) transport_.fontroll(deck);
    }

    DeckHooks& hooks = transport_.hooks();
    // The tick a slide reaches its end does nothing more.
    if (hooks.slideStep()) return;
    if (hooks.minimumdisplay()) return;
    searchStep();
}

void MainTimer::handOver() {
    const DeckSettings& settings = transport_.settings();
    DeckHooks& hooks = transport_.hooks();
    if (!settings.autoplay2 || hooks.slideflag()) return;

    const int pattern = std::clamp(hooks.faderpattern(), 0, 2);
    const double lead = settings.autocrossfadeplay
                            ? settings.switchtime[static_cast<std::size_t>(pattern)] / 20.0
                            : settings.gapticks / 100.0;
    for (int deck = 0; deck < 2; ++deck) {
        const int other = 1 - deck;
        const DeckPlayer& player = transport_.player(deck);
        const double duration = player.duration();
        // A deck without a song has no end to hand over from.
        const bool nearEnd =
            !player.fileName().empty() && duration > 0.0 && player.currentPosition() > duration - lead;
        if (!nearEnd) {
            crossfadeAsked_[deck] = false;
            continue;
        }
        if (transport_.list(other).current() < 0) continue;
        if (settings.autocrossfadeplay) {
            // One crossfade per song end. Asking again once the slide is over would slide straight back to
            // the deck that is ending (or, with CUT IN, flip the crossfader on every tick); and a slide the
            // other deck started in this very tick must not be cancelled by a second Switch.
            if (crossfadeAsked_[deck] || hooks.slideflag()) continue;
            crossfadeAsked_[deck] = true;
            hooks.switching();
        } else {
            transport_.player(other).play();
        }
    }
}

bool MainTimer::pauseLoop() {
    for (int deck = 0; deck < 2; ++deck) {
        DeckRecord& record = transport_.record(deck);
        if (!record.headplay) continue;
        auto& count = headcount_[static_cast<std::size_t>(deck)];
        ++count;
        const int limit = deck == 0 ? transport_.settings().headinterval : kDeckBHeadInterval;
        if (count <= limit) continue;

        DeckPlayer& player = transport_.player(deck);
        player.setCurrentPosition(record.cuepos);
        if (player.fileName().empty()) {
            // Nothing left to loop over. This tick ends here; the loop ends too, so that the ticks after it
            // run in full again instead of stopping here every time.
            record.headplay = false;
            count = 0;
            return false;
        }
        player.play();
        count = 0;
        DeckView& view = transport_.view(deck);
        auto& blink = blinkphase_[static_cast<std::size_t>(deck)];
        if (blink) {
            view.playPicture = QStringLiteral("play2.bmp");
            view.cuePicture = QStringLiteral("cue1.bmp");
            blink = false;
        } else {
            view.playPicture = QStringLiteral("play1.bmp");
            view.cuePicture = QStringLiteral("cue2.bmp");
            blink = true;
        }
    }
    return true;
}

void MainTimer::playingmonitor(int deck) {
    if (deck != 0 && deck != 1) return;
    DeckRecord& record = transport_.record(deck);
    DeckPlayer& player = transport_.player(deck);
    if (record.headplay || player.playState() != kPlaying) return;

    const QString endMemory = transport_.list(deck).currentField(songlist::kEnd);
    // A memory column without a selection reads empty: that is no end memory, not one at 0 s.
    if (!endMemory.trimmed().isEmpty()) {
        const double end = songlist::leadingNumber(endMemory);
        if (end != -1.0 && player.currentPosition() > end) {
            transport_.hooks().nonstop(deck);
            // Continuous play may have stopped the deck and loaded its next song: leave its title up.
            if (player.playState() != kPlaying) return;
        }
    }
    transport_.timecounter(deck);
    const MarqueeFrame frame = marqueeStep(transport_.title(deck), record.rollcount, kFileLabelMarquee);
    if (frame.changed) transport_.view(deck).lbfilename = frame.text;
}

void MainTimer::searchStep() {
    if (!searchtick_) {
        searchtick_ = true;
        return;
    }
    searchtick_ = false;
    DeckHooks& hooks = transport_.hooks();
    for (int deck = 0; deck < 2; ++deck) {
        const DeckRecord& record = transport_.record(deck);
        if (record.searchback) hooks.searchegnL(deck);
        if (record.searchfwd) hooks.searchegnR(deck);
    }
}

}  // namespace korvex::deck
