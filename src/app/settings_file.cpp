#include "app/settings_file.h"

#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringEncoder>
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <type_traits>
#include <variant>
#include <vector>

#include "base/file_names.h"
#include "base/ordinary_file.h"
#include "songlist/song_list.h"
#include "songlist/song_list_file.h"

namespace korvex::app {

namespace {

using base::LineSource;
using songlist::SongList;

// The values a 16-bit Integer line can hold.
constexpr int kMinInteger = -32768;
constexpr int kMaxInteger = 32767;
// Significant digits of a Single written as text.
constexpr int kSingleDigits = 7;
// `newtrim` when the settings are reset.
constexpr int kDefaultNewtrim = 20;

QString resetMessage() {
    return QStringLiteral("Korvexの状態を初期化します。");
}
QString cannotSaveMessage(const QString& name) {
    return name + QStringLiteral("の保存に問題が発生しました。");
}

// One settings line and the variable it belongs to; the type says how the line is written and read.
using Field = std::variant<int*, bool*, float*, QString*>;

// The settings after the current rows, in file order, up to the slot modes. The slot paths follow; they
// are read only when the sampler is on, so they are not part of this table.
std::vector<Field> settingFields(const SettingsTargets& t) {
    deck::DeckSettings& deck = t.transport.settings();
    std::vector<Field> fields{
        &t.view.samplerview, &t.view.listview,       &deck.autoplay2,
        &t.startup,          &deck.random,           &t.kept.windowTop,
        &t.kept.windowLeft,  &deck.headinterval,     &t.mixer.playonswitch,
        &t.skinname,         &t.dialogFolder,        &t.samplerenabled,
        &t.newtrim,          &deck.gapticks,         &deck.autocrossfadeplay,
        &deck.countdown,     &t.kept.reservedNumber, &t.kept.reservedFlag,
    };
    // The fader table goes pattern by pattern, each pattern's four points in slider order.
    for (std::size_t pattern = 0; pattern < 3; ++pattern) {
        for (std::size_t point = 0; point < 4; ++point)
            fields.emplace_back(&t.mixer.fadertable[pattern + 3 * point]);
    }
    for (int& time : deck.switchtime) fields.emplace_back(&time);
    for (int& mode : t.slots.slotmode) fields.emplace_back(&mode);
    return fields;
}

// --- values to text ---------------------------------------------------------------------------------------

QString integerText(int value) {
    return QString::number(std::clamp(value, kMinInteger, kMaxInteger));
}

QString booleanText(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

// The plain number form: the signed form without its leading blank.
QString singleText(float value) {
    QString text = songlist::signedNumberText(static_cast<double>(value), kSingleDigits);
    if (text.startsWith(u' ')) text.remove(0, 1);
    return text;
}

// A text as one line of the file: a line break would shift every line after it.
QString lineText(const QString& text) {
    if (!text.contains(u'\n') && !text.contains(u'\r')) return text;
    QString line = text;
    line.replace(u'\n', QChar::ReplacementCharacter);
    line.replace(u'\r', QChar::ReplacementCharacter);
    return line;
}

QString fieldText(const Field& field) {
    return std::visit(
        [](const auto* v) {
            using T = std::remove_cvref_t<decltype(*v)>;
            if constexpr (std::is_same_v<T, int>)
                return integerText(*v);
            else if constexpr (std::is_same_v<T, bool>)
                return booleanText(*v);
            else if constexpr (std::is_same_v<T, float>)
                return singleText(*v);
            else
                return lineText(*v);
        },
        field);
}

// --- text to values ---------------------------------------------------------------------------------------

// A whole number with an optional sign, blanks around it allowed, within the 16-bit range.
std::optional<int> integerValue(const QString& line) {
    const QString text = line.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    if (i == text.size()) return std::nullopt;
    int value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < u'0' || text[i] > u'9') return std::nullopt;
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > kMaxInteger + 1) return std::nullopt;  // out of range already; stop before it grows
    }
    if (negative) value = -value;
    if (value < kMinInteger || value > kMaxInteger) return std::nullopt;
    return value;
}

// "True" or "False" in any case, or a number (0 is False, anything else True).
std::optional<bool> booleanValue(const QString& line) {
    const QString text = line.trimmed();
    if (text.compare(u"True", Qt::CaseInsensitive) == 0) return true;
    if (text.compare(u"False", Qt::CaseInsensitive) == 0) return false;
    if (const std::optional<double> number = songlist::memoryNumber(text)) return *number != 0.0;
    return std::nullopt;
}

// A decimal number ("." separator) that fits a single-precision value.
std::optional<float> singleValue(const QString& line) {
    const std::optional<double> number = songlist::memoryNumber(line);
    if (!number || std::fabs(*number) > static_cast<double>(std::numeric_limits<float>::max()))
        return std::nullopt;
    return static_cast<float>(*number);
}

