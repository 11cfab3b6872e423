#include "appearance/font_settings.h"

#include <QFile>
#include <QStringList>

namespace korvex::appearance {

std::optional<FontSettings> readFontSettings(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    if (lines.size() < 16) return std::nullopt;
    FontSettings settings;
    bool ok = true;
    for (int i = 0; i < 5 && ok; ++i) settings.sizes[static_cast<std::size_t>(i)] = lines[i].trimmed().toDouble(&ok);
    for (int i = 0; i < 5; ++i) settings.names[static_cast<std::size_t>(i)] = lines[5 + i].trimmed();
    for (int i = 0; i < 5 && ok; ++i)
        settings.colours[static_cast<std::size_t>(i)] = lines[10 + i].trimmed().toUInt(&ok);
    if (ok) settings.listBackground = lines[15].trimmed().toUInt(&ok);
    if (!ok) return std::nullopt;
    return settings;
}

}  // namespace korvex::appearance
