#include "base/file_names.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QUrl>
#include <array>
#include <cstdint>
#include <memory>

#include "base/text_lines.h"

namespace korvex::base {

namespace {

// The lone low surrogates that stand for the bytes 0x80..0xFF of a name that is not UTF-8.
constexpr char16_t kRawFirst = 0xDC80;
constexpr char16_t kRawLast = 0xDCFF;

// The URL scheme of a name that is not UTF-8 in a line file.
constexpr QLatin1StringView kFileUrl("file://");

bool isRaw(char16_t unit) {
    return unit >= kRawFirst && unit <= kRawLast;
}

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Length of the well-formed UTF-8 sequence at `at` (no overlong forms, no surrogates, nothing past
// U+10FFFF), or 0 when the bytes there are not one.
int utf8Length(const unsigned char* at, qsizetype left) {
    const unsigned char b = at[0];
    if (b < 0x80) return 1;
    int length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        if (b == 0xE0) low = 0xA0;
        if (b == 0xED) high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        if (b == 0xF0) low = 0x90;
        if (b == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (left < length || at[1] < low || at[1] > high) return 0;
    for (int i = 2; i < length; ++i)
        if (!isContinuation(at[i])) return 0;
    return length;
}

char32_t codePoint(const unsigned char* at, int length) {
    if (length == 1) return at[0];
    char32_t value = at[0] & (0x7F >> length);
    for (int i = 1; i < length; ++i) value = (value << 6) | (at[i] & 0x3F);
    return value;
}

void appendUtf8(QByteArray& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// stat() of a name by its bytes; false when there is nothing there.
bool statOf(const QString& name, struct stat& info) {
    return !name.isEmpty() && ::stat(fileNameBytes(name).constData(), &info) == 0;
}

// The current folder by its bytes.
QString currentFolder() {
    std::array<char, 4096> buffer{};
    if (::getcwd(buffer.data(), buffer.size()) != nullptr) return fileNameFromBytes(QByteArrayView(buffer.data()));
    return QDir::currentPath();
}

}  // namespace

QString fileNameFromBytes(QByteArrayView bytes) {
    QString name;
    name.reserve(bytes.size());
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    for (qsizetype i = 0; i < bytes.size();) {
        const int length = utf8Length(data + i, bytes.size() - i);
        if (length == 0) {
            name += QChar(static_cast<char16_t>(0xDC00 + data[i]));
            ++i;
            continue;
        }
        const char32_t c = codePoint(data + i, length);
        if (c >= 0x10000) {
            name += QChar(QChar::highSurrogate(c));
            name += QChar(QChar::lowSurrogate(c));
        } else {
            name += QChar(static_cast<char16_t>(c));
        }
        i += length;
    }
    return name;
}

QByteArray fileNameBytes(QStringView name) {
    QByteArray bytes;
    bytes.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t unit = name[i].unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < name.size() && QChar::isLowSurrogate(name[i + 1].unicode())) {
            appendUtf8(bytes, QChar::surrogateToUcs4(unit, name[i + 1].unicode()));
            ++i;
        } else if (isRaw(unit)) {
            bytes += static_cast<char>(unit - 0xDC00);
        } else if (QChar::isSurrogate(unit)) {
            appendUtf8(bytes, QChar::ReplacementCharacter);  // as Qt writes a surrogate without its pair
        } else {
            appendUtf8(bytes, unit);
        }
    }
    return bytes;
}

std::string fileNameString(QStringView name) {
    return fileNameBytes(name).toStdString();
}

bool hasRawBytes(QStringView name) {
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t unit = name[i].unicode();
        // A low surrogate that completes a pair is part of a character, not a byte.
        if (isRaw(unit) && !(i > 0 && QChar::isHighSurrogate(name[i - 1].unicode()))) return true;
    }
    return false;
}

QString readableFileName(const QString& name) {
    if (!hasRawBytes(name)) return name;
    QStringList parts = name.split(u'/');
    // "/" never appears inside a Shift-JIS character, so each part can be read on its own, and a folder
    // named in UTF-8 keeps its characters.
    for (QString& part : parts)
        if (hasRawBytes(part)) part = decodeCp932(fileNameBytes(part));
    return parts.join(u'/');
}

QString readableTitleOf(const QString& path) {
    return readableFileName(path.mid(path.lastIndexOf(u'/') + 1));
}

QString localFileOf(const QUrl& url) {
    if (!url.isLocalFile()) return QString();
    // The path still percent-encoded holds the name's bytes; toLocalFile() would read them as UTF-8.
    const QByteArray encoded = url.path(QUrl::FullyEncoded).toLatin1();
    QString name = fileNameFromBytes(QByteArray::fromPercentEncoding(encoded));
    if (!url.host().isEmpty()) name = QStringLiteral("//") + url.host() + name;
    return name;
}

QString absoluteFileName(const QString& name) {
    if (name.isEmpty()) return name;
    if (name.startsWith(u'/')) return QDir::cleanPath(name);
    return QDir::cleanPath(currentFolder() + u'/' + name);
}

QString fileNameLine(const QString& name) {
    // A name that itself begins like a URL is written as one too, so that it reads back as it was.
    if (!hasRawBytes(name) && !name.startsWith(kFileUrl)) return name;
    return kFileUrl + QString::fromLatin1(fileNameBytes(name).toPercentEncoding("/"));
}

QString fileNameOfLine(const QString& line) {
    if (!line.startsWith(kFileUrl)) return line;
    return fileNameFromBytes(QByteArray::fromPercentEncoding(fileNameBytes(line.mid(kFileUrl.size()))));
}

bool isFolder(const QString& name) {
    struct stat info {};
    return statOf(name, info) && S_ISDIR(info.st_mode);
}

bool isPlainFile(const QString& name) {
    struct stat info {};
    return statOf(name, info) && S_ISREG(info.st_mode);
}

std::optional<QStringList> filesInFolder(const QString& folder) {
    const QByteArray path = fileNameBytes(folder);
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(path.constData()), ::closedir);
    if (!dir) return std::nullopt;
    QStringList names;
    const QByteArray prefix = path.endsWith('/') ? path : path + '/';
    while (const dirent* entry = ::readdir(dir.get())) {
        const QByteArrayView name(entry->d_name);
        if (name.startsWith('.')) continue;
        struct stat info {};
        if (::stat((prefix + name.toByteArray()).constData(), &info) == 0 && S_ISREG(info.st_mode))
            names << fileNameFromBytes(name);
    }
    return names;
}

}  // namespace korvex::base
