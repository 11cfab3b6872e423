#pragma once
// A MIDI mapping: which message of a controller works which operation of the player, and which state of the
// player lights which button. Read from and written to a plain-text file of Korvex's own, one binding a line:
//
//   # comment (also after a binding)
//   port NAME          the lines after it apply only to ports whose name contains NAME ("port *": every port)
//   note  CH NUM  OPERATION [ARG] [option=value ...]     note-on presses, note-off (or velocity 0) releases
//   cc    CH NUM  OPERATION [ARG] [option=value ...]     absolute 7-bit control change (a button at >= 64)
//   cc14  CH NUM  OPERATION [ARG] [option=value ...]     14-bit: the high half on NUM, the low half on NUM+32
//   ccrel CH NUM  OPERATION [ARG] [option=value ...]     relative (1..63 on, 65..127 back): jogs
//   bend  CH      OPERATION [ARG] [option=value ...]     pitch bend, 14 bits
//   light note|cc CH NUM  STATE [ARG] [on=V] [off=V]      sends V when the state changes
//
// CH is the MIDI channel 1..16, NUM 0..127. ARG is a deck (A or B), a sampler slot (1..8) or a key name,
// as the operation asks. Options: scale=X (relative steps, the jog's speed), takeover=off (an absolute knob
// acts at once instead of waiting to pass the on-screen knob), invert=on (a knob's ends swapped).
//
// Why it is shaped this way: the reader knows no operation by itself; it checks each name and argument
// against a catalogue the player fills in, so an operation added later (loops, say) is one more name in
// the catalogue and every mapping file stays as it is.

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

namespace korvex::midi {

enum class MessageKind { kNote, kCc, kCc14, kCcRelative, kPitchBend };

// What an operation's argument names.
enum class ArgKind { kNone, kDeck, kSlot, kKey };

// One input binding of a mapping file.
struct Binding {
    MessageKind kind = MessageKind::kNote;
    int channel = 0;  // 0 .. 15
    int number = 0;   // 0 .. 127; 0 for pitch bend
    QString operation;
    int argument = -1;  // deck 0 / 1, slot 0 .. 7, a key's virtual-key code; -1 without
    double scale = 1.0;
    bool takeover = true;
    bool invert = false;
    QString port;  // empty: every port
    int line = 0;  // where it was read (0 when made by learning)
};

// One feedback line: sends `on` or `off` as the velocity (note) or value (cc) when the state changes.
struct Light {
    MessageKind kind = MessageKind::kNote;  // kNote or kCc
    int channel = 0;
    int number = 0;
    QString state;
    int argument = -1;
    int on = 127;
    int off = 0;
    QString port;
    int line = 0;
};

struct Mapping {
    std::vector<Binding> bindings;
    std::vector<Light> lights;
};

// What the reader checks names against: the argument kind of an operation or state, or nothing for a name
// the player does not have.
struct MappingCatalog {
    std::function<std::optional<ArgKind>(const QString& operation)> operation;
    std::function<std::optional<ArgKind>(const QString& state)> state;
};

// Reads a mapping. Every line that cannot be read adds "N 行目: why" to `errors` (in Japanese, for the
// operator); the mapping is empty then.
std::optional<Mapping> readMapping(const QString& text, const MappingCatalog& catalog, QStringList& errors);
// The mapping as a file would hold it (what readMapping reads back as the same mapping).
QString writeMapping(const Mapping& mapping, const MappingCatalog& catalog);

// A relative control's steps: 1 .. 63 forward, 65 .. 127 back (two's complement), 0 and 64 none.
inline int relativeSteps(int data) {
    if (data >= 1 && data <= 63) return data;
    if (data >= 65 && data <= 127) return data - 128;
    return 0;
}

// The key names a `key` operation takes ("Space", "Q", "PageUp" ...) and their virtual-key codes.
int keyCodeOf(const QString& name);
QString keyNameOf(int code);

// The mapping the program ships with (the generic mapping), as text.
QString genericMappingText();

}  // namespace korvex::midi
