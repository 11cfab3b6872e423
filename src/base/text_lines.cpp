#include "base/text_lines.h"

#include <iconv.h>
#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <array>
#include <cerrno>
#include <cstdint>

#include "base/ordinary_file.h"

namespace korvex::base {

namespace {

// Names under which a converter may know CP932, most exact first.
constexpr std::array<const char*, 3> kCp932Names = {"CP932", "windows-31j", "Shift_JIS"};

// Releases an iconv descriptor when it goes out of scope.
class IconvHandle {
public:
    IconvHandle(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    ~IconvHandle() {
        if (isValid()) iconv_close(handle_);
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;

    bool isValid() const { return handle_ != reinterpret_cast<iconv_t>(static_cast<std::intptr_t>(-1)); }
    iconv_t get() const { return handle_; }

private:
    iconv_t handle_;
};

// UTF-8 of U+FFFD, written for a byte iconv cannot convert.
constexpr char kReplacementUtf8[] = "\xEF\xBF\xBD";

}  // namespace

std::optional<QString> LineSource::next() {
    if (atEnd()) return std::nullopt;
    return lines_[position_++];
}

QString decodeText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringConverter::Utf8);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) return text;
    return decodeCp932(bytes);
}

QString decodeCp932(const QByteArray& bytes) {
    for (const char* name : kCp932Names) {
        QStringDecoder decoder(name);
        if (decoder.isValid()) return decoder.decode(bytes);
    }
    return decodeCp932WithIconv(bytes);
}

QString decodeCp932WithIconv(const QByteArray& bytes) {
    IconvHandle cd("UTF-8", "CP932");
    if (!cd.isValid()) return QString::fromLatin1(bytes);

    QByteArray input = bytes;  // iconv wants writable input pointers
    char* in = input.data();
    size_t inLeft = static_cast<size_t>(input.size());
    QByteArray output;
    std::array<char, 4096> buffer{};
    while (inLeft > 0) {
        char* out = buffer.data();
        size_t outLeft = buffer.size();
        const size_t result = iconv(cd.get(), &in, &inLeft, &out, &outLeft);
        output.append(buffer.data(), static_cast<qsizetype>(buffer.size() - outLeft));
        if (result != static_cast<size_t>(-1)) continue;
        if (errno == E2BIG) continue;  // buffer full: go round again
        // A byte that starts no CP932 character, or a character cut off by the end: one replacement
        // character for the byte, then carry on after it.
        output.append(kReplacementUtf8);
        ++in;
        --inLeft;
    }
    return QString::fromUtf8(output);
}

QStringList splitLines(const QString& text) {
    QStringList lines = text.split(u'\n');
    // The text after the last LF is a line only when it holds something.
    if (lines.last().isEmpty()) lines.removeLast();
    for (QString& line : lines) {
        if (line.endsWith(u'\r')) line.chop(1);
    }
    return lines;
}

QByteArray encodeLines(const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += line.toUtf8();
        bytes += "\r\n";
    }
    return bytes;
}

std::optional<QStringList> readTextFile(const QString& path) {
    const std::optional<QByteArray> bytes = readOrdinaryFile(path, kMaxTextFileBytes);
    if (!bytes) return std::nullopt;
    return splitLines(decodeText(*bytes));
}

bool writeTextFile(const QString& path, const QStringList& lines) {
    if (!mayReplace(path)) return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    const QByteArray bytes = encodeLines(lines);
    // QSaveFile buffers small writes and its commit() ignores a failing flush, so flush first and check.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        file.cancelWriting();
        file.commit();  // removes the new file; `path` stays as it was
        return false;
    }
    return file.commit();
}

}  // namespace korvex::base
