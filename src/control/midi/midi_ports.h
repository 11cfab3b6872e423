#pragma once
// The MIDI ports of the machine, through RtMidi: every input port (or the ones chosen) is opened and its
// messages are handed to the user-interface thread; every output port is opened for the lights. Ports that
// come or go are picked up or let go at the next look, once a second.
//
// Threads: RtMidi calls back on a thread of its own for each input port; post() copies the message and
// queues it to the user-interface thread (a queued call on this object), where onMessage runs. Nothing here
// touches the audio thread: the operations reach the engine through the players' own command queues.
//
// Why it is shaped this way: the back end may be absent (no ALSA sequencer, no JACK server), appear later
// (a JACK server started after the player) or lose a device in the middle of a set; each look asks the back
// end afresh and never fails loudly, so the player runs the same with or without MIDI.

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace korvex::midi {

enum class MidiApi { kAlsa, kJack };

// ALSA's sequencer when the machine has one, else JACK.
MidiApi defaultMidiApi();
// "alsa" or "jack"; false for another word.
bool midiApiFromName(const QString& name, MidiApi& api);

class MidiPorts : public QObject {
public:
    // `client` names Korvex's own ports to the back end; ports whose name starts with it are never opened.
    explicit MidiPorts(MidiApi api, QString client = QStringLiteral("Korvex"));
    ~MidiPorts() override;
    MidiPorts(const MidiPorts&) = delete;
    MidiPorts& operator=(const MidiPorts&) = delete;

    // The input ports to open (names as listed); empty: every one.
    void setChosenInputs(const QStringList& names);
    // Looks at the ports now, then once every `intervalMs`.
    void start(int intervalMs = 1000);
    // One look: opens the ports that appeared, closes the ones gone. True when anything changed.
    bool rescan();

    // What the back end lists now, and what is open.
    QStringList availableInputs() const { return available_; }
    QStringList openInputs() const;
    QStringList openOutputs() const;
    // True once the back end has answered (a server to talk to, a sequencer to open).
    bool backendAnswered() const { return answered_; }
    MidiApi api() const { return api_; }

    // Sends `bytes` to the output port `port` (ignored when it is not open).
    void send(const QString& port, std::span<const std::uint8_t> bytes);
    // Queues a message from `port` to the user-interface thread. Any thread.
    void post(const QString& port, std::vector<std::uint8_t> bytes);

    // On the user-interface thread: a message, and a change of the open ports.
    std::function<void(const QString& port, std::span<const std::uint8_t> bytes)> onMessage;
    std::function<void()> onPortsChanged;

private:
    struct Input;
    struct Output;
    struct Probe;
    bool ownPort(const QString& name) const;
    // JACK: whether a server is there to talk to, through a client of Korvex's own that stays while the
    // server does (RtMidi would complain on stderr each time it found none). After the server went away,
    // every port is let go and the next look starts afresh.
    bool jackServerUp();

    MidiApi api_;
    QString client_;
    QStringList chosen_;
    QStringList available_;
    bool answered_ = false;
    std::unique_ptr<Probe> probe_;
    // The JACK watch client (a jack_client_t), and whether its server has shut down (set on JACK's thread).
    void* jack_ = nullptr;
    std::atomic<bool> jackGone_{false};
    std::vector<std::unique_ptr<Input>> inputs_;
    std::vector<std::unique_ptr<Output>> outputs_;
    QTimer timer_;
};

}  // namespace korvex::midi
