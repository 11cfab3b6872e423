#include "recorder/command_interface.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>

#include "recorder/mci_errors.h"

namespace korvex::recorder {

namespace {

bool is(const QString& word, const char* keyword) {
    return word.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0;
}

// The value of a "set" parameter, or -1 when it is not a whole decimal number.
int number(const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok && value >= 0 ? value : -1;
}

// Rates the converter records (the resampler reaches down to an eighth of the capture's rate).
constexpr int kMinRate = 8000;
constexpr int kMaxRate = 96000;

}  // namespace

CommandInterface::CommandInterface(SourceFactory sources) : sources_(std::move(sources)) {}

CommandInterface::~CommandInterface() {
    // The program ends with a device still open: what it recorded stays in its temporary file. Only a
    // "close" throws a recording away.
    for (auto& entry : devices_) {
        audio::WaveRecording& recording = *entry.second.recording;
        if (recording.started() && !recording.saved()) recording.keep();
    }
}

const audio::WaveRecording* CommandInterface::recording(const QString& alias) const {
    const auto it = devices_.find(alias.toLower());
    return it == devices_.end() ? nullptr : it->second.recording.get();
}

CommandInterface::Device* CommandInterface::find(const QString& alias) {
    const auto it = devices_.find(alias.toLower());
    return it == devices_.end() ? nullptr : &it->second;
}

CommandInterface::Cause CommandInterface::fileCause(const audio::WaveRecording& recording) {
    switch (recording.errorNumber()) {
        case ENOENT:
        case ENOTDIR:
            return Cause::kNoFolder;
        case EACCES:
        case EPERM:
        case EROFS:
            return Cause::kNoPermission;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return Cause::kDiskFull;
        default:
            return Cause::kOther;
    }
}

int CommandInterface::mci(const QString& command, QString& text) {
    cause_ = Cause::kNone;
    if (command.isEmpty()) {
        text = emptyCommandText();
        return -1;
    }
    const int code = run(command);
    if (code == 0) {
        text.clear();
    } else if (!mciErrorText(code, text)) {
        text = noErrorText();
    }
    return code;
}

int CommandInterface::run(const QString& command) {
    const QStringList words = command.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    if (words.isEmpty()) return mcierr::kUnrecognizedCommand;
    const QString& verb = words[0];
    if (is(verb, "open")) return open(words);
    if (!is(verb, "set") && !is(verb, "record") && !is(verb, "stop") && !is(verb, "save") &&
        !is(verb, "close"))
        return mcierr::kUnrecognizedCommand;
    if (words.size() < 2) return mcierr::kInvalidDeviceName;
    if (is(verb, "close") && is(words[1], "all") && words.size() == 2) {
        devices_.clear();
        return 0;
    }
    Device* device = find(words[1]);
    if (device == nullptr) return mcierr::kInvalidDeviceName;
    audio::WaveRecording& recording = *device->recording;

    if (is(verb, "set")) return set(*device, words);
    if (is(verb, "save")) {
        // The name is everything after the alias, spaces included.
        static const QRegularExpression kSave(QStringLiteral("^\\s*\\S+\\s+\\S+\\s+(.*\\S)\\s*$"));
        const auto match = kSave.match(command);
        if (!match.hasMatch()) return mcierr::kUnrecognizedKeyword;
        return save(*device, match.captured(1));
    }
    if (words.size() > 2) return mcierr::kUnrecognizedKeyword;
    if (is(verb, "record")) {
        if (recording.saved()) return mcierr::kBadSequence;
        if (recording.recording()) return 0;
        std::unique_ptr<audio::CaptureSource> source = sources_ ? sources_() : nullptr;
        cause_ = Cause::kNoInput;
        if (source == nullptr) return mcierr::kWaveInputUnavailable;
        std::string error;
        switch (recording.start(std::move(source), error)) {
            case audio::WaveRecording::StartResult::kStarted:
                cause_ = Cause::kNone;
                return 0;
            case audio::WaveRecording::StartResult::kNoFile:
                cause_ = fileCause(recording);
                return mcierr::kFileWrite;
            case audio::WaveRecording::StartResult::kNoSource:
                break;
        }
        return mcierr::kWaveInputUnavailable;
    }
    if (is(verb, "stop")) {
        recording.stop();
        return 0;
    }
    // close
    devices_.erase(words[1].toLower());
    return 0;
}

int CommandInterface::open(const QStringList& words) {
    // open new type waveaudio alias NAME
    if (words.size() < 2 || !is(words[1], "new")) return mcierr::kUnsupportedFunction;
    QString type;
    QString alias;
    for (qsizetype i = 2; i < words.size(); i += 2) {
        if (i + 1 >= words.size()) return mcierr::kUnrecognizedKeyword;
        if (is(words[i], "type")) {
            type = words[i + 1];
        } else if (is(words[i], "alias")) {
            alias = words[i + 1];
        } else {
            return mcierr::kUnrecognizedKeyword;
        }
    }
    if (!is(type, "waveaudio")) return mcierr::kInvalidDeviceName;
    if (alias.isEmpty()) alias = type;
    if (find(alias) != nullptr) return mcierr::kDuplicateAlias;
    const QFileInfo destination(destination_);
    const QString folder = destination_.isEmpty() ? QDir::tempPath() : destination.absolutePath();
    const QString stem = destination_.isEmpty() ? QStringLiteral("korvex") : destination.completeBaseName();
    devices_[alias.toLower()].recording =
        std::make_unique<audio::WaveRecording>(folder.toStdString(), stem.toStdString());
    return 0;
}

int CommandInterface::set(Device& device, const QStringList& words) {
    if (words.size() != 4) return mcierr::kUnrecognizedKeyword;
    audio::WaveRecording& recording = *device.recording;
    audio::WaveFormat format = recording.format();
    const QString& item = words[2];
    const int value = number(words[3]);
    if (is(item, "bitspersample")) {
        if (value < 0) return mcierr::kUnrecognizedKeyword;
        if (value != 8 && value != 16) return mcierr::kWaveInputUnavailable;
        format.bits = value;
    } else if (is(item, "samplespersec")) {
        if (value < 0) return mcierr::kUnrecognizedKeyword;
        if (value < kMinRate || value > kMaxRate) return mcierr::kWaveInputUnavailable;
        format.rate = value;
    } else if (is(item, "channels")) {
        if (value < 0) return mcierr::kUnrecognizedKeyword;
        if (value != 1 && value != 2) return mcierr::kWaveInputUnavailable;
        format.channels = value;
    } else {
        return mcierr::kUnrecognizedKeyword;
    }
    if (recording.started()) return mcierr::kBadSequence;
    recording.setFormat(format);
    return 0;
}

int CommandInterface::save(Device& device, const QString& name) {
    QString path = name;
    if (path.size() >= 2 && path.startsWith(QLatin1Char('"')) && path.endsWith(QLatin1Char('"')))
        path = path.mid(1, path.size() - 2);
    if (path.isEmpty()) return mcierr::kUnrecognizedKeyword;
    std::string error;
    audio::WaveRecording& recording = *device.recording;
    switch (recording.save(QFileInfo(path).absoluteFilePath().toStdString(), error)) {
        case audio::WaveRecording::SaveResult::kSaved:
            return 0;
        case audio::WaveRecording::SaveResult::kNoFolder:
            cause_ = Cause::kNoFolder;
            return mcierr::kFileNotFound;
        case audio::WaveRecording::SaveResult::kWriteFailed:
            break;
        case audio::WaveRecording::SaveResult::kIncomplete:
            cause_ = recording.full() ? Cause::kDiskFull : Cause::kFramesLost;
            return recording.full() ? mcierr::kFileWrite : mcierr::kFramesLost;
    }
    cause_ = fileCause(recording);
    return mcierr::kFileWrite;
}

}  // namespace korvex::recorder
