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
    if (onMappingChanged) onMappingChanged();
}

std::vector<int> MidiControl::relativeControls() const {
    // Per control change (channel * 128 + number): 1 when every binding on it is relative and works a knob
    // or a wheel, -1 when any is not (an absolute or 14-bit binding, a button, an unknown operation).
    std::array<signed char, 16 * 128> state{};
    const auto mark = [&](int channel, int number, bool relative) {
        if (number > 127) return;
        signed char& s = state[static_cast<std::size_t>(channel * 128 + number)];
        s = relative && s >= 0 ? 1 : -1;
    };
    for (const Binding& b : mapping_.bindings) {
        if (b.kind == MessageKind::kCc14) {
            mark(b.channel, b.number, false);
            mark(b.channel, b.number + 32, false);
        } else if (b.kind == MessageKind::kCc || b.kind == MessageKind::kCcRelative) {
            const Operation* op = find(b.operation);
            mark(b.channel, b.number,
                 b.kind == MessageKind::kCcRelative && op != nullptr && op->kind != Operation::Kind::kButton);
        }
    }
    std::vector<int> keys;
    for (std::size_t k = 0; k < state.size(); ++k)
        if (state[k] > 0) keys.push_back(static_cast<int>(k));
    return keys;
}

void MidiControl::handleSteps(const QString& port, int channel, int number, int steps) {
    if (steps == 0 || channel < 0 || channel > 15 || number < 0 || number > 127) return;
    if (onLearn) {
        onLearn({port, MessageKind::kCc, channel, number});
        return;
    }
    for (std::size_t i = 0; i < mapping_.bindings.size(); ++i) {
        const Binding& b = mapping_.bindings[i];
        if (b.kind == MessageKind::kCcRelative && b.channel == channel && b.number == number &&
            portMatches(b.port, port))
            apply(i, b, 0, false, steps);
    }
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
                    apply(i, b, data2, type == 0x80 || data2 == 0, 0);
                break;
            case MessageKind::kCc:
                if (type == 0xB0 && data1 == b.number) apply(i, b, data2, false, 0);
                break;
            case MessageKind::kCcRelative:
                if (type == 0xB0 && data1 == b.number) apply(i, b, data2, false, relativeSteps(data2));
                break;
            case MessageKind::kCc14:
                if (type == 0xB0 && (data1 == b.number || data1 == b.number + 32)) {
                    halves_[i][data1 == b.number ? 0 : 1] = data2;
                    apply(i, b, (halves_[i][0] << 7) | halves_[i][1], false, 0);
                }
                break;
            case MessageKind::kPitchBend:
                if (type == 0xE0) apply(i, b, (data2 << 7) | data1, false, 0);
                break;
        }
    }
}

void MidiControl::apply(std::size_t index, const Binding& binding, int data, bool isNoteOff, int steps) {
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
                input.pressed = relative ? steps > 0 : data / full >= 0.5;
                if (input.pressed == down_[index]) return;
            }
            down_[index] = input.pressed;
            break;
        }
        case Operation::Kind::kKnob: {
            if (binding.kind == MessageKind::kNote) return;
            const double now = op->position ? op->position(binding.argument) : 0.0;
            if (relative) {
                const double step = steps * binding.scale / 127.0;
                input.value = std::clamp(now + (binding.invert ? -step : step), 0.0, 1.0);
            } else {
                input.value = binding.invert ? 1.0 - data / full : data / full;
                if (binding.takeover && !takesOver(index, *op, binding.argument, input.value)) return;
            }
            input.absolute = true;
            break;
        }
        case Operation::Kind::kWheel: {
            if (!relative || steps == 0) return;
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
    // No controller to light (the usual case, every tick): the states are not even read.
    if (mapping_.lights.empty() || ports.isEmpty()) return out;
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
