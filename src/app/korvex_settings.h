#pragma once
// Korvex's own settings: what the player keeps beyond the positional settings file korvexp.ini, whose layout
// stays as it is. One small "key=value" file beside it (korvex.ini), read at start and written with it.
//
// A missing, unreadable or broken file gives the defaults; a line that is not understood (a key of a newer
// version, say) is kept and written back as it was, so going back and forth between versions loses nothing.

#include <QMap>
#include <QString>
#include <QStringList>
#include <array>

namespace korvex::app {

inline constexpr char kKorvexSettingsName[] = "korvex.ini";

struct KorvexSettings {
    // "演奏中のデッキを保護": a load onto a playing deck does nothing but flash its title.
    bool protectLiveDeck = false;
    // "曲名をファイル名で表示": the title lists show file names instead of the songs' tags.
    bool fileNameTitles = false;
    // "音量を自動で揃える": songs whose trim was never moved by hand play at a common loudness.
    bool autoTrim = false;
    // Each deck's keylock (A, B), as the DJ left it.
    std::array<bool, 2> keylock{};
    // "ヘッドホン": where the headphones go ("none", "channels", "split" or a sound device's name).
    QString headphones = QStringLiteral("none");
    // The MIDI mapping file (empty: the generic mapping) and the MIDI input ports to open (empty: every one).
    QString midiMapping;
    QStringList midiPorts;
    // The broadcast ("配信"): each "broadcast-KEY=value" line (server, port, mount, user, password, bitrate,
    // samplerate, channels, name, genre), by KEY. The file is made readable by its owner only while it holds
    // a password.
    QMap<QString, QString> broadcast;
    // Lines read that this version does not understand, in their order.
    QStringList otherLines;
};

// The file beside the settings file `settingsPath` (empty when that is empty).
QString korvexSettingsBeside(const QString& settingsPath);
// Reads `path` into `settings` (defaults for what is missing or broken). False when there was no readable
// file (a pipe or a folder in its place is not read).
bool readKorvexSettings(const QString& path, KorvexSettings& settings);
// Writes `settings` to `path`, replacing the file only once all of it is written.
bool writeKorvexSettings(const QString& path, const KorvexSettings& settings);

}  // namespace korvex::app
