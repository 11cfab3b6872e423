#include "appearance/font_settings.h"

#include <QDir>
#include <QFileInfo>
#include <cmath>

#include "base/ordinary_file.h"
#include "base/text_lines.h"

namespace korvex::appearance {

namespace {

constexpr int kLineCount = 16;

std::optional<double> sizeOf(const QString& line) {
    bool ok = false;
    const double size = line.trimmed().toDouble(&ok);
    // "nan" and "inf" convert, but no font can take them.
    if (!ok || !std::isfinite(size) || size <= 0.0 || size > kMaxFontSize) return std::nullopt;
    return size;
}

std::optional<std::uint32_t> colourOf(const QString& line) {
    bool ok = false;
    const std::uint32_t colour = line.trimmed().toUInt(&ok);
    if (!ok) return std::nullopt;
    return colour;
}

// Applies line `i` (0-based) to `c`; false when the line cannot be used.
bool applyLine(int i, const QString& line, FontSettings& c) {
    const auto k = static_cast<std::size_t>(i % 5);
    if (i < 5) {
        const auto size = sizeOf(line);
        if (!size) return false;
        c.sizes[k] = *size;
    } else if (i < 10) {
        const QString name = line.trimmed();
        if (name.isEmpty()) return false;
        c.names[k] = name;
    } else {
        const auto colour = colourOf(line);
        if (!colour) return false;
        if (i < 15)
            c.colours[k] = *colour;
        else
            c.listBackground = *colour;
    }
    return true;
}

}  // namespace

int applyFontFile(const QByteArray& bytes, DisplayFonts& fonts) {
    const QStringList lines = base::splitLines(base::decodeText(bytes));
    int applied = 0;
    while (applied < kLineCount && applied < lines.size() &&
           applyLine(applied, lines[applied], fonts.controls))
        ++applied;
    if (applied < kLineCount) return applied;
    const std::uint32_t display = fonts.controls.colours[0];
    fonts.labelColours = {display, display};
    fonts.totaltimeColours = {display, display};
    return applied;
}

bool loadfonts(const QString& path, DisplayFonts& fonts) {
    // A pipe or a device as font.txt is a missing file, not one to wait on.
    const std::optional<QByteArray> bytes = base::readOrdinaryFile(path, base::kMaxTextFileBytes);
    return bytes && applyFontFile(*bytes, fonts) == kLineCount;
}

std::optional<FontSettings> parseFontSettings(const QByteArray& bytes) {
    DisplayFonts fonts;
    if (applyFontFile(bytes, fonts) != kLineCount) return std::nullopt;
    return fonts.controls;
}

std::optional<FontSettings> readFontSettings(const QString& path) {
    DisplayFonts fonts;
    if (!loadfonts(path, fonts)) return std::nullopt;
    return fonts.controls;
}

QStringList fontFileLines(const FontSettings& s) {
    QStringList lines;
    for (const double size : s.sizes) lines << QString::number(size);
    for (const QString& name : s.names) lines << name;
    for (const std::uint32_t colour : s.colours) lines << QString::number(colour);
    lines << QString::number(s.listBackground);
    return lines;
}

bool writeFontFile(const QString& path, const FontSettings& settings) {
    if (path.isEmpty()) return false;
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
    return base::writeTextFile(path, fontFileLines(settings));
}

}  // namespace korvex::appearance
