#pragma once
// The MIDI controller worked into the player: each incoming message is looked up in the mapping and becomes
// the operation it is bound to, exactly as a key or a click would call it; the mapping's lights are sent
// back to the controller when the state they show changes.
//
// Why it is shaped this way: the operations and lit states are a catalogue filled in by whoever owns them
// (addOperation / addState), each a name, the kind of its argument and a function on the user-interface
// thread; the mapping file names them, so a new operation needs no new syntax. This class keeps what a
// message stream needs beyond one message: the two halves of 14-bit controls, the soft takeover of absolute
// knobs, and the values last sent to each output port. It never sees a MIDI thread: the ports hand it
// messages on the user-interface thread (MidiPorts), and it hands them the bytes to send.

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <vector>

#include "control/midi/midi_mapping.h"

namespace korvex::midi {

// What a message tells an operation.
struct MidiInput {
    int argument = -1;     // the binding's deck, slot or key
    bool pressed = false;  // buttons: true on the press, false on the release
    double value = 0.0;    // absolute controls: 0 .. 1
    double delta = 0.0;    // relative controls: steps (signed) times the binding's scale
    bool absolute = false;
    bool relative = false;
};

struct Operation {
    enum class Kind {
        kButton,  // press and release (notes; a control change counts as pressed from 64 up)
        kKnob,    // an absolute value 0 .. 1 (control changes, pitch bend; relative steps move it)
        kWheel,   // relative steps (a jog wheel)
    };
    QString name;
    ArgKind argument = ArgKind::kNone;
    Kind kind = Kind::kButton;
    std::function<void(const MidiInput&)> act;
    // kKnob: where the knob on screen stands now, 0 .. 1 (for soft takeover and relative steps).
    std::function<double(int argument)> position;
    // Shown in the learn dialog.
    QString caption;
};

// A state a light shows: true lights it.
struct LightState {
    QString name;
    ArgKind argument = ArgKind::kNone;
    std::function<bool(int argument)> lit;
};

// A control the operator moved while learning: what a binding to it would read.
struct LearnedControl {
    QString port;
    MessageKind kind = MessageKind::kNote;
    int channel = 0;
    int number = 0;
};

class MidiControl {
public:
    MidiControl();

    void addOperation(Operation operation);
    void addState(LightState state);
    const std::vector<Operation>& operations() const { return operations_; }
    MappingCatalog catalog() const;

    // Reads `text` as the mapping; on errors ("N 行目: ...") keeps the mapping it has and returns false.
    bool setMappingText(const QString& text, QStringList& errors);
    void setMapping(Mapping mapping);
    const Mapping& mapping() const { return mapping_; }

    // One MIDI message from `port`, on the user-interface thread. Messages that are not bound, not
    // channel messages or cut short do nothing. While learning, a note, control change or bend is reported
    // to onLearn instead and works nothing.
    void handle(const QString& port, std::span<const std::uint8_t> bytes);
    std::function<void(const LearnedControl&)> onLearn;
    // `steps` of the relative control change `number` on `channel` (0 .. 15) from `port`, summed over
    // several messages: works its relative bindings as the messages one by one would.
    void handleSteps(const QString& port, int channel, int number, int steps);
    // The control changes (channel * 128 + number) that may be summed before they are handled: every binding
    // on them is relative and works a knob or a wheel.
    std::vector<int> relativeControls() const;
    // Called after the mapping changed.
    std::function<void()> onMappingChanged;

    // Called after the player's state may have changed: computes every light for each of `ports` (the
    // output ports open now) and returns what to send, each message only when its value changed since the
    // last one sent to that port. A port not passed is forgotten, so it gets every light when it comes
    // back.
    struct Outgoing {
        QString port;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Outgoing> lights(const QStringList& ports);

    // Grows with every message that worked an operation (the window redraws).
    std::uint64_t revision() const { return revision_; }

private:
    const Operation* find(const QString& name) const;
    // `steps`: a relative binding's steps (`data` is not read then).
    void apply(std::size_t index, const Binding& binding, int data, bool isNoteOff, int steps);
    // Soft takeover: true when the knob may follow `value` now.
    bool takesOver(std::size_t index, const Operation& op, int argument, double value);

    std::vector<Operation> operations_;
    std::vector<LightState> states_;
    Mapping mapping_;
    // Per binding: the last value asked and what the knob was left at (soft takeover).
    struct Takeover {
        bool engaged = false;
        std::optional<double> lastAsked;
        double leftAt = -1.0;
    };
    std::vector<Takeover> takeover_;
    // Per binding: the 14-bit control's halves.
    std::vector<std::array<int, 2>> halves_;
    // Per binding: the button was pressed (so a press is seen once while a control change stays high).
    std::vector<bool> down_;
    // What each output port last got for each light.
    std::map<QString, std::vector<int>> sent_;
    std::uint64_t revision_ = 0;
};

}  // namespace korvex::midi
