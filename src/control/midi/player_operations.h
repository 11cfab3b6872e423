#pragma once
// The player's operations and lit states, put into a MidiControl's catalogue: the transport buttons, the
// mixer's knobs and switches, the jog, the sampler slots and every key of the keyboard, each reaching the
// same model call its button, knob or key does.
//
// Knobs are worked as a drag works them: the control's value becomes a point on the knob's base and the
// knob places its indicator and tells the mixer, so the window's indicator and the engine's level follow
// together. A relative wheel bound to a jog turns the on-screen jog as a mouse would (a press, moves round
// the circle, and the release once the wheel has stood still a moment).

#include <QTimer>
#include <array>
#include <functional>

#include "control/keyboard.h"
#include "control/midi/midi_control.h"
#include "deck/deck_transport.h"
#include "mixer/beat_sync.h"
#include "mixer/mixer.h"

namespace korvex::midi {

// Everything the operations work on; all of it must outlive the operations.
struct PlayerTargets {
    deck::DeckTransport& transport;
    mixer::Mixer& mixer;
    control::Keyboard& keyboard;
    mixer::BeatSync& sync;
    // Whether a sampler slot's sound is playing (its light); empty: never.
    std::function<bool(int slot)> slotPlaying;
};

// A jog turn per step of a relative wheel at scale 1 (128 steps a turn).
inline constexpr double kJogTurnPerStep = 1.0 / 128.0;
// The wheel counts as let go after this long without a step.
inline constexpr int kJogReleaseMs = 150;

class PlayerOperations {
public:
    PlayerOperations(MidiControl& control, PlayerTargets targets);
    PlayerOperations(const PlayerOperations&) = delete;
    PlayerOperations& operator=(const PlayerOperations&) = delete;

    // Lets the jog go at once when a wheel turned it (as the timer would a moment later).
    void releaseJogs();

    // Where a knob stands, 0 .. 1 (bottom or left end 0), and a drag to `value` there.
    static double knobPosition(const mixer::Knob& knob);
    static void dragKnob(mixer::Knob& knob, double value);

private:
    void addButtons(MidiControl& control);
    void addKnobs(MidiControl& control);
    void addStates(MidiControl& control);
    void turnJog(int deck, double steps);

    PlayerTargets t_;
    // Per deck: the wheel holds the jog, and how far round it has turned it (in turns from the top).
    std::array<bool, 2> jogHeld_{};
    std::array<double, 2> jogTurns_{};
    std::array<QTimer, 2> jogRelease_;
};

}  // namespace korvex::midi
