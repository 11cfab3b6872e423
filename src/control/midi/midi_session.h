#pragma once
// MIDI in the running player: the ports, the mapping (a file, or the generic mapping when none is chosen),
// the player's operations, and the lights, sent after each redraw.

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "control/midi/midi_control.h"
#include "control/midi/midi_ports.h"
#include "control/midi/player_operations.h"

namespace korvex::midi {

class MidiSession {
public:
    // `targets` must outlive the session.
    MidiSession(PlayerTargets targets, MidiApi api, QString client = QStringLiteral("Korvex"));

    MidiControl& control() { return control_; }
    MidiPorts& ports() { return *ports_; }
    PlayerOperations& operations() { return operations_; }

    // Reads the mapping file `path` (empty: the generic mapping). When it cannot be read or has errors, the
    // mapping in use stays and `message` says which file and lines, in Japanese; false then.
    bool loadMapping(const QString& path, QString& message);
    const QString& mappingPath() const { return mappingPath_; }

    // Opens the ports (every one, or the ones named) and looks again once a second.
    void start(const QStringList& inputs);
    // Sends what changed of the lights to every open output port. On the user-interface thread, never from
    // the audio thread.
    void updateLights();

    // A message worked an operation (the window redraws).
    std::function<void()> onWorked;
    // The ports listed or open changed (after the lights were sent to them).
    std::function<void()> onPortsChanged;

private:
    MidiControl control_;
    PlayerOperations operations_;
    std::unique_ptr<MidiPorts> ports_;
    QString mappingPath_;
};

}  // namespace korvex::midi
