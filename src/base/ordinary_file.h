#pragma once
// The models' way to open a file the user named: only an ordinary file is opened (os::openOrdinaryFile()),
// so a pipe or a device in place of the settings, a list, font.txt or a skin picture is refused as an
// unreadable file is, and never waited on.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <optional>

namespace korvex::base {

// Opens `file` read-only on `path` when `path` is an ordinary file; false, leaving `file` closed,
// otherwise (missing, unreadable, a folder, a pipe, a device, a socket).
bool openOrdinaryFile(QFile& file, const QString& path);

// The whole of the ordinary file `path`. Nothing when it cannot be opened or read (as above) or when it
// holds more than `maxBytes`; an endless or oversized source is not held beyond that.
std::optional<QByteArray> readOrdinaryFile(const QString& path, qint64 maxBytes);

// Whether a save may put a new file in place of `path`: nothing is there yet, or an ordinary file (links
// followed). A pipe, a device or a folder is left alone.
bool mayReplace(const QString& path);

}  // namespace korvex::base
