#include "base/ordinary_file.h"

#include <unistd.h>

#include <QFileInfo>

#include <string>

#include "base/file_names.h"
#include "platform/os/ordinary_file.h"

namespace korvex::base {

bool openOrdinaryFile(QFile& file, const QString& path) {
    std::string error;
    const int fd = os::openOrdinaryFile(fileNameString(path), error);
    if (fd < 0) return false;
    if (file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) return true;
    ::close(fd);
    return false;
}

std::optional<QByteArray> readOrdinaryFile(const QString& path, qint64 maxBytes) {
    QFile file;
    if (!openOrdinaryFile(file, path)) return std::nullopt;
    // One byte past the limit tells a file that is too large from one that just fits.
    const QByteArray bytes = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > maxBytes) return std::nullopt;
    return bytes;
}

bool mayReplace(const QString& path) {
    const QFileInfo info(path);
    return !info.exists() || info.isFile();
}

}  // namespace korvex::base
