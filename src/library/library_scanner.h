#pragma once
// Scanning the music folders into the library.
//
// A scan walks every named folder (links followed; each folder entered once, known by its device and
// inode, so a link back up the tree ends there), compares each music file's size and modification time
// with what the library holds, and reads the tags of the new and changed files only, through FFmpeg's
// demuxer without decoding any audio. The rows are written in batches, one transaction each, so a scan
// that is killed keeps every batch before the last, and the next scan goes on from there: what it
// committed compares as unchanged. Files that were known but are no longer found are marked missing (not
// forgotten: their play counts come back with them), except under a folder that could not be read this
// time. Broken files, unreadable folders, links that lead back into the tree and names in any encoding
// are counted, never fatal. A full disk ends the scan with a message; what was committed stays readable.
//
// ScanJob runs a scan on a worker thread with its own connection; the window polls its progress.

#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "library/library_database.h"

namespace korvex::library {

// How far a scan is, updated by the scanning thread and read by any thread.
struct ScanProgress {
    std::atomic<std::int64_t> found{0};   // music files found so far
    std::atomic<std::int64_t> toRead{0};  // of them new or changed (known once the walk is over)
    std::atomic<std::int64_t> read{0};    // of those read and written
    std::atomic<bool> walking{true};      // still walking the folders
};

// What a scan did.
struct ScanResult {
    std::int64_t found = 0;
    std::int64_t added = 0;
    std::int64_t updated = 0;
    std::int64_t unchanged = 0;
    std::int64_t vanished = 0;           // marked missing
    std::int64_t broken = 0;             // music endings FFmpeg cannot open
    std::int64_t unreadableFolders = 0;  // folders that could not be listed (or named folders not there)
    std::int64_t loops = 0;              // folders reached a second time through a link
    bool complete = false;               // walked and written to the end
    bool stopped = false;                // asked to stop
    QString error;                       // in Japanese, for the window; "" when none
    std::string errorEnglish;            // for stderr
    bool diskFull = false;
};

// The scan's summary line in Japanese ("スキャン完了：追加 12・更新 1・…").
QString summaryText(const ScanResult& result);
// The same in English, for the command line.
std::string summaryEnglish(const ScanResult& result);

// Scans the folders `db` names into `db`, on the calling thread. `stop` ends it early (between files);
// `progress` is kept up to date when given. `batch` is how many files go into one transaction.
ScanResult scanLibrary(LibraryDatabase& db, const std::atomic<bool>* stop = nullptr,
                       ScanProgress* progress = nullptr, int batch = 200);

// One scan on a worker thread, with its own connection to the library at `path`.
class ScanJob {
public:
    explicit ScanJob(QString path);
    // Stops the scan and waits for the thread.
    ~ScanJob();
    ScanJob(const ScanJob&) = delete;
    ScanJob& operator=(const ScanJob&) = delete;

    void start();
    // True from start() until the thread has finished (result() is then ready).
    bool running() const { return running_.load(std::memory_order_acquire); }
    const ScanProgress& progress() const { return progress_; }
    // The result, once running() is false.
    ScanResult result() const;
    // Asks the scan to stop after the file it reads.
    void stop() { stop_.store(true); }

private:
    QString path_;
    ScanProgress progress_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{false};
    mutable std::mutex mutex_;
    ScanResult result_;
    std::thread thread_;
};

}  // namespace korvex::library
