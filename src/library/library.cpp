#include "library/library.h"

#include <QDateTime>
#include <cstdio>

#include "base/file_names.h"

namespace korvex::library {

bool Library::open(const QString& path) {
    job_.reset();
    if (!db_.open(path)) {
        tell(db_.error(), true);
        std::fprintf(stderr, "korvex: music library %s: %s\n",
                     base::readableFileName(path).toStdString().c_str(), db_.errorEnglish().c_str());
        return false;
    }
    if (!db_.notice().isEmpty()) {
        tell(db_.notice(), true);
        std::fprintf(stderr,
                     "korvex: the music library was damaged; it was set aside as %s and started afresh\n",
                     base::readableFileName(db_.setAsidePath()).toStdString().c_str());
    }
    // A scan that did not end (the program was killed) goes on; so does the first scan of folders that a
    // damaged library's replacement took over.
    if (db_.meta("scan-state") == "running" || (!db_.setAsidePath().isEmpty() && !db_.folders().empty()))
        startScan();
    ++revision_;
    return true;
}

bool Library::addFolder(const QString& folder) {
    if (!db_.isOpen() || !base::isFolder(folder)) return false;
    if (!db_.addFolder(base::fileNameString(base::absoluteFileName(folder)))) {
        if (!db_.error().isEmpty()) tell(db_.error(), true);
        return false;
    }
    startScan();
    return true;
}

bool Library::removeFolder(const QString& folder) {
    if (!db_.isOpen() || scanning()) return false;
    const bool removed = db_.removeFolder(base::fileNameString(folder));
    if (!removed) tell(db_.error(), true);
    ++revision_;
    return removed;
}

QStringList Library::folders() const {
    QStringList result;
    if (!db_.isOpen()) return result;
    for (const std::string& folder : db_.folders())
        result << base::fileNameFromBytes(QByteArray::fromStdString(folder));
    return result;
}

void Library::startScan() {
    if (!db_.isOpen() || scanning()) return;
    job_ = std::make_unique<ScanJob>(db_.path());
    job_->start();
}

bool Library::poll() {
    if (!job_ || job_->running()) return false;
    const ScanResult result = job_->result();
    job_.reset();
    if (!result.error.isEmpty()) {
        tell(QStringLiteral("スキャンを中止しました。") + result.error, true);
        std::fprintf(stderr, "korvex: the library scan stopped: %s\n", result.errorEnglish.c_str());
    } else if (!result.stopped) {
        tell(summaryText(result), false);
    }
    ++revision_;
    if (onScanDone) onScanDone(result);
    return true;
}

void Library::observeDeck(int deck, const std::string& file, bool playing, bool stopped, double now) {
    const std::optional<std::string> played = plays_.observe(deck, file, playing, stopped, now);
    if (!played || !db_.isOpen()) return;
    if (db_.recordPlay(*played, QDateTime::currentSecsSinceEpoch())) ++revision_;
}

void Library::analysisKnown(const std::string& file, std::optional<double> bpm,
                            std::optional<double> loudness) {
    if (db_.isOpen() && db_.setAnalysis(file, bpm, loudness)) ++revision_;
}

void Library::tell(const QString& text, bool problem) {
    message_ = text;
    problem_ = problem;
}

}  // namespace korvex::library
