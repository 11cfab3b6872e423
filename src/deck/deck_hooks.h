#pragma once
// What the deck transport and the main timer ask of the rest of the program.
//
// The transport and the timer call into the mixer (levels, pitch, crossfade), the song memories, the
// recorder, continuous play and the mini bar. Those live in other subsystems, so the decks see them only
// through this interface; every operation has a harmless default, which lets the decks run (and be tested)
// before the other parts exist and lets each part plug in without touching the transport. The application
// derives one class from it that forwards to the real objects.

namespace korvex::deck {

class DeckHooks {
public:
    virtual ~DeckHooks() = default;

    // --- mixer --------------------------------------------------------------------------------------------
    // `volcontrol`: recomputes both decks' levels from the volume knobs, the trims and the crossfader.
    virtual void volcontrol() {}
    // `pitchset` after a load: places the deck's pitch knob for tempo memory `tempo` (percent of normal
    // speed, 100 normal) and applies it to the player.
    virtual void pitchset(int /*deck*/, double /*tempo*/) {}
    // `switching`: the Switch action (starts a crossfader slide towards the other side, or cancels one).
    virtual void switching() {}
    // `slideflag`: true from the start of a crossfader slide until it reaches its end.
    virtual bool slideflag() const { return false; }
    // `faderpattern`: the selected fader pattern, 0 .. 2.
    virtual int faderpattern() const { return 0; }
    // The slide step, once per tick: while `slidestate` is 1 or 2, moves the crossfader one step. Returns
    // true when this step brought the slide to its end (the rest of the tick is then skipped).
    virtual bool slideStep() { return false; }
    // `searchegnL` / `searchegnR`: one backward / forward search step of a playing deck.
    virtual void searchegnL(int /*deck*/) {}
    virtual void searchegnR(int /*deck*/) {}

    // --- song memories ------------------------------------------------------------------------------------
    // `trimlinedraw`: draws the deck's trim needle from the current song's volume memory.
    virtual void trimlinedraw(int /*deck*/) {}
    // `storememory`: stores `position` into the memory the deck's memory mode chooses (cue, start or end),
    // or resets the memories in RESET mode.
    virtual void storememory(int /*deck*/, double /*position*/) {}

    // --- recorder -----------------------------------------------------------------------------------------
    // `recordstart`: a deck started while auto record is on and the recorder waits for it.
    virtual void recordstart() {}

    // --- continuous play ----------------------------------------------------------------------------------
    // `nonstop`: the deck reached its end, or passed its end memory while playing.
    virtual void nonstop(int /*deck*/) {}

    // --- the window ---------------------------------------------------------------------------------------
    // A load onto the deck was refused to keep its song playing: the deck's title flashes briefly.
    virtual void flashTitle(int /*deck*/) {}

    // --- mini bar -----------------------------------------------------------------------------------------
    // `minimumdisplay`: while the mini bar is on or the window is minimised, refreshes the bar time, the
    // caption and the top-bar marquee and returns true (the tick then ends); otherwise returns false.
    virtual bool minimumdisplay() { return false; }
};

}  // namespace korvex::deck
