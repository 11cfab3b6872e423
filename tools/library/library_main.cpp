// korvex-library: the music library from the command line, for people and scripts.
//
//   korvex-library [--db PATH] add DIR | scan | search WORDS... | stats
//
// add names a music folder; scan reads the music folders into the library (only what changed since the
// last scan); search prints one tab-separated line per match (path, artist, title, duration in seconds,
// BPM), at most 100, in title order; stats prints the library's counts. Exit status 0 on success, 1 when
// the library cannot be read or written (a full disk included), 2 for a command line it does not take.

#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <cstdio>
#include <string>
#include <vector>

#include "base/file_names.h"
#include "library/library_database.h"
#include "library/library_scanner.h"

namespace {

using namespace korvex;

constexpr const char* kUsage = "usage: korvex-library [--db PATH] add DIR | scan | search WORDS... | stats\n";
constexpr int kMaxLines = 100;

std::string readable(const std::string& bytes) {
    return base::readableFileName(base::fileNameFromBytes(QByteArray::fromStdString(bytes))).toStdString();
}

// A field of a tab-separated line: tabs and line breaks inside it become blanks.
std::string field(const QString& text) {
    std::string out = text.toStdString();
    for (char& c : out)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return out;
}

std::string number(const std::optional<double>& value) {
    if (!value) return {};
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f", *value);
    return buffer;
}

int add(library::LibraryDatabase& db, const std::string& dir) {
    const QString folder = base::absoluteFileName(base::fileNameFromBytes(QByteArray::fromStdString(dir)));
    if (!base::isFolder(folder)) {
        std::fprintf(stderr, "korvex-library: %s: not a folder\n",
                     readable(base::fileNameString(folder)).c_str());
        return 1;
    }
    const std::string bytes = base::fileNameString(folder);
    if (db.addFolder(bytes)) {
        std::printf("added %s (run \"korvex-library scan\" to read its songs)\n", readable(bytes).c_str());
        return 0;
    }
    if (!db.errorEnglish().empty()) {
        std::fprintf(stderr, "korvex-library: %s\n", db.errorEnglish().c_str());
        return 1;
    }
    std::printf("%s is in the library already\n", readable(bytes).c_str());
    return 0;
}

int scan(library::LibraryDatabase& db) {
    if (db.folders().empty()) {
        std::fprintf(stderr,
                     "korvex-library: no music folders yet: name one with \"korvex-library add DIR\"\n");
        return 1;
    }
    const library::ScanResult result = library::scanLibrary(db);
    std::printf("%s\n", library::summaryEnglish(result).c_str());
    if (!result.complete) {
        std::fprintf(stderr, "korvex-library: the scan stopped: %s%s\n", result.errorEnglish.c_str(),
                     result.diskFull ? " (the disk is full; the library stays readable as it was)" : "");
        return 1;
    }
    return 0;
}

int search(library::LibraryDatabase& db, const std::vector<std::string>& words) {
    QString query;
    for (const std::string& word : words) query += QString::fromLocal8Bit(word) + u' ';
    std::vector<std::int64_t> ids = db.search(query, library::SortColumn::kTitle, false);
    if (ids.size() > kMaxLines) ids.resize(kMaxLines);
    for (const library::TrackRow& row : db.rows(ids)) {
        std::printf("%s\t%s\t%s\t%s\t%s\n", readable(row.path).c_str(), field(row.artist).c_str(),
                    field(row.title).c_str(), number(row.seconds).c_str(), number(row.bpm).c_str());
    }
    if (!db.errorEnglish().empty()) {
        std::fprintf(stderr, "korvex-library: %s\n", db.errorEnglish().c_str());
        return 1;
    }
    return 0;
}

int stats(library::LibraryDatabase& db) {
    const library::LibraryStats s = db.stats();
    std::printf("tracks\t%lld\nmissing\t%lld\nbroken\t%lld\nplayed\t%lld\nhours\t%.1f\nfolders\t%d\n",
                static_cast<long long>(s.tracks), static_cast<long long>(s.missing),
                static_cast<long long>(s.broken), static_cast<long long>(s.played), s.totalSeconds / 3600.0,
                s.folders);
    for (const std::string& folder : db.folders()) std::printf("folder\t%s\n", readable(folder).c_str());
    const std::string state = db.meta("scan-state");
    if (state == "running") std::printf("scan\tunfinished (the next scan goes on)\n");
    return db.errorEnglish().empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    QString dbPath;
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            std::printf(
                "%s\n"
                "  add DIR         name a music folder\n"
                "  scan            read the music folders into the library (only what changed)\n"
                "  search WORDS... songs matching every word: path, artist, title, seconds, BPM\n"
                "                  (tab-separated, at most %d lines)\n"
                "  stats           the library's counts and folders\n"
                "  --db PATH       the library file (default: %s)\n",
                kUsage, kMaxLines, library::defaultLibraryPath().toStdString().c_str());
            return 0;
        }
        if (arg == "--version") {
            std::printf("korvex-library %s\n", KORVEX_VERSION);
            return 0;
        }
        if (arg == "--db" && i + 1 < args.size()) {
            dbPath = base::fileNameFromBytes(QByteArray::fromStdString(args[++i]));
        } else if (arg.rfind("--db=", 0) == 0) {
            dbPath = base::fileNameFromBytes(QByteArray::fromStdString(arg.substr(5)));
        } else if (arg.rfind("-", 0) == 0) {
            std::fprintf(stderr, "korvex-library: unknown option %s\n%s", arg.c_str(), kUsage);
            return 2;
        } else {
            break;
        }
    }
    if (i >= args.size()) {
        std::fprintf(stderr, "%s", kUsage);
        return 2;
    }
    const std::string command = args[i];
    const std::vector<std::string> rest(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
    const bool known = (command == "add" && rest.size() == 1) || (command == "scan" && rest.empty()) ||
                       (command == "search" && !rest.empty()) || (command == "stats" && rest.empty());
    if (!known) {
        std::fprintf(stderr, "korvex-library: %s\n%s",
                     command == "add" || command == "scan" || command == "search" || command == "stats"
                         ? "wrong number of arguments"
                         : ("unknown command " + command).c_str(),
                     kUsage);
        return 2;
    }

    library::LibraryDatabase db;
    if (dbPath.isEmpty()) dbPath = library::defaultLibraryPath();
    if (!db.open(dbPath)) {
        std::fprintf(stderr, "korvex-library: %s: %s\n", readable(base::fileNameString(dbPath)).c_str(),
                     db.errorEnglish().c_str());
        return 1;
    }
    if (!db.setAsidePath().isEmpty())
        std::fprintf(stderr,
                     "korvex-library: the library was damaged; it was set aside as %s and started afresh "
                     "(the next scan fills it again)\n",
                     readable(base::fileNameString(db.setAsidePath())).c_str());
    if (command == "add") return add(db, rest.front());
    if (command == "scan") return scan(db);
    if (command == "search") return search(db, rest);
    return stats(db);
}
