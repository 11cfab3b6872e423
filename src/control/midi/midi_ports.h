#pragma once
// The MIDI ports of the machine, through RtMidi: every input port (or the ones chosen) is opened and its
// messages are handed to the user-interface thread; every output port is opened for the lights. Ports that
// come or go are picked up or let go at the next look, once a second.
//
// Threads: RtMidi calls back on a thread of its own for each input port, into that port's Inbox, a ring
// of messages read on the user-interface thread, where onMessage and onSteps run. A message goes over at
// once (one queued call on this object wakes the reader); a relative control change (a jog, an encoder: the
// controls the mapping binds only relatively, published here by setRelativeControls) is summed into the
// ring's last batch for that control instead, and a timer on the user-interface thread reads the batches
// every few milliseconds while any come. Every message after a batch goes behind it in the ring, so the
// order holds. No locks: the rings, the batches and the published controls are atomics. Nothing here
// touches the audio thread: the operations reach the engine through the players' own command queues.
//
// Why it is shaped this way: the back end may be absent (no ALSA sequencer, no JACK server), appear later
// (a JACK server started after the player) or lose a device in the middle of a set; each look asks the back
// end afresh and never fails loudly, so the player runs the same with or without MIDI.

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <thread>
#include <vector>

namespace korvex::midi {

enum class MidiApi { kAlsa, kJack };

// ALSA's sequencer when the machine has one, else JACK.
MidiApi defaultMidiApi();
// "alsa" or "jack"; false for another word.
bool midiApiFromName(const QString& name, MidiApi& api);

class MidiPorts;

// One input port's messages on their way to the user-interface thread. post() is called by one thread at
// a time (the port's); the rest of MidiPorts reads it on the user-interface thread.
class Inbox {
public:
    Inbox(MidiPorts& owner, QString port);
    Inbox(const Inbox&) = delete;
    Inbox& operator=(const Inbox&) = delete;

    // Hands a message over: at once, or summed when it is a relative control's. A message that finds the
    // ring full (the user-interface thread stood still for thousands of messages) is dropped.
    void post(std::span<const std::uint8_t> bytes);
    const QString& port() const { return port_; }

private:
    friend class MidiPorts;
    // Room for several seconds of a busy controller while the user-interface thread is held up.
    static constexpr std::size_t kRing = 4096;
    // A batch's sum once the reader has taken it: nothing more may be added.
    static constexpr std::int64_t kTaken = INT64_MIN;
    struct Entry {
        std::array<std::uint8_t, 3> bytes{};  // a batch: status and number
        std::uint8_t size = 0;
        bool batch = false;
        std::atomic<std::int64_t> steps{0};
    };
    bool push(std::span<const std::uint8_t> bytes, bool batch, int steps);
    // On the user-interface thread: hands every entry over; true when any was a batch.
    bool read();

    MidiPorts& owner_;
    QString port_;
    std::array<Entry, kRing> ring_;
    std::atomic<std::size_t> written_{0};  // entries pushed (the port's thread)
    std::atomic<std::size_t> read_{0};     // entries handed over (the user-interface thread)
    // The port's thread: the batches still open since the last message that went at once, by control.
    struct Open {
        int control = -1;
        std::size_t at = 0;
    };
    std::array<Open, 4> open_{};
};

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
    // The ports of a JACK server that went away are being closed (a second for each output port); no
    // server is joined meanwhile.
    bool lettingGo() const { return lettingGo_.load(); }
    MidiApi api() const { return api_; }

    // Sends `bytes` to the output port `port` (ignored when it is not open).
    void send(const QString& port, std::span<const std::uint8_t> bytes);
    // The inbox of messages from `port`: the open input's of that name, else one of its own (messages from
    // elsewhere, as a test or a benchmark hands them over). On the user-interface thread; it lives as long as
    // this object, or its input port.
    Inbox& inbox(const QString& port);
    // The control changes (channel * 128 + number) whose messages may be summed. On the user-interface
    // thread; the ports' threads see it at their next message.
    void setRelativeControls(const std::vector<int>& controls);
    bool relative(int control) const {
        return (relative_[static_cast<std::size_t>(control) / 64].load(std::memory_order_relaxed) >>
                (control % 64)) &
               1U;
    }
    // The longest a relative control's sum waits before it is handed over.
    static constexpr int kBatchMs = 5;

    // On the user-interface thread: a message, the summed steps of a relative control change (channel
    // 0 .. 15), and a change of the ports listed or open.
    std::function<void(const QString& port, std::span<const std::uint8_t> bytes)> onMessage;
    std::function<void(const QString& port, int channel, int number, int steps)> onSteps;
    std::function<void()> onPortsChanged;

private:
    friend class Inbox;
    struct Input;
    struct Output;
    struct Probe;
    struct Gone;
    bool ownPort(const QString& name) const;
    // JACK: whether a server is there to talk to, through a client of Korvex's own that stays while the
    // server does (RtMidi would complain on stderr each time it found none). After the server went away,
    // every port is let go (closed on letGo_'s thread) and, once they are closed, a look starts afresh.
    bool jackServerUp();
    // Hands over what every inbox holds.
    bool readInboxes();
    // Closes the input ports from `from` on (their inboxes wait while the inboxes are being read).
    void closeInputs(std::vector<std::unique_ptr<Input>>::iterator from);
    // The port's thread: a message wants reading now, or a batch within kBatchMs.
    void wake();
    void armBatches();
    void batchTick();

    MidiApi api_;
    QString client_;
    QStringList chosen_;
    QStringList available_;
    bool answered_ = false;
    std::unique_ptr<Probe> probe_;
    // The JACK watch client (a jack_client_t), and whether its server has shut down (set on JACK's thread).
    void* jack_ = nullptr;
    std::atomic<bool> jackGone_{false};
    // Looks for a server without a socket where servers keep theirs: every kJackMissStride-th look tries to
    // open a client.
    static constexpr unsigned kJackMissStride = 30;
    unsigned jackMisses_ = 0;
    // Closes the clients of a server that went away; lettingGo_ until it is done.
    std::thread letGo_;
    std::atomic<bool> lettingGo_{false};
    std::vector<std::unique_ptr<Input>> inputs_;
    std::vector<std::unique_ptr<Output>> outputs_;
    QTimer timer_;
    std::vector<std::unique_ptr<Inbox>> ownInboxes_;
    int reading_ = 0;
    std::vector<std::unique_ptr<Inbox>> retired_;
    std::array<std::atomic<std::uint64_t>, 16 * 128 / 64> relative_{};
    // A queued call to read the inboxes is on its way; the batch timer runs (or is being started).
    std::atomic<bool> wakeQueued_{false};
    std::atomic<bool> batchesArmed_{false};
    QTimer batchTimer_;
};

}  // namespace korvex::midi
