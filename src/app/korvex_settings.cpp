#include "app/korvex_settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <optional>

#include "base/ordinary_file.h"

namespace korvex::app {
namespace {

constexpr char kHeader[] = "# Korvex's own settings (korvexp.ini beside this file keeps the player's lists and the rest)";
constexpr char kProtectLiveDeck[] = "protect-live-deck";
constexpr char kFileNameTitles[] = "file-name-titles";
constexpr char kAutoTrim[] = "auto-trim";
constexpr const char* kKeylock[] = {"keylock-a", "keylock-b"};
constexpr char kHeadphones[] = "headphones";
constexpr char kMidiMapping[] = "midi-mapping";
// Port names may hold anything but a line end; "|" parts them (no port name has one).
constexpr char kMidiPorts[] = "midi-ports";
constexpr char kBroadcastPrefix[] = "broadcast-";
// A settings file is a few lines; anything larger is not one.
constexpr qint64 kLimit = 64 * 1024;

std::optional<bool> flag(const QString& value) {
    if (value == QLatin1String("true")) return true;
    if (value == QLatin1String("false")) return false;
    return std::nullopt;
}

}  // namespace

QString korvexSettingsBeside(const QString& settingsPath) {
    if (settingsPath.isEmpty()) return QString();
    return QFileInfo(settingsPath).dir().filePath(QString::fromLatin1(kKorvexSettingsName));
}

bool readKorvexSettings(const QString& path, KorvexSettings& settings) {
    settings = KorvexSettings{};
    if (path.isEmpty()) return false;
    const std::optional<QByteArray> bytes = base::readOrdinaryFile(path, kLimit);
    if (!bytes) return false;
    const QStringList lines = QString::fromUtf8(*bytes).split(QLatin1Char('\n'));
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        if (line.isEmpty() || line == QLatin1String(kHeader)) continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        // A value that is not one leaves the default.
        if (equals > 0 && key == QLatin1String(kProtectLiveDeck)) {
            if (const std::optional<bool> on = flag(value)) settings.protectLiveDeck = *on;
            continue;
        }
        if (equals > 0 && key == QLatin1String(kFileNameTitles)) {
            if (const std::optional<bool> on = flag(value)) settings.fileNameTitles = *on;
            continue;
        }
        if (equals > 0 && key == QLatin1String(kAutoTrim)) {
            if (const std::optional<bool> on = flag(value)) settings.autoTrim = *on;
            continue;
        }
        if (equals > 0 && (key == QLatin1String(kKeylock[0]) || key == QLatin1String(kKeylock[1]))) {
            if (const std::optional<bool> on = flag(value)) settings.keylock[key == QLatin1String(kKeylock[0]) ? 0 : 1] = *on;
            continue;
        }
        if (equals > 0 && key == QLatin1String(kHeadphones)) {
            // Anything but an empty value names a mode or a device.
            if (!value.isEmpty()) settings.headphones = value;
            continue;
        }
        if (equals > 0 && key == QLatin1String(kMidiMapping)) {
            settings.midiMapping = value;
            continue;
        }
        if (equals > 0 && key == QLatin1String(kMidiPorts)) {
            settings.midiPorts = value.split(QLatin1Char('|'), Qt::SkipEmptyParts);
            continue;
        }
        if (equals > 0 && key.startsWith(QLatin1String(kBroadcastPrefix))) {
            settings.broadcast[key.mid(static_cast<qsizetype>(sizeof kBroadcastPrefix) - 1)] = value;
            continue;
        }
        settings.otherLines << line;
    }
    return true;
}

bool writeKorvexSettings(const QString& path, const KorvexSettings& settings) {
    if (path.isEmpty() || !base::mayReplace(path)) return false;
    QString text = QLatin1String(kHeader) + QStringLiteral("\r\n");
    auto flagLine = [](const char* key, bool on) {
        return QLatin1String(key) + QLatin1Char('=') + (on ? QStringLiteral("true") : QStringLiteral("false")) +
               QStringLiteral("\r\n");
    };
    text += flagLine(kProtectLiveDeck, settings.protectLiveDeck);
    text += flagLine(kFileNameTitles, settings.fileNameTitles);
    text += flagLine(kAutoTrim, settings.autoTrim);
    for (std::size_t deck = 0; deck < 2; ++deck) text += flagLine(kKeylock[deck], settings.keylock[deck]);
    text += QLatin1String(kHeadphones) + QLatin1Char('=') + settings.headphones + QStringLiteral("\r\n");
    text += QLatin1String(kMidiMapping) + QLatin1Char('=') + settings.midiMapping + QStringLiteral("\r\n");
    text += QLatin1String(kMidiPorts) + QLatin1Char('=') + settings.midiPorts.join(QLatin1Char('|')) +
            QStringLiteral("\r\n");
    for (auto it = settings.broadcast.cbegin(); it != settings.broadcast.cend(); ++it)
        text += QLatin1String(kBroadcastPrefix) + it.key() + QLatin1Char('=') + it.value() +
                QStringLiteral("\r\n");
    for (const QString& line : settings.otherLines) text += line + QStringLiteral("\r\n");
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    // A stored password is for the user's eyes only: the file is owner-only before a byte is written.
    if (!settings.broadcast.value(QStringLiteral("password")).isEmpty())
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(text.toUtf8());
    return file.commit();
}

}  // namespace korvex::app
