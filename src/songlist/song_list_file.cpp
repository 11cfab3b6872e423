#include "songlist/song_list_file.h"

#include <optional>

#include "base/file_names.h"

namespace korvex::songlist {

namespace {

// The range of a list's count line (a 16-bit signed value).
constexpr int kMinCount = -32768;
constexpr int kMaxCount = 32767;

const QString kListFilter = QStringLiteral("(*.lis;)|*.lis;");
const QString kListSuffix = QStringLiteral(".lis");

QString noSongsMessage() {
    return QStringLiteral("曲が読み込まれていません。");
}
// "ファイルが読み込めません。", then the list file and what is wrong with it, with what to do.
QString cannotReadMessage(const QString& name) {
    return QStringLiteral("ファイルが読み込めません。\n") + name +
           QStringLiteral(
               "\nファイルを開けないか、曲リストとしては大きすぎます。\n"
               "ファイルの権限を確かめるか、別の曲リストファイルを選んでください。");
}
QString brokenListMessage(const QString& name) {
    return QStringLiteral("ファイルが読み込めません。\n") + name +
           QStringLiteral(
               "\n曲リストの形式が途中で崩れています。崩れる前の曲だけをリストに入れました。\n別の曲リスト"
               "ファイルを選ぶか、足りない曲を追加し直してください。");
}
QString cannotSaveMessage(const QString& name) {
    return name + QStringLiteral("の保存に問題が発生しました。");
}

// A text as one line of the file: line breaks would end the line early and shift the rest of the file.
QString asOneLine(const QString& text) {
    if (!text.contains(u'\n') && !text.contains(u'\r')) return text;
    QString line = text;
    line.replace(u'\n', QChar::ReplacementCharacter);
    line.replace(u'\r', QChar::ReplacementCharacter);
    return line;
}

// The count line's value: a whole number with an optional sign, blanks around it allowed; nothing when the
// line holds anything else or a value outside the 16-bit range.
std::optional<int> countOf(const QString& line) {
    const QString text = line.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    if (i == text.size()) return std::nullopt;
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < u'0' || text[i] > u'9') return std::nullopt;
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > kMaxCount + 1) return std::nullopt;  // far out of range already; stop before overflow
    }
    if (negative) value = -value;
    if (value < kMinCount || value > kMaxCount) return std::nullopt;
    return static_cast<int>(value);
}

}  // namespace

void save1(const SongList& list, QStringList& out) {
    out.append(QString::number(list.count()));
    for (int c = 0; c < kColumnCount; ++c) {
        for (int i = 0; i < list.count(); ++i) {
            const QString& field = list.field(static_cast<Column>(c), i);
            out.append(asOneLine(c == kPath ? base::fileNameLine(field) : field));
        }
    }
}

BlockRead readDeckBlock(base::LineSource& in, SongList& list) {
    const std::optional<QString> countLine = in.next();
    if (!countLine) return BlockRead::EndedEarly;
    const std::optional<int> count = countOf(*countLine);
    if (!count) return BlockRead::BadCount;

    // The columns come one after the other, so a file that ends early has its last columns short. The
    // lines are gathered first (never more than the file holds, whatever the count says) and only whole
    // songs go into the list, keeping its columns the same length.
    std::array<QStringList, kColumnCount> columns;
    bool ended = false;
    for (int c = 0; c < kColumnCount && !ended; ++c) {
        for (int i = 0; i < *count; ++i) {
            std::optional<QString> line = in.next();
            if (!line) {
                ended = true;
                break;
            }
            columns[c].append(std::move(*line));
        }
    }
    const qsizetype songs = columns[kColumnCount - 1].size();
    for (qsizetype i = 0; i < songs; ++i) {
        std::array<QString, kColumnCount> row;
        for (int c = 0; c < kColumnCount; ++c) row[c] = columns[c][i];
        row[kPath] = base::fileNameOfLine(row[kPath]);
        if (!list.appendRow(row)) break;
    }
    return ended ? BlockRead::EndedEarly : BlockRead::Complete;
}

const std::array<MenuEntry, 3>& songListMenu() {
    static const std::array<MenuEntry, 3> menu = {{
        {QStringLiteral("songlistload"), QStringLiteral("ｿﾝｸﾞﾘｽﾄのﾛｰﾄﾞ")},
        {QStringLiteral("songlist0"), QStringLiteral("ｿﾝｸﾞﾘｽﾄの保存")},
        {QStringLiteral("songclear"), QStringLiteral("ｿﾝｸﾞﾘｽﾄのｸﾘｱ")},
    }};
    return menu;
}

SongListFile::SongListFile(std::array<SongList*, 2> lists, DialogState& dialog, FileDialogs& dialogs,
                           base::MessageBoxes& messages)
    : lists_(lists), dialog_(dialog), dialogs_(dialogs), messages_(messages) {}

void SongListFile::save() {
    if (lists_[0]->count() == 0 || lists_[1]->count() == 0) {
        messages_.inform(noSongsMessage(), QString(), base::MessageIcon::None);
        return;
    }
    // The name proposed is whatever the dialog last held.
    dialog_.filter = kListFilter;
    dialog_.title = QStringLiteral("Save list File");
    if (!dialogs_.showSave(dialog_)) return;

    QString name = dialog_.fileName;
    if (!name.isEmpty() && !name.endsWith(kListSuffix, Qt::CaseSensitive)) name += kListSuffix;
    // Only absolute paths are written; anything else would land wherever the program was started.
    if (name.isEmpty() || !name.startsWith(u'/')) return;

    QStringList lines;
    save1(*lists_[0], lines);
    save1(*lists_[1], lines);
    if (!base::writeTextFile(name, lines))
        messages_.inform(cannotSaveMessage(name), QString(), base::MessageIcon::Critical);
}

void SongListFile::load() {
    dialog_.fileName.clear();
    dialog_.title = QStringLiteral("Open songlist File ");
    dialog_.defaultExtension = QStringLiteral(".*");
    dialog_.filter = kListFilter;
    if (dialog_.initialFolder.isEmpty()) dialog_.initialFolder = defaultDialogFolder();
    // Until a list has been loaded the dialog stays where the dialogs last were.
    if (!listFolder_.isEmpty()) dialog_.initialFolder = listFolder_;
    if (!dialogs_.showOpen(dialog_)) return;
    const QString name = dialog_.fileName;
    if (name.isEmpty()) return;
    listFolder_ = dirOf(name);

    // The file is read whole before the lists are touched, so one that cannot be read costs nothing.
    const std::optional<QStringList> lines = base::readTextFile(name);
    if (!lines) {
        messages_.inform(cannotReadMessage(name), QString(), base::MessageIcon::None);
        return;
    }
    soat5();
    base::LineSource in(*lines);
    for (SongList* list : lists_) {
        if (readDeckBlock(in, *list) != BlockRead::Complete) {
            // The songs read in full before the fault stay; nothing is selected.
            messages_.inform(brokenListMessage(name), QString(), base::MessageIcon::None);
            return;
        }
    }
    // Anything after the second block is ignored. Only the path column is selected, so the title list
    // shows no highlight until the operator picks a song.
    for (SongList* list : lists_) {
        if (list->count() > 0) list->setSelected(kPath, 0);
    }
}

void SongListFile::clear() {
    const base::MessageAnswer answer = messages_.ask(QStringLiteral("ソングリストをクリアしますか？"), QString(),
                                               base::MessageButtons::YesNo, base::MessageIcon::Question);
    if (answer == base::MessageAnswer::Yes) soat5();
}

void SongListFile::soat5() {
    for (SongList* list : lists_) list->clear();
}

}  // namespace korvex::songlist
