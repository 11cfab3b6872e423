#include "control/midi/midi_ports.h"

#include <jack/jack.h>
#include <rtmidi/RtMidi.h>

#include <QFileInfo>
#include <QMetaObject>
#include <algorithm>

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
    MidiPorts* owner = nullptr;
    std::unique_ptr<RtMidiIn> port;
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
}

MidiPorts::~MidiPorts() {
    timer_.stop();
    // The input threads end with their ports, before the object their messages are queued to.
    inputs_.clear();
    outputs_.clear();
    probe_.reset();
    if (jack_ != nullptr) jack_client_close(static_cast<jack_client_t*>(jack_));
}

bool MidiPorts::jackServerUp() {
    if (jack_ != nullptr && jackGone_.load()) {
        inputs_.clear();
        outputs_.clear();
        probe_.reset();
        available_.clear();
        jack_client_close(static_cast<jack_client_t*>(jack_));
        jack_ = nullptr;
        jackGone_ = false;
        if (onPortsChanged) onPortsChanged();
    }
    if (jack_ != nullptr) return true;
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
    available_ = inputs;
    bool changed = false;
    // Let go of what is gone (or no longer chosen).
    const auto goneIn = std::remove_if(inputs_.begin(), inputs_.end(), [&](const std::unique_ptr<Input>& in) {
        return !inputs.contains(in->name) || (!chosen_.isEmpty() && !chosen_.contains(in->name));
    });
    changed |= goneIn != inputs_.end();
    inputs_.erase(goneIn, inputs_.end());
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
        input->owner = this;
        try {
            input->port = std::make_unique<RtMidiIn>(rtApi(api_), client_.toStdString());
            input->port->setErrorCallback(quietly);
            input->port->ignoreTypes(true, true, true);
            input->port->setCallback(
                [](double, std::vector<unsigned char>* message, void* user) {
                    auto* in = static_cast<Input*>(user);
                    in->owner->post(in->name, std::vector<std::uint8_t>(message->begin(), message->end()));
                },
                input.get());
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

void MidiPorts::post(const QString& port, std::vector<std::uint8_t> bytes) {
    QMetaObject::invokeMethod(
        this,
        [this, port, bytes = std::move(bytes)] {
            if (onMessage) onMessage(port, bytes);
        },
        Qt::QueuedConnection);
}

}  // namespace korvex::midi
