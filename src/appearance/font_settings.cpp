#include "appearance/font_settings.h"

#include <QFile>
#include <QStringList>
#include <cmath>

#include "songlist/text_lines.h"

namespace korvex::appearance {

std::optional<FontSettings> readFontSettings(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return parseFontSettings(file.readAll());
}

std::optional<FontSettings> parseFontSettings(const QByteArray& bytes) {
    const QStringList lines = songlist::decodeText(bytes).split(QLatin1Char('\n'));
    if (lines.size() < 16) return std::nullopt;
    FontSettings settings;
    bool ok = true;
    for (int i = 0; i < 5 && ok; ++i) {
        const double size = lines[i].trimmed().toDouble(&ok);
        // "nan" and "inf" convert, but no font can take them.
        ok = ok && std::isfinite(size);
        settings.sizes[static_cast<std::size_t>(i)] = size;
    }
    for (int i = 0; i < 5; ++i) settings.names[static_cast<std::size_t>(i)] = lines[5 + i].trimmed();
    for (int i = 0; i < 5 && ok; ++i)
        settings.colours[static_cast<std::size_t>(i)] = lines[10 + i].trimmed().toUInt(&ok);
    if (ok) settings.listBackground = lines[15].trimmed().toUInt(&ok);
    if (!ok) return std::nullopt;
    return settings;
}

}  // namespace korvex::appearance
