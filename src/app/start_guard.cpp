#include "app/start_guard.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <optional>

#include "base/file_names.h"
#include "base/ordinary_file.h"

namespace korvex::app {
namespace {

constexpr char kMarkerName[] = "korvex-starting";
constexpr char kOpeningPrefix[] = "opening ";
// The marker is a few lines; anything longer is not one of ours and is read no further.
constexpr qint64 kMarkerLimit = 64 * 1024;

}  // namespace

StartGuard::StartGuard(QString markerPath) : path_(std::move(markerPath)) {}

QString StartGuard::markerBeside(const QString& settingsPath) {
    if (settingsPath.isEmpty()) return QString();
    return QFileInfo(settingsPath).dir().filePath(QString::fromLatin1(kMarkerName));
}

void StartGuard::begin() {
    if (path_.isEmpty() || begun_) return;
    begun_ = true;
    const QFileInfo marker(path_);
    // A marker left behind is a start that did not finish (only an ordinary file is one: a pipe or a folder
    // in its place is left alone, and the guard is off).
    if (marker.isFile()) {
        settingAside_ = true;
        if (const std::optional<QByteArray> bytes = base::readOrdinaryFile(path_, kMarkerLimit)) {
            const QStringList lines = QString::fromUtf8(*bytes).split(QLatin1Char('\n'));
            for (const QString& line : lines)
                if (line.startsWith(QLatin1String(kOpeningPrefix)))
                    suspect_ = line.mid(static_cast<qsizetype>(qstrlen(kOpeningPrefix)));
        }
    }
    QDir().mkpath(marker.absolutePath());
    write();
}

bool StartGuard::mayOpen(const QString& path) {
    if (!begun_ || finished_) return true;
    if (settingAside_) {
        setAside_ << path;
        return false;
    }
    opening_ << path;
    write();
    return true;
}

QString StartGuard::message() const {
    if (setAside_.isEmpty()) return QString();
    QString text = QStringLiteral(
        "前回の起動は途中で終わりました。\n"
        "同じことが起きないよう、保存されていた次のファイルを読み込まずに起動しました"
        "（曲リストには残っています）：\n");
    for (const QString& path : setAside_) text += QStringLiteral("\n") + base::readableFileName(path);
    if (!suspect_.isEmpty())
        text += QStringLiteral("\n\n途中で終わった起動が最後に読み込み始めたファイル：\n") + suspect_ +
                QStringLiteral("\nこのファイルが壊れていないか確かめてください。");
    return text;
}

void StartGuard::finish() {
    if (!begun_ || finished_) return;
    finished_ = true;
    if (QFileInfo(path_).isFile()) QFile::remove(path_);
}

void StartGuard::write() {
    // Written whole each time: what a start that dies leaves behind is always a complete list.
    QString text = QStringLiteral("korvex start in progress\n");
    for (const QString& path : opening_)
        text += QLatin1String(kOpeningPrefix) + base::readableFileName(path) + QLatin1Char('\n');
    if (!base::mayReplace(path_)) return;
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly)) return;
    file.write(text.toUtf8());
    file.commit();
}

}  // namespace korvex::app
