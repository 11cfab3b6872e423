#include "control/midi/midi_ports.h"

#include <jack/jack.h>
#include <rtmidi/RtMidi.h>

#include <QFileInfo>
#include <unistd.h>
#include <QMetaObject>
#include <algorithm>

#include "control/midi/midi_mapping.h"

namespace korvex::midi {
namespace {

RtMidi::Api rtApi(MidiApi api) {
    return api == MidiApi::kJack ? RtMidi::UNIX_JACK : RtMidi::LINUX_ALSA;
}

// RtMidi's warnings ("JACK server not running?") are no news here: an absent back end means no MIDI.
void quietly(RtMidiError::Type, const std::string&, void*) {}
void quietJack(const char*) {}

bool sequencerPresent() {
    return QFileInfo::exists(QStringLiteral("/dev/snd/seq"));
}

// Whether a server the JACK library could join may be listening: a JACK 2 server of the user's default
// name keeps a socket in /dev/shm named after the server and the user, a JACK 1 server a folder of the
// same names, and PipeWire (whose JACK library stands in for JACK's) its socket in the runtime folder.
bool jackServerMayListen() {
    const QByteArray named = qgetenv("JACK_DEFAULT_SERVER");
    const QString server = named.isEmpty() ? QStringLiteral("default") : QString::fromLocal8Bit(named);
    const uid_t uid = getuid();
    if (QFileInfo::exists(QStringLiteral("/dev/shm/jack_%1_%2_0").arg(server).arg(uid))) return true;
    for (const char* folder : {"/dev/shm", "/tmp"})
        if (QFileInfo::exists(QStringLiteral("%1/jack-%2/%3").arg(QLatin1String(folder)).arg(uid).arg(server)))
            return true;
    QString runtime = qEnvironmentVariable("PIPEWIRE_RUNTIME_DIR");
    if (runtime.isEmpty()) runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QString remote = qEnvironmentVariable("PIPEWIRE_REMOTE");
    if (remote.isEmpty()) remote = QStringLiteral("pipewire-0");
    if (remote.startsWith(QLatin1Char('/'))) return QFileInfo::exists(remote);
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QLatin1Char('/') + remote);
}

template <typename Port>
QStringList portNames(Port& port) {
    QStringList names;
    const unsigned n = port.getPortCount();
    for (unsigned i = 0; i < n; ++i) names << QString::fromStdString(port.getPortName(i));
    return names;
}

template <typename Port>
bool openByName(Port& port, const QString& name, const char* own) {
    const QStringList names = portNames(port);
    const auto at = names.indexOf(name);
    if (at < 0) return false;
    try {
        port.openPort(static_cast<unsigned>(at), own);
    } catch (const RtMidiError&) {
        return false;
    }
    return port.isPortOpen();
}

}  // namespace

MidiApi defaultMidiApi() {
    return sequencerPresent() ? MidiApi::kAlsa : MidiApi::kJack;
}

bool midiApiFromName(const QString& name, MidiApi& api) {
    if (name == QLatin1String("alsa"))
        api = MidiApi::kAlsa;
    else if (name == QLatin1String("jack"))
        api = MidiApi::kJack;
    else
        return false;
    return true;
}

struct MidiPorts::Probe {
    std::unique_ptr<RtMidiIn> in;
    std::unique_ptr<RtMidiOut> out;
};

struct MidiPorts::Input {
    QString name;
    // Declared before the port: the port (and its thread) ends first.
    std::unique_ptr<Inbox> inbox;
    std::unique_ptr<RtMidiIn> port;
};

Inbox::Inbox(MidiPorts& owner, QString port) : owner_(owner), port_(std::move(port)) {}

