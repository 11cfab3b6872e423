#include "control/midi/midi_control.h"

#include <algorithm>
#include <cmath>

namespace korvex::midi {
namespace {

// How near an absolute control must come to the knob on screen to take it over (about 3 of 127 steps).
constexpr double kTakeoverWindow = 0.025;
// How far the knob may have moved by other means (mouse, keys, a loaded song) before a control that held
// it must take it over again.
constexpr double kMovedElsewhere = 0.01;

bool portMatches(const QString& filter, const QString& port) {
    return filter.isEmpty() || port.contains(filter, Qt::CaseInsensitive);
}

// A relative control's steps: 1 .. 63 forward, 65 .. 127 back (two's complement), 0 and 64 none.
int relativeSteps(int data) {
    if (data >= 1 && data <= 63) return data;
    if (data >= 65) return data - 128;
    return 0;
}

}  // namespace

MidiControl::MidiControl() = default;

void MidiControl::addOperation(Operation operation) {
    operations_.push_back(std::move(operation));
}

void MidiControl::addState(LightState state) {
    states_.push_back(std::move(state));
}

MappingCatalog MidiControl::catalog() const {
    MappingCatalog catalog;
    catalog.operation = [this](const QString& name) -> std::optional<ArgKind> {
        if (const Operation* op = find(name)) return op->argument;
        return std::nullopt;
    };
    catalog.state = [this](const QString& name) -> std::optional<ArgKind> {
        for (const LightState& s : states_)
            if (s.name == name) return s.argument;
        return std::nullopt;
    };
    return catalog;
}

const Operation* MidiControl::find(const QString& name) const {
    for (const Operation& op : operations_)
        if (op.name == name) return &op;
    return nullptr;
}

bool MidiControl::setMappingText(const QString& text, QStringList& errors) {
    std::optional<Mapping> mapping = readMapping(text, catalog(), errors);
    if (!mapping) return false;
    setMapping(std::move(*mapping));
    return true;
}

void MidiControl::setMapping(Mapping mapping) {
    mapping_ = std::move(mapping);
    const std::size_t n = mapping_.bindings.size();
    takeover_.assign(n, {});
    halves_.assign(n, {0, 0});
    down_.assign(n, false);
    sent_.clear();
}

void MidiControl::handle(const QString& port, std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 3) return;
    const int status = bytes[0];
    const int type = status & 0xF0;
    const int channel = status & 0x0F;
    const int data1 = bytes[1];
    const int data2 = bytes[2];
    if (status < 0x80 || status >= 0xF0 || data1 > 127 || data2 > 127) return;
    if (type != 0x80 && type != 0x90 && type != 0xB0 && type != 0xE0) return;
    if (onLearn) {
        if (type == 0x80 || (type == 0x90 && data2 == 0)) return;
        const MessageKind kind = type == 0x90   ? MessageKind::kNote
                                 : type == 0xB0 ? MessageKind::kCc
                                                : MessageKind::kPitchBend;
        onLearn({port, kind, channel, type == 0xE0 ? 0 : data1});
        return;
    }
    for (std::size_t i = 0; i < mapping_.bindings.size(); ++i) {
        const Binding& b = mapping_.bindings[i];
        if (b.channel != channel || !portMatches(b.port, port)) continue;
        switch (b.kind) {
            case MessageKind::kNote:
                if ((type == 0x90 || type == 0x80) && data1 == b.number)
                    apply(i, b, data2, type == 0x80 || data2 == 0);
                break;
            case MessageKind::kCc:
            case MessageKind::kCcRelative:
                if (type == 0xB0 && data1 == b.number) apply(i, b, data2, false);
                break;
            case MessageKind::kCc14:
                if (type == 0xB0 && (data1 == b.number || data1 == b.number + 32)) {
                    halves_[i][data1 == b.number ? 0 : 1] = data2;
                    apply(i, b, (halves_[i][0] << 7) | halves_[i][1], false);
                }
                break;
            case MessageKind::kPitchBend:
                if (type == 0xE0) apply(i, b, (data2 << 7) | data1, false);
                break;
        }
    }
}