// Stores `value` into `v` when there is one.
template <typename T>
bool assignIf(T* v, const std::optional<T>& value) {
    if (!value) return false;
    *v = *value;
    return true;
}

bool store(int* v, const QString& text) {
    return assignIf(v, integerValue(text));
}
bool store(bool* v, const QString& text) {
    return assignIf(v, booleanValue(text));
}
bool store(float* v, const QString& text) {
    return assignIf(v, singleValue(text));
}
bool store(QString* v, const QString& text) {
    *v = text;
    return true;
}

// Reads the next line into `field`; false, leaving the variable alone, when there is no line or it does not
// convert.
bool readField(LineSource& in, const Field& field) {
    const std::optional<QString> line = in.next();
    if (!line) return false;
    return std::visit([&line](auto* v) { return store(v, *line); }, field);
}

// The file's bytes: each line in UTF-8 followed by CR LF. Written into one buffer sized for the worst case,
// since two full lists make close to half a million lines and a buffer grown line by line costs more than
// the encoding itself.
QByteArray encodeFile(const QStringList& lines) {
    qsizetype units = 0;
    for (const QString& line : lines) units += line.size();
    QStringEncoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QByteArray bytes(utf8.requiredSpace(units) + 2 * lines.size(), Qt::Uninitialized);
    char* out = bytes.data();
    for (const QString& line : lines) {
        out = utf8.appendToBuffer(out, line);
        *out++ = '\r';
        *out++ = '\n';
    }
    bytes.truncate(out - bytes.data());
    return bytes;
}

// Writes `lines` to a new file beside `path` and puts it in place of `path` only once all of it is on disk.
// A short write is not always reported by write() (the last block may still wait in the buffer) and
// commit() does not report a failing flush, so flush() and fsync() are checked here: a full disk or a size
// limit must never replace the previous file with part of the new one.
bool replaceFile(const QString& path, const QStringList& lines) {
    // A pipe or a device in the settings file's place was never read; it is not swapped for a file either.
    if (!base::mayReplace(path)) return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    const QByteArray bytes = encodeFile(lines);
    const bool written = file.write(bytes) == bytes.size() && file.flush() && ::fsync(file.handle()) == 0;
    if (!written) {
        file.cancelWriting();
        file.commit();  // removes the new file
        return false;
    }
    return file.commit();
}

}  // namespace

SettingsFile::SettingsFile(QString path, SettingsTargets targets, base::MessageBoxes& messages,
                           SettingsEffects effects)
    : path_(std::move(path)), targets_(targets), messages_(messages), effects_(std::move(effects)) {}

// --- saving -----------------------------------------------------------------------------------------------

QStringList SettingsFile::lines() const {
    const SongList& listA = targets_.transport.list(0);
    const SongList& listB = targets_.transport.list(1);
    QStringList out;
    out.reserve(2 + qsizetype{songlist::kColumnCount} * (listA.count() + listB.count()) + 64);
    songlist::save1(listA, out);
    songlist::save1(listB, out);
    out.append(integerText(listA.current()));
    out.append(integerText(listB.current()));
    for (const Field& field : settingFields(targets_)) out.append(fieldText(field));
    // A slot emptied or never filled since the start keeps the path the file had while the sampler was off.
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        const QString& live = targets_.slots.slotpath[slot];
        out.append(lineText(base::fileNameLine(live.isEmpty() ? carriedSlotPaths_[slot] : live)));
    }
    return out;
}

bool SettingsFile::savest() {
    // The user's configuration folder may not exist yet on a first run.
    const bool written =
        !path_.isEmpty() && QDir().mkpath(QFileInfo(path_).absolutePath()) && replaceFile(path_, lines());
    if (!written) messages_.inform(cannotSaveMessage(path_), QString(), base::MessageIcon::Critical);
    return written;
}

// --- loading ----------------------------------------------------------------------------------------------

SettingsLoad SettingsFile::loadsettings() {
    // A file that cannot be read is read as one without lines: it resets.
    const std::optional<QStringList> fileLines =
        path_.isEmpty() ? std::nullopt : base::readTextFile(path_);
    return loadLines(fileLines.value_or(QStringList()));
}

SettingsLoad SettingsFile::loadLines(const QStringList& fileLines) {
    LineSource in(fileLines);
    const bool complete = readAll(in);
    if (!complete) reset();
    // The levels follow the restored trims and the fader table, whichever way the load ended.
    targets_.transport.hooks().volcontrol();
    targets_.transport.touch();
    return complete ? SettingsLoad::kRead : SettingsLoad::kReset;
}

bool SettingsFile::readAll(LineSource& in) {
    for (int deck = 0; deck < 2; ++deck) {
        if (songlist::readDeckBlock(in, targets_.transport.list(deck)) != songlist::BlockRead::Complete)
            return false;
    }
    if (!restoreDecks(in)) return false;
    for (const Field& field : settingFields(targets_)) {
        if (!readField(in, field)) return false;
    }
    return readSlotPaths(in);
}

