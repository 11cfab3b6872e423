#include "control/midi/midi_session.h"

#include <QFileInfo>
#include <optional>

#include "base/ordinary_file.h"

namespace korvex::midi {
namespace {

// A mapping is some hundred lines; a larger file is no mapping.
constexpr qint64 kMappingLimit = 1024 * 1024;

}  // namespace

MidiSession::MidiSession(PlayerTargets targets, MidiApi api, QString client)
    : operations_(control_, std::move(targets)), ports_(std::make_unique<MidiPorts>(api, std::move(client))) {
    control_.onMappingChanged = [this] { ports_->setRelativeControls(control_.relativeControls()); };
    QStringList errors;
    control_.setMappingText(genericMappingText(), errors);
    ports_->onSteps = [this](const QString& port, int channel, int number, int steps) {
        const std::uint64_t before = control_.revision();
        control_.handleSteps(port, channel, number, steps);
        if (control_.revision() != before && onWorked) onWorked();
    };
    ports_->onMessage = [this](const QString& port, std::span<const std::uint8_t> bytes) {
        const std::uint64_t before = control_.revision();
        control_.handle(port, bytes);
        if (control_.revision() != before && onWorked) onWorked();
    };
    ports_->onPortsChanged = [this] {
        updateLights();
        if (onPortsChanged) onPortsChanged();
    };
}

bool MidiSession::loadMapping(const QString& path, QString& message) {
    QStringList errors;
    if (path.isEmpty()) {
        control_.setMappingText(genericMappingText(), errors);
        mappingPath_.clear();
        return true;
    }
    const std::optional<QByteArray> bytes = base::readOrdinaryFile(path, kMappingLimit);
    if (!bytes) {
        message =
            QStringLiteral(
                "MIDI "
                "マッピングのファイルが読み込めません。\n%1\nファイルがあるか、読めるかを確かめてください。"
                "今のマッピングのまま続けます。")
                .arg(path);
        return false;
    }
    if (!control_.setMappingText(QString::fromUtf8(*bytes), errors)) {
        message =
            QStringLiteral(
                "MIDI マッピングのファイルに読めない行があります。\n%1\n%2\n今のマッピングのまま続けます。")
                .arg(path, errors.join(QLatin1Char('\n')));
        return false;
    }
    mappingPath_ = QFileInfo(path).absoluteFilePath();
    return true;
}

void MidiSession::start(const QStringList& inputs) {
    ports_->setChosenInputs(inputs);
    ports_->start();
}

void MidiSession::updateLights() {
    for (const MidiControl::Outgoing& out : control_.lights(ports_->openOutputs()))
        ports_->send(out.port, out.bytes);
}

}  // namespace korvex::midi
