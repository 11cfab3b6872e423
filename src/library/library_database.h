#pragma once
// The music library: every song of the music folders in one SQLite file, searchable in a keystroke.
//
// Why it is shaped this way: a DJ's collection runs to tens of thousands of songs, so nothing here holds
// the collection in memory; the window asks for the ids of what matches, in the order shown, and reads the
// rows it draws. The file is in WAL mode, so the scanner writes on its own connection while the window and
// the command line read, and a scan killed half-way leaves every batch it committed. Paths are kept as the
// bytes the file system has (a BLOB), so a name in any encoding is found again; what is searched and shown
// is its readable form.
//
// Search: FTS5 over title, artist, album, genre and file name, every word the user types matching the
// start of a word somewhere (a prefix query). The unicode61 tokenizer takes a run of Japanese as one word,
// so Japanese (and Chinese and Korean) characters are indexed one per token and a typed run of them is
// searched as a phrase of single characters: "東京" finds "東京タワー" and "北東京", one character finds
// every song that has it.
//
// A file that is not a database, or a damaged one, is set aside (renamed beside itself) when it is opened,
// with a message, and an empty library takes its place; the music folders are kept beside the database too
// (`NAME.folders`), so the next scan builds it again.
//
// One object is one connection, used on one thread at a time.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace korvex::library {

// The schema this version writes; older files are brought up to it when opened.
inline constexpr int kSchemaVersion = 1;

// One song as the scanner found it.
struct TrackFile {
    std::string path;  // the file's name as bytes
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0;
    QString title;  // the tag title, or the file name without its ending when there is none
    QString artist;
    QString album;
    QString genre;
    int year = 0;           // 0: not known
    double seconds = -1.0;  // below 0: not known
    bool broken = false;    // FFmpeg cannot open it as music: kept so rescans skip it, never shown
};

// One song as the window and the command line show it.
struct TrackRow {
    std::int64_t id = 0;
    std::string path;
    QString title;
    QString artist;
    QString album;
    std::optional<double> seconds;
    std::optional<double> bpm;
    std::optional<double> loudness;  // integrated loudness, LUFS
    int playCount = 0;
    std::int64_t lastPlayed = 0;  // Unix seconds, 0 never
};

// The columns the table sorts by.
enum class SortColumn { kTitle, kArtist, kBpm, kLength, kLoudness, kPlayCount };

// What `stats` tells.
struct LibraryStats {
    std::int64_t tracks = 0;    // songs shown
    std::int64_t missing = 0;   // gone from their folder since the last scan
    std::int64_t broken = 0;    // files with a music ending that do not open as music
    std::int64_t played = 0;    // songs played at least once
    double totalSeconds = 0.0;  // the shown songs' length, where known
    int folders = 0;
};

class LibraryDatabase {
public:
    LibraryDatabase() = default;
    ~LibraryDatabase();
    LibraryDatabase(const LibraryDatabase&) = delete;
    LibraryDatabase& operator=(const LibraryDatabase&) = delete;

    // Opens (or creates) the library at `path`, bringing its schema up to date. A file that is not a
    // library or is damaged is renamed to "PATH.damaged-TIME" and a new library created, with notice() saying
    // so. False, with error() saying why, only when no library can be had there at all (no folder, no room).
    bool open(const QString& path);
    bool isOpen() const { return db_ != nullptr; }
    void close();
    const QString& path() const { return path_; }
    // The last failure, in Japanese for the window ("" when none); errorEnglish() for stderr.
    const QString& error() const { return error_; }
    const std::string& errorEnglish() const { return errorEnglish_; }
    // What opening had to tell (a damaged file set aside), in Japanese; "" when nothing.
    const QString& notice() const { return notice_; }
    // The damaged file set aside by open(), "" when none.
    const QString& setAsidePath() const { return setAside_; }
    // True when the last failure was a full disk (or the file reached its size limit).
    bool diskFull() const { return diskFull_; }

    // --- folders ---------------------------------------------------------------------------------------
    // The music folders, as bytes, in the order named.
    std::vector<std::string> folders() const;
    // Adds a folder (absolute, as bytes); false when it was there already or the write failed.
    bool addFolder(const std::string& folder);
    // Removes a folder and forgets its songs' rows.
    bool removeFolder(const std::string& folder);

    // --- the scanner's side ------------------------------------------------------------------------------
    struct KnownFile {
        std::int64_t id;
        std::int64_t size;
        std::int64_t mtimeNs;
        bool missing;
    };
    // Every file the library knows, by path (for a rescan's comparison of size and time).
    std::vector<std::pair<std::string, KnownFile>> knownFiles() const;
    bool begin();
    bool commit();
    void rollback();
    // Adds the file, or updates the row of the same path (its play count and analysis kept, unless the file
    // changed, which drops the analysis). Inside begin()/commit().
    bool putTrack(const TrackFile& file, std::int64_t addedAt);
    // Marks rows as gone from their folders (or back again).
    bool setMissing(const std::vector<std::int64_t>& ids, bool missing);
    // "scan-running" while a scan is under way, so a start after a crash continues it.
    bool setMeta(const std::string& key, const std::string& value);
    std::string meta(const std::string& key) const;

    // --- the window's and command line's side ------------------------------------------------------------
    // The ids of the shown songs matching every word of `words` (all when blank), in `column` order.
    std::vector<std::int64_t> search(const QString& words, SortColumn column, bool descending) const;
    // The ids of the songs (shown or missing) whose words match every word of `words`, in no order; nothing
    // when `words` holds no word to search for.
    std::vector<std::int64_t> matches(const QString& words) const;
    // The rows of `ids` (any order; ids not found are left out).
    std::vector<TrackRow> rows(const std::vector<std::int64_t>& ids) const;
    std::optional<TrackRow> row(std::int64_t id) const;
    LibraryStats stats() const;

    // A deck played the song at `path` long enough: one more play, now the last.
    bool recordPlay(const std::string& path, std::int64_t when);
    // The analysis of the song at `path` is known (BPM and integrated loudness; nothing leaves a value).
    bool setAnalysis(const std::string& path, std::optional<double> bpm, std::optional<double> loudness);

    // The FTS5 query for `words` (exposed for the tests); empty when there is nothing to search for.
    static QString matchQuery(const QString& words);
    // `text` as it is indexed: NFKC, with Japanese, Chinese and Korean characters set apart one by one.
    static QString indexText(const QString& text);
    // For the tests of a full disk: the file may grow to `pages` pages (SQLite's max_page_count).
    void limitPages(int pages);

private:
    bool openFile(const QString& path, bool& damaged);
    bool migrate(bool& damaged);
    bool exec(const char* sql);
    // Remembers a failure of `what` from the connection's last result.
    bool fail(const char* what, int rc) const;
    void readFoldersFile();
    void writeFoldersFile() const;

    sqlite3* db_ = nullptr;
    QString path_;
    mutable QString error_;
    mutable std::string errorEnglish_;
    mutable bool diskFull_ = false;
    QString notice_;
    QString setAside_;
};

// Where the library lives by default: $XDG_DATA_HOME/korvex/library.db.
QString defaultLibraryPath();

}  // namespace korvex::library