bool SettingsFile::restoreDecks(LineSource& in) {
    // Only a deck B with songs brings back the current songs, deck A's included.
    if (targets_.transport.list(1).count() <= 0) return in.next() && in.next();
    for (int deck = 0; deck < 2; ++deck) {
        const std::optional<QString> line = in.next();
        if (!line) return false;
        const std::optional<int> row = integerValue(*line);
        SongList& list = targets_.transport.list(deck);
        if (!row || *row < -1 || *row >= list.count()) return false;
        list.select(*row);
        applyRow(deck);
    }
    return true;
}

void SettingsFile::applyRow(int deck) {
    deck::DeckTransport& transport = targets_.transport;
    const SongList& list = transport.list(deck);
    // A list saved without a current song gives its deck nothing to load.
    if (list.current() < 0) return;
    if (effects_.mayOpen && !effects_.mayOpen(list.currentField(songlist::kPath))) return;
    DeckPlayer& player = transport.player(deck);
    player.setFileName(base::fileNameString(list.currentField(songlist::kPath)));
    // A tempo memory that is not a number plays at normal speed, as a song load has it.
    transport.hooks().pitchset(deck,
                               songlist::memoryNumber(list.currentField(songlist::kTempo)).value_or(100.0));
    transport.hooks().trimlinedraw(deck);
    player.setSelectionStart(songlist::memoryValue(list.currentField(songlist::kStart)));
    transport.view(deck).text2 = list.currentField(songlist::kTitle);
    transport.view(deck).totaltime = transport.loadedLength(deck);
}

bool SettingsFile::readSlotPaths(LineSource& in) {
    if (!targets_.samplerenabled) {
        // Nothing loads them now; they are kept for the next save. A file that ends before them is whole.
        for (QString& carried : carriedSlotPaths_) {
            std::optional<QString> line = in.next();
            if (!line) break;
            carried = base::fileNameOfLine(*line);
        }
        return true;
    }
    runInitsound();
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        std::optional<QString> line = in.next();
        if (!line) return false;
        *line = base::fileNameOfLine(*line);
        // Without a sound device the slot cannot be filled; its path is carried to the next save instead.
        if (!targets_.samplerenabled || (!line->isEmpty() && effects_.mayOpen && !effects_.mayOpen(*line))) {
            carriedSlotPaths_[slot] = std::move(*line);
            continue;
        }
        targets_.slots.slotpath[slot] = *line;
        if (!line->isEmpty() && effects_.loadslot)
            effects_.loadslot(static_cast<int>(slot), targets_.slots.slotmode[slot], *line);
    }
    return true;
}

void SettingsFile::runInitsound() {
    if (effects_.initsound) effects_.initsound();
}

void SettingsFile::reset() {
    messages_.inform(resetMessage(), QString(), base::MessageIcon::None);
    deck::DeckSettings& deck = targets_.transport.settings();
    const deck::DeckSettings defaults;
    targets_.startup = false;
    deck.random = false;
    deck.autocrossfadeplay = false;
    deck.countdown = false;
    targets_.view.samplerview = true;
    targets_.view.listview = true;
    targets_.samplerenabled = true;
    targets_.mixer.playonswitch = true;
    targets_.kept.reservedFlag = true;
    targets_.mixer.fadertable = mixer::kDefaultFaderTable;
    deck.switchtime = defaults.switchtime;
    deck.headinterval = defaults.headinterval;
    deck.gapticks = defaults.gapticks;
    targets_.skinname = QString::fromUtf8(appearance::kDefaultSkin.data(),
                                          static_cast<qsizetype>(appearance::kDefaultSkin.size()));
    targets_.newtrim = kDefaultNewtrim;
    runInitsound();
}

// --- where the file is ------------------------------------------------------------------------------------

QString settingsFilePath(const QString& executableDir, const QProcessEnvironment& environment) {
    const QString fileName = QString::fromLatin1(kSettingsFileName);
    if (!executableDir.isEmpty()) {
        const QString portable = QDir(executableDir).filePath(fileName);
        if (QFileInfo(portable).isFile()) return portable;
    }
    // A relative XDG_CONFIG_HOME is to be ignored, as if it were not set.
    QString config = environment.value(QStringLiteral("XDG_CONFIG_HOME"));
    if (config.isEmpty() || QDir::isRelativePath(config)) {
        const QString home = environment.value(QStringLiteral("HOME"));
        if (home.isEmpty()) return QString();
        config = QDir(home).filePath(QStringLiteral(".config"));
    }
    return QDir::cleanPath(QDir(config).filePath(QStringLiteral("korvex/") + fileName));
}

QString standardSettingsFilePath() {
    return settingsFilePath(QCoreApplication::applicationDirPath(), QProcessEnvironment::systemEnvironment());
}

}  // namespace korvex::app
