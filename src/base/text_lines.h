#pragma once
// The line files the program reads and writes (song list files, the settings file): one value per line.
//
// Why it is shaped this way: both files are positional, so their readers and writers work on lines, not
// on files. A writer appends lines to a QStringList; encodeLines() makes the bytes (UTF-8, every line
// ended by CR LF) and writeTextFile() replaces the file only once the whole of it is written. A reader
// gets the file's lines at once (readTextFile(), LF or CR LF ends, UTF-8 or, for lists made on older
// systems, CP932) and walks them with a LineSource, which is what the deck-block reader and the settings
// reader share.
//
// Files are small (at most two lists of 32767 songs), so they are held in memory whole; a file far
// larger than any list could be is refused rather than read.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

namespace korvex::base {

// Largest file readTextFile() accepts, in bytes.
inline constexpr qint64 kMaxTextFileBytes = 256LL * 1024 * 1024;

// Walks a file's lines from the first to the last.
class LineSource {
public:
    explicit LineSource(QStringList lines) : lines_(std::move(lines)) {}

    // The next line, or nothing when the lines are used up.
    std::optional<QString> next();
    // True when every line has been read.
    bool atEnd() const { return position_ >= lines_.size(); }
    // Number of lines read so far.
    qsizetype position() const { return position_; }

private:
    QStringList lines_;
    qsizetype position_ = 0;
};

// The text of a file's bytes: UTF-8 when they are valid UTF-8 (a leading byte-order mark is dropped),
// otherwise CP932 (Shift-JIS with the Windows extensions).
QString decodeText(const QByteArray& bytes);
// CP932 bytes as text; a byte sequence that is not CP932 gives U+FFFD. Uses Qt's converter when it knows
// CP932 and glibc's iconv otherwise.
QString decodeCp932(const QByteArray& bytes);
// decodeCp932() through iconv only (the fallback, kept callable so it can be checked on its own).
QString decodeCp932WithIconv(const QByteArray& bytes);

// The lines of a text: split at LF, one CR before the LF dropped. A final line without its end counts;
// an empty text has no lines.
QStringList splitLines(const QString& text);
// The bytes of a line file: each line in UTF-8 followed by CR LF.
QByteArray encodeLines(const QStringList& lines);

// Reads the whole file at `path` and gives its lines (decodeText(), then splitLines()). Nothing when it
// cannot be opened or read, is not an ordinary file (a pipe or a device is never waited on), or is larger
// than kMaxTextFileBytes.
std::optional<QStringList> readTextFile(const QString& path);
// Writes `lines` (encodeLines()) to a new file beside `path` and replaces `path` with it only when all of it
// was written; on any failure `path` is left as it was and the new file is removed. A pipe or a device at
// `path` is not replaced (false). True on success.
bool writeTextFile(const QString& path, const QStringList& lines);

}  // namespace korvex::base
