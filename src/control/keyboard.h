#pragma once
// The player worked from the keyboard: transport, cue, song stepping, search and memory keys act on the
// deck that has the keyboard (`focusdeck`), mixer keys on that deck's knobs or on the shared crossfader,
// master and monitor knobs, and the digit keys play the sampler.
//
// Why it is shaped this way: a key-down runs the actions of every held transport key, not only of the key
// that went down (holding Space while pressing another key runs the Switch again), so the keyboard keeps
// the held keys itself, from the window's presses and releases; the window only maps each Qt key to its
// virtual-key code (virtualKey()) and forwards. Which deck has the keyboard, the two marks that show it
// (`Keyfocus`) and the slot keys' held flags are state here, so a test presses keys and checks decks,
// knobs and lists without a window. Everything else is done by the objects the buttons and knobs use
// (transport, mixer, list editor, memories); the sampler is reached through SamplerKeyHooks.
//
// A key's release goes to the decks its press acted on: the CUE key ends the preview it started and a
// search key ends its search even if the deck was paused or the keyboard moved to the other deck while the
// key was held. When the window loses the keyboard it calls focusLost(), which releases every held key.
//
// All of it runs on the user-interface thread.

#include <array>
#include <cstdint>
#include <functional>

#include "deck/deck_transport.h"
#include "mixer/beat_loop.h"
#include "mixer/beat_sync.h"
#include "mixer/mixer.h"
#include "control/key_codes.h"
#include "control/list_editor.h"
#include "songlist/song_memories.h"

namespace korvex::control {

// Number of sampler slots the digit keys play.
inline constexpr int kSlotKeyCount = 8;

// What the keys ask of the sampler. Every operation has a harmless default, so the keyboard works before
// the sampler exists; the application derives one class that forwards to the sampler's slots.
class SamplerKeyHooks {
public:
    virtual ~SamplerKeyHooks() = default;
    // `cmdPlay_Click`(slot): plays slot 0 .. 7 (muting both decks first when the slot is a silencer); a
    // looping slot that runs stops instead. Does nothing for a slot without a sample.
    virtual void cmdPlay_Click(int /*slot*/) {}
    // `slotsilencer`(slot): 1 when the slot keeps both decks muted while its key is held.
    virtual int slotsilencer(int /*slot*/) const { return 0; }
};

// Steps and limits of the knob keys, in twips (the volume, crossfader and master keys stop at the ends of
// their knobs' travel).
namespace keystep {
inline constexpr float kVolume = 150.0f;  // Q down, W up
inline constexpr float kPitch = 6.0f;     // A up (slower), S down (faster)
// The pitch indicator's Top where A and S stop: tempo 70 and 130.
inline constexpr float kPitchHighest = 1500.0f;
inline constexpr float kPitchLowest = 3300.0f;
inline constexpr float kPan = 30.0f;      // Z left, X right
inline constexpr float kFader = 150.0f;   // N right, V left
inline constexpr float kMaster = 100.0f;  // "/" "\" master, ":" "]" monitor
// How far the keys move the deck's cue position on a paused deck, in seconds.
inline constexpr double kCueFine = 0.001;    // Up, Down
inline constexpr double kCueCoarse = 0.010;  // Page Up, Page Down
}  // namespace keystep

class Keyboard {
public:
    // The transport, mixer, editor and memories must outlive the keyboard.
    Keyboard(deck::DeckTransport& transport, mixer::Mixer& mixer, ListEditor& editor, songlist::SongMemories& memories);
    Keyboard(const Keyboard&) = delete;
    Keyboard& operator=(const Keyboard&) = delete;

    // Plugs in the sampler; until then the slot keys do nothing. `hooks` must outlive this.
    void setHooks(SamplerKeyHooks& hooks) { hooks_ = &hooks; }
    // The sampler the slot keys play (a MIDI pad plays it the same way).
    SamplerKeyHooks& samplerHooks() { return *hooks_; }
    // Plugs in Sync (key Y); until then Y does nothing. `sync` must outlive this.
    void setBeatSync(mixer::BeatSync& sync) { beatSync_ = &sync; }
    // The beat loops the U, I, O and D keys run on the keyboard's deck.
    void setBeatLoop(mixer::BeatLoop& loops) { beatLoop_ = &loops; }
    // The L key: opens the music library's window.
    std::function<void()> onLibraryKey;