void MidiControl::apply(std::size_t index, const Binding& binding, int data, bool isNoteOff) {
    const Operation* op = find(binding.operation);
    if (op == nullptr || !op->act) return;
    MidiInput input;
    input.argument = binding.argument;
    const bool relative = binding.kind == MessageKind::kCcRelative;
    const double full =
        binding.kind == MessageKind::kCc14 || binding.kind == MessageKind::kPitchBend ? 16383.0 : 127.0;
    switch (op->kind) {
        case Operation::Kind::kButton: {
            if (binding.kind == MessageKind::kNote) {
                // Every note-on is a press (some pads send no note-off); a note-off releases a pressed one.
                if (isNoteOff && !down_[index]) return;
                input.pressed = !isNoteOff;
            } else {
                input.pressed = relative ? relativeSteps(data) > 0 : data / full >= 0.5;
                if (input.pressed == down_[index]) return;
            }
            down_[index] = input.pressed;
            break;
        }
        case Operation::Kind::kKnob: {
            if (binding.kind == MessageKind::kNote) return;
            const double now = op->position ? op->position(binding.argument) : 0.0;
            if (relative) {
                const double step = relativeSteps(data) * binding.scale / 127.0;
                input.value = std::clamp(now + (binding.invert ? -step : step), 0.0, 1.0);
            } else {
                input.value = binding.invert ? 1.0 - data / full : data / full;
                if (binding.takeover && !takesOver(index, *op, binding.argument, input.value)) return;
            }
            input.absolute = true;
            break;
        }
        case Operation::Kind::kWheel: {
            if (!relative) return;
            const int steps = relativeSteps(data);
            if (steps == 0) return;
            input.delta = steps * binding.scale * (binding.invert ? -1 : 1);
            input.relative = true;
            break;
        }
    }
    op->act(input);
    if (op->kind == Operation::Kind::kKnob && op->position)
        takeover_[index].leftAt = op->position(binding.argument);
    ++revision_;
}

bool MidiControl::takesOver(std::size_t index, const Operation& op, int argument, double value) {
    Takeover& t = takeover_[index];
    const double now = op.position ? op.position(argument) : value;
    if (t.engaged && std::abs(now - t.leftAt) > kMovedElsewhere) t.engaged = false;
    if (!t.engaged) {
        const bool near = std::abs(value - now) <= kTakeoverWindow;
        // Passing the knob between two messages (a fast move skips the window).
        const bool passed = t.lastAsked && (*t.lastAsked - now) * (value - now) <= 0.0;
        t.engaged = near || passed;
    }
    t.lastAsked = value;
    return t.engaged;
}

std::vector<MidiControl::Outgoing> MidiControl::lights(const QStringList& ports) {
    std::vector<Outgoing> out;
    for (auto it = sent_.begin(); it != sent_.end();) {
        if (!ports.contains(it->first))
            it = sent_.erase(it);
        else
            ++it;
    }
    if (mapping_.lights.empty()) return out;
    // Each state once, whatever number of ports.
    std::vector<int> values(mapping_.lights.size(), -1);
    for (std::size_t j = 0; j < mapping_.lights.size(); ++j) {
        const Light& l = mapping_.lights[j];
        for (const LightState& s : states_) {
            if (s.name != l.state) continue;
            values[j] = s.lit && s.lit(l.argument) ? l.on : l.off;
            break;
        }
    }
    for (const QString& port : ports) {
        std::vector<int>& sent = sent_[port];
        sent.resize(mapping_.lights.size(), -1);
        for (std::size_t j = 0; j < mapping_.lights.size(); ++j) {
            const Light& l = mapping_.lights[j];
            if (values[j] < 0 || sent[j] == values[j] || !portMatches(l.port, port)) continue;
            sent[j] = values[j];
            const int status = (l.kind == MessageKind::kCc ? 0xB0 : 0x90) | l.channel;
            out.push_back({port,
                           {static_cast<std::uint8_t>(status), static_cast<std::uint8_t>(l.number),
                            static_cast<std::uint8_t>(values[j])}});
        }
    }
    return out;
}

}  // namespace korvex::midi