void Inbox::post(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return;
    if (bytes.size() >= 3 && (bytes[0] & 0xF0) == 0xB0 && bytes[1] < 128 && bytes[2] < 128) {
        const int control = (bytes[0] & 0x0F) * 128 + bytes[1];
        if (owner_.relative(control)) {
            const int steps = relativeSteps(bytes[2]);
            if (steps == 0) return;
            const std::size_t written = written_.load(std::memory_order_relaxed);
            for (Open& open : open_) {
                if (open.control != control) continue;
                // Into the batch open for this control, unless the reader has taken it (or, long read, its
                // place in the ring went to a later entry), or the control turned back: a batch goes one way
                // only, so that a knob stopped at an end of its travel ends where the steps one by one leave
                // it.
                if (written - open.at < kRing) {
                    std::atomic<std::int64_t>& sum = ring_[open.at % kRing].steps;
                    std::int64_t now = sum.load();
                    while (now != kTaken && (now > 0) == (steps > 0))
                        if (sum.compare_exchange_weak(now, now + steps)) return;
                }
                open.control = -1;
            }
            if (!push(bytes, true, steps)) return;
            // Kept in a free place, else in place of the oldest open batch.
            Open* place =
                std::find_if(open_.begin(), open_.end(), [](const Open& o) { return o.control < 0; });
            if (place == open_.end())
                place = std::min_element(open_.begin(), open_.end(),
                                         [](const Open& a, const Open& b) { return a.at < b.at; });
            *place = {control, written};
            owner_.armBatches();
            return;
        }
    }
    if (!push(bytes, false, 0)) return;
    // What comes after this message goes behind it.
    for (Open& open : open_) open.control = -1;
    owner_.wake();
}

bool Inbox::push(std::span<const std::uint8_t> bytes, bool batch, int steps) {
    const std::size_t w = written_.load(std::memory_order_relaxed);
    if (w - read_.load() >= kRing) return false;
    Entry& e = ring_[w % kRing];
    e.size = static_cast<std::uint8_t>(std::min<std::size_t>(bytes.size(), e.bytes.size()));
    std::copy_n(bytes.begin(), e.size, e.bytes.begin());
    e.batch = batch;
    e.steps.store(steps, std::memory_order_relaxed);
    written_.store(w + 1);
    return true;
}

bool Inbox::read() {
    bool batches = false;
    for (std::size_t r = read_.load(); r != written_.load(); r = read_.load()) {
        Entry& e = ring_[r % kRing];
        // Copied out and passed before it is handed over: the port's thread may reuse the place then, and
        // what the operation does may read the inboxes again (a nested event loop).
        const std::array<std::uint8_t, 3> bytes = e.bytes;
        const std::size_t size = e.size;
        const bool batch = e.batch;
        const std::int64_t steps = batch ? e.steps.exchange(kTaken) : 0;
        read_.store(r + 1);
        if (batch) {
            batches = true;
            if (owner_.onSteps)
                owner_.onSteps(port_, bytes[0] & 0x0F, bytes[1],
                               static_cast<int>(std::clamp<std::int64_t>(steps, INT32_MIN, INT32_MAX)));
        } else if (owner_.onMessage) {
            owner_.onMessage(port_, std::span<const std::uint8_t>(bytes.data(), size));
        }
    }
    return batches;
}

// What a server that went away leaves to close.
struct MidiPorts::Gone {
    std::vector<std::unique_ptr<RtMidiIn>> inputs;
    std::vector<std::unique_ptr<RtMidiOut>> outputs;
    std::vector<std::unique_ptr<Inbox>> inboxes;
    void* watch = nullptr;
};

struct MidiPorts::Output {
    QString name;
    std::unique_ptr<RtMidiOut> port;
};

MidiPorts::MidiPorts(MidiApi api, QString client) : api_(api), client_(std::move(client)) {
    if (api_ == MidiApi::kJack) {
        jack_set_error_function(quietJack);
        jack_set_info_function(quietJack);
    }
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { rescan(); });
    batchTimer_.setInterval(kBatchMs);
    batchTimer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&batchTimer_, &QTimer::timeout, this, [this] { batchTick(); });
}

MidiPorts::~MidiPorts() {
    timer_.stop();
    // The input threads end with their ports, before the object their messages are queued to.
    inputs_.clear();
    outputs_.clear();
    probe_.reset();
    if (jack_ != nullptr) jack_client_close(static_cast<jack_client_t*>(jack_));
    if (letGo_.joinable()) letGo_.join();
}

Inbox& MidiPorts::inbox(const QString& port) {
    for (const auto& in : inputs_)
        if (in->name == port) return *in->inbox;
    for (const auto& own : ownInboxes_)
        if (own->port() == port) return *own;
    ownInboxes_.push_back(std::make_unique<Inbox>(*this, port));
    return *ownInboxes_.back();
}

void MidiPorts::setRelativeControls(const std::vector<int>& controls) {
    std::array<std::uint64_t, std::tuple_size_v<decltype(relative_)>> bits{};
    for (const int c : controls)
        if (c >= 0 && c < 16 * 128) bits[static_cast<std::size_t>(c) / 64] |= std::uint64_t{1} << (c % 64);
    for (std::size_t i = 0; i < bits.size(); ++i) relative_[i].store(bits[i], std::memory_order_relaxed);
}

