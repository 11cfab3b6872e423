#pragma once
// The deck transport's calls into the rest of the program, answered by the mixer, continuous play and the
// song memories. One class, so the player and the benchmarks wire the decks the same way.

#include <functional>

#include "deck/continuous_play.h"
#include "deck/deck_hooks.h"
#include "mixer/mixer.h"
#include "songlist/song_memories.h"

namespace korvex::app {

class PlayerHooks final : public deck::DeckHooks {
public:
    // `memories` may be null (no memory is stored then). All must outlive the hooks.
    PlayerHooks(mixer::Mixer& mixer, deck::ContinuousPlay& continuous, songlist::SongMemories* memories = nullptr)
        : mixer_(mixer), continuous_(continuous), memories_(memories) {}

    void volcontrol() override { mixer_.volcontrol(); }
    void pitchset(int deck, double tempo) override { mixer_.pitchsetForTempo(deck, tempo); }
    void switching() override { mixer_.switching(); }
    bool slideflag() const override { return mixer_.slideflag(); }
    int faderpattern() const override { return mixer_.faderpattern(); }
    // The mixer's tick applies a pitch the throttle held back, then the slide step.
    bool slideStep() override { return mixer_.tick(); }
    void searchegnL(int deck) override { mixer_.searchegnL(deck); }
    void searchegnR(int deck) override { mixer_.searchegnR(deck); }
    void trimlinedraw(int deck) override { mixer_.trimlinedraw(deck); }
    void storememory(int deck, double position) override {
        if (memories_ != nullptr) memories_->storememory(deck, position);
    }
    void nonstop(int deck) override { continuous_.nonstop(deck); }
    bool minimumdisplay() override { return minimumdisplay_ && minimumdisplay_(); }

    // The mini bar's step of the main timer (none until the window chrome plugs it in).
    void setMinimumdisplay(std::function<bool()> step) { minimumdisplay_ = std::move(step); }
    // Auto record: answered by the recorder window while one is open.
    void recordstart() override {
        if (onRecordstart) onRecordstart();
    }
    std::function<void()> onRecordstart;
    // The window's flash of a deck's title.
    void flashTitle(int deck) override {
        if (onFlashTitle) onFlashTitle(deck);
    }
    std::function<void(int)> onFlashTitle;

private:
    mixer::Mixer& mixer_;
    deck::ContinuousPlay& continuous_;
    songlist::SongMemories* memories_;
    std::function<bool()> minimumdisplay_;
};

}  // namespace korvex::app