    // --- from the window ----------------------------------------------------------------------------------
    // Every key press of the main window, auto-repeats included, with the key's virtual-key code
    // (virtualKey(); 0 for keys the player does not use, which still run the held keys' actions) and the
    // native scan code (0 when unknown). The key is held from now on; then the key-down handler runs. The
    // window accepts every key event: the handler consumes them all.
    void keyDown(int virtualKey, std::uint32_t physicalKey = 0);
    // Every key release. Auto-repeat releases are ignored; otherwise the key is no longer held and the
    // key-up handler runs for the code the key went down with.
    void keyUp(int virtualKey, bool autoRepeat, std::uint32_t physicalKey = 0);
    // The window lost the keyboard (deactivated, hidden, a dialog took the focus): releases will not
    // arrive, so every held key is released now, running its key-up action.
    void focusLost();

    // --- state --------------------------------------------------------------------------------------------
    // The deck the keys act on: 0 (deck A) at start-up.
    int focusdeck() const { return focusdeck_; }
    // `focuschangeA` / `focuschangeB`: the keyboard to deck A / B; that deck's `Keyfocus` mark shows and
    // the other one hides.
    void focuschangeA();
    void focuschangeB();
    // Whether `Keyfocus`(deck) is shown.
    bool keyfocusVisible(int deck) const { return keyfocus_[deckIndex(deck)]; }
    // A slot key's held flag: set by its first key-down, cleared by its key-up (so auto-repeat does not
    // retrigger the slot). False for indexes other than 0 .. 7.
    bool slotKeyHeld(int slot) const;
    const HeldKeys& heldKeys() const { return held_; }
    // Grows whenever a key event was handled; the window redraws when it differs.
    std::uint64_t revision() const { return revision_; }

private:
    static std::size_t deckIndex(int deck) { return deck == 0 ? 0 : 1; }
    // The sampler slot of a digit key (main keyboard or keypad), -1 for other keys.
    static int slotOf(int virtualKey);

    // The key-down handler: the held keys' actions, then the key of the event.
    void heldKeyActions();
    void eventKeyActions(int virtualKey);
    // The key-up handler.
    void releaseActions(int virtualKey);

    // The held-key actions on the focus deck.
    void playPause();
    void cueDown();
    // Up / Down (fine) and Page Up / Page Down (coarse) on a paused deck: moves its cue position there.
    void moveCue(double seconds);

    // The knob keys: moves an indicator by `step` and holds it at `limit` if it passed it.
    void stepVolume(float step, float limit);
    void stepPitch(float step, float limit);
    void stepPan(float step);
    void stepMaster(int index, float step, float limit);

    deck::DeckTransport& transport_;
    mixer::Mixer& mixer_;
    ListEditor& editor_;
    songlist::SongMemories& memories_;
    SamplerKeyHooks defaultHooks_;
    SamplerKeyHooks* hooks_ = &defaultHooks_;
    mixer::BeatSync* beatSync_ = nullptr;
    mixer::BeatLoop* beatLoop_ = nullptr;

    HeldKeys held_;
    int focusdeck_ = 0;
    std::array<bool, 2> keyfocus_{true, false};
    std::array<bool, kSlotKeyCount> slotHeld_{};
    // The key of the press being handled was already down (the system repeats a held key).
    bool repeated_ = false;
    // The decks the held CUE key pressed, and those whose search the held Page Up / Page Down started.
    std::array<bool, 2> cueByKey_{};
    std::array<bool, 2> searchFwdByKey_{};
    std::array<bool, 2> searchBackByKey_{};
    std::uint64_t revision_ = 0;
};

}  // namespace korvex::control