bool MidiPorts::readInboxes() {
    bool batches = false;
    // By index, and no inbox freed meanwhile: an operation may run a nested event loop, where a look at
    // the ports closes some.
    ++reading_;
    for (std::size_t i = 0; i < inputs_.size(); ++i) batches |= inputs_[i]->inbox->read();
    for (std::size_t i = 0; i < ownInboxes_.size(); ++i) batches |= ownInboxes_[i]->read();
    if (--reading_ == 0) retired_.clear();
    return batches;
}

void MidiPorts::closeInputs(std::vector<std::unique_ptr<Input>>::iterator from) {
    for (auto it = from; it != inputs_.end(); ++it) {
        (*it)->port.reset();
        if (reading_ > 0) retired_.push_back(std::move((*it)->inbox));
    }
    inputs_.erase(from, inputs_.end());
}

void MidiPorts::wake() {
    if (wakeQueued_.exchange(true)) return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            wakeQueued_ = false;
            readInboxes();
        },
        Qt::QueuedConnection);
}

void MidiPorts::armBatches() {
    if (batchesArmed_.exchange(true)) return;
    QMetaObject::invokeMethod(
        this, [this] { batchTimer_.start(); }, Qt::QueuedConnection);
}

void MidiPorts::batchTick() {
    // Batches keep coming: read again in kBatchMs.
    if (readInboxes()) return;
    // None: stop, unless one came in between (its port's thread then saw the timer as running).
    batchesArmed_ = false;
    if (readInboxes()) {
        batchesArmed_ = true;
        return;
    }
    batchTimer_.stop();
}

bool MidiPorts::jackServerUp() {
    if (jack_ != nullptr && jackGone_.load()) {
        // The server went away (killed, stopped): every port is let go, on a thread of its own: RtMidi waits
        // a second for a JACK cycle that will never come before it closes each output port.
        auto gone = std::make_shared<Gone>();
        for (auto& in : inputs_) {
            gone->inputs.push_back(std::move(in->port));
            // An inbox stays until its port is closed (unless it is being read: it waits for that then).
            if (reading_ == 0) gone->inboxes.push_back(std::move(in->inbox));
        }
        closeInputs(inputs_.begin());
        for (auto& out : outputs_) gone->outputs.push_back(std::move(out->port));
        outputs_.clear();
        if (probe_) {
            gone->inputs.push_back(std::move(probe_->in));
            gone->outputs.push_back(std::move(probe_->out));
            probe_.reset();
        }
        gone->watch = jack_;
        jack_ = nullptr;
        jackGone_ = false;
        available_.clear();
        lettingGo_ = true;
        letGo_ = std::thread([this, gone] {
            // One after the other: JACK's library cannot close clients of a dead server side by side.
            gone->outputs.clear();
            gone->inputs.clear();
            gone->inboxes.clear();
            jack_client_close(static_cast<jack_client_t*>(gone->watch));
            lettingGo_ = false;
            // Looks again at once: the server may be back already.
            QMetaObject::invokeMethod(
                this, [this] { rescan(); }, Qt::QueuedConnection);
        });
        if (onPortsChanged) onPortsChanged();
    }
    // A new server is joined once the old one's clients are all closed.
    if (letGo_.joinable()) {
        if (lettingGo_.load()) return false;
        letGo_.join();
    }
    if (jack_ != nullptr) return true;
    // Opening a client where no server answers costs a thread, a database opened and some milliseconds. While
    // no server's socket shows, the library is asked every thirtieth time only (a server kept somewhere else).
    if (!jackServerMayListen() && jackMisses_++ % kJackMissStride != 0) return false;
    const QByteArray name = (client_ + QStringLiteral("-watch")).toUtf8();
    jack_client_t* watch = jack_client_open(name.constData(), JackNoStartServer, nullptr);
    if (watch == nullptr) return false;
    jack_on_shutdown(
        watch, [](void* self) { static_cast<MidiPorts*>(self)->jackGone_ = true; }, this);
    if (jack_activate(watch) != 0) {
        jack_client_close(watch);
        return false;
    }
    jack_ = watch;
    return true;
}

void MidiPorts::setChosenInputs(const QStringList& names) {
    chosen_ = names;
    rescan();
}

void MidiPorts::start(int intervalMs) {
    rescan();
    timer_.start(intervalMs);
}

