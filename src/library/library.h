#pragma once
// The music library as the running player has it: the database on the user-interface thread, the scan on
// its worker, and the plays the decks report. The window shows it; the application owns it.
//
// Threads: everything here is called on the user-interface thread; the scan writes through a connection
// of its own on its worker (WAL keeps both apart), and poll() picks up its end.

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "library/library_database.h"
#include "library/library_scanner.h"
#include "library/play_counter.h"

namespace korvex::library {

class Library {
public:
    // Opens the library at `path` (a damaged file is set aside: notice() tells). A scan that a crash cut
    // short starts again. False, with message() saying why, when there is no library to be had.
    bool open(const QString& path);
    LibraryDatabase& database() { return db_; }
    const QString& path() const { return db_.path(); }
    // What the window shows in its status line: the last scan's summary, a notice or a failure.
    const QString& message() const { return message_; }
    bool messageIsProblem() const { return problem_; }

    // Names a music folder (absolute, as the program holds names) and scans; false when it is no folder or
    // was named already.
    bool addFolder(const QString& folder);
    bool removeFolder(const QString& folder);
    QStringList folders() const;

    // Starts a scan unless one runs.
    void startScan();
    bool scanning() const { return job_ && job_->running(); }
    const ScanProgress* progress() const { return job_ ? &job_->progress() : nullptr; }
    // Call regularly: true once when a scan has ended since the last call (the result is in message()).
    bool poll();
    // Called with each finished scan's result.
    std::function<void(const ScanResult&)> onScanDone;

    // What a deck does, about once a second: a song played for more than 30 s counts a play.
    void observeDeck(int deck, const std::string& file, bool playing, bool stopped, double now);
    // The analysis knows a song's BPM or loudness now.
    void analysisKnown(const std::string& file, std::optional<double> bpm, std::optional<double> loudness);
    // Moves whenever the shown rows may have changed (a scan ended, a play was counted).
    int revision() const { return revision_; }

private:
    void tell(const QString& text, bool problem);

    LibraryDatabase db_;
    std::unique_ptr<ScanJob> job_;
    PlayCounter plays_;
    QString message_;
    bool problem_ = false;
    int revision_ = 0;
};

}  // namespace korvex::library