bool MidiPorts::ownPort(const QString& name) const {
    return name.startsWith(client_);
}

bool MidiPorts::rescan() {
    // ALSA without its sequencer device has nothing to open (and its library would complain each time).
    if (api_ == MidiApi::kAlsa && !sequencerPresent()) return false;
    if (api_ == MidiApi::kJack && !jackServerUp()) return false;
    if (!probe_) {
        try {
            auto probe = std::make_unique<Probe>();
            probe->in = std::make_unique<RtMidiIn>(rtApi(api_), client_.toStdString());
            probe->in->setErrorCallback(quietly);
            probe->out = std::make_unique<RtMidiOut>(rtApi(api_), client_.toStdString());
            probe->out->setErrorCallback(quietly);
            probe_ = std::move(probe);
        } catch (const RtMidiError&) {
            return false;
        }
    }
    QStringList inputs;
    QStringList outputs;
    try {
        inputs = portNames(*probe_->in);
        outputs = portNames(*probe_->out);
    } catch (const RtMidiError&) {
        return false;
    }
    answered_ = true;
    inputs.erase(
        std::remove_if(inputs.begin(), inputs.end(), [this](const QString& n) { return ownPort(n); }),
        inputs.end());
    outputs.erase(
        std::remove_if(outputs.begin(), outputs.end(), [this](const QString& n) { return ownPort(n); }),
        outputs.end());
    // A port listed or gone counts as a change even when it is not opened (the dialog lists them all).
    bool changed = available_ != inputs;
    available_ = inputs;
    // Let go of what is gone (or no longer chosen).
    const auto goneIn = std::remove_if(inputs_.begin(), inputs_.end(), [&](const std::unique_ptr<Input>& in) {
        return !inputs.contains(in->name) || (!chosen_.isEmpty() && !chosen_.contains(in->name));
    });
    changed |= goneIn != inputs_.end();
    closeInputs(goneIn);
    const auto goneOut =
        std::remove_if(outputs_.begin(), outputs_.end(),
                       [&](const std::unique_ptr<Output>& out) { return !outputs.contains(out->name); });
    changed |= goneOut != outputs_.end();
    outputs_.erase(goneOut, outputs_.end());
    // Pick up what came.
    for (const QString& name : inputs) {
        if (!chosen_.isEmpty() && !chosen_.contains(name)) continue;
        if (std::any_of(inputs_.begin(), inputs_.end(), [&](const auto& in) { return in->name == name; }))
            continue;
        auto input = std::make_unique<Input>();
        input->name = name;
        input->inbox = std::make_unique<Inbox>(*this, name);
        try {
            input->port = std::make_unique<RtMidiIn>(rtApi(api_), client_.toStdString());
            input->port->setErrorCallback(quietly);
            input->port->ignoreTypes(true, true, true);
            input->port->setCallback(
                [](double, std::vector<unsigned char>* message, void* user) {
                    static_cast<Inbox*>(user)->post(
                        std::span<const std::uint8_t>(message->data(), message->size()));
                },
                input->inbox.get());
            if (!openByName(*input->port, name, "in")) continue;
        } catch (const RtMidiError&) {
            continue;
        }
        inputs_.push_back(std::move(input));
        changed = true;
    }
    for (const QString& name : outputs) {
        if (std::any_of(outputs_.begin(), outputs_.end(), [&](const auto& out) { return out->name == name; }))
            continue;
        auto output = std::make_unique<Output>();
        output->name = name;
        try {
            output->port = std::make_unique<RtMidiOut>(rtApi(api_), client_.toStdString());
            output->port->setErrorCallback(quietly);
            if (!openByName(*output->port, name, "out")) continue;
        } catch (const RtMidiError&) {
            continue;
        }
        outputs_.push_back(std::move(output));
        changed = true;
    }
    if (changed && onPortsChanged) onPortsChanged();
    return changed;
}

QStringList MidiPorts::openInputs() const {
    QStringList names;
    for (const auto& in : inputs_) names << in->name;
    return names;
}

QStringList MidiPorts::openOutputs() const {
    QStringList names;
    for (const auto& out : outputs_) names << out->name;
    return names;
}

void MidiPorts::send(const QString& port, std::span<const std::uint8_t> bytes) {
    for (const auto& out : outputs_) {
        if (out->name != port) continue;
        try {
            out->port->sendMessage(bytes.data(), bytes.size());
        } catch (const RtMidiError&) {
        }
    }
}

}  // namespace korvex::midi
