#include "library/library_database.h"

#include <sqlite3.h>

#include <algorithm>
#include <iterator>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

#include "base/file_names.h"
#include "base/ordinary_file.h"

namespace korvex::library {
namespace {

// One prepared statement, finalised when it goes.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        rc_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr);
        prepared_ = rc_ == SQLITE_OK && stmt_ != nullptr;
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    // Prepared; the statement's last result is rc().
    bool ok() const { return prepared_; }
    int rc() const { return rc_; }
    void bind(int i, std::int64_t v) { sqlite3_bind_int64(stmt_, i, v); }
    void bind(int i, double v) { sqlite3_bind_double(stmt_, i, v); }
    void bind(int i, const std::optional<double>& v) {
        if (v)
            bind(i, *v);
        else
            sqlite3_bind_null(stmt_, i);
    }
    void bind(int i, const QString& text) {
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(stmt_, i, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
    }
    void bindBlob(int i, const std::string& bytes) {
        sqlite3_bind_blob(stmt_, i, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
    }
    // SQLITE_ROW, SQLITE_DONE or an error.
    int step() { return rc_ = sqlite3_step(stmt_); }
    void reset() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    std::int64_t integer(int col) const { return sqlite3_column_int64(stmt_, col); }
    std::optional<double> real(int col) const {
        if (sqlite3_column_type(stmt_, col) == SQLITE_NULL) return std::nullopt;
        return sqlite3_column_double(stmt_, col);
    }
    QString text(int col) const {
        const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
        return QString::fromUtf8(data, sqlite3_column_bytes(stmt_, col));
    }
    std::string blob(int col) const {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt_, col));
        return data == nullptr
                   ? std::string()
                   : std::string(data, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col)));
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
    int rc_ = SQLITE_OK;
    bool prepared_ = false;
};

bool isDamage(int rc) {
    const int primary = rc & 0xff;
    return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
}

// Characters that Japanese, Chinese and Korean write without spaces between words.
bool isCjk(char32_t c) {
    return (c >= 0x3040 && c <= 0x30FF)     // hiragana, katakana
           || (c >= 0x3400 && c <= 0x4DBF)  // CJK extension A
           || (c >= 0x4E00 && c <= 0x9FFF)  // CJK ideographs
           || (c >= 0xAC00 && c <= 0xD7AF)  // Hangul syllables
           || (c >= 0xF900 && c <= 0xFAFF)  // compatibility ideographs
           || (c >= 0x20000 && c <= 0x3FFFF);
}

// Schema 1: the tables, the full-text index and the indexes the table's sort columns use. The sort indexes
// hold only the songs shown, so the shown songs' ids in any order come from the index alone.
constexpr const char* kSchema1 = R"SQL(
CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT);
CREATE TABLE folders(id INTEGER PRIMARY KEY, path BLOB NOT NULL UNIQUE);
CREATE TABLE tracks(
  id INTEGER PRIMARY KEY,
  path BLOB NOT NULL UNIQUE,
  size INTEGER NOT NULL,
  mtime INTEGER NOT NULL,
  title TEXT NOT NULL DEFAULT '',
  artist TEXT NOT NULL DEFAULT '',
  album TEXT NOT NULL DEFAULT '',
  genre TEXT NOT NULL DEFAULT '',
  year INTEGER,
  duration REAL,
  bpm REAL,
  loudness REAL,
  added INTEGER NOT NULL,
  play_count INTEGER NOT NULL DEFAULT 0,
  last_played INTEGER,
  missing INTEGER NOT NULL DEFAULT 0,
  broken INTEGER NOT NULL DEFAULT 0);
CREATE INDEX tracks_title ON tracks(title COLLATE NOCASE) WHERE missing=0 AND broken=0;
CREATE INDEX tracks_artist ON tracks(artist COLLATE NOCASE) WHERE missing=0 AND broken=0;
CREATE INDEX tracks_bpm ON tracks(bpm) WHERE missing=0 AND broken=0;
CREATE INDEX tracks_duration ON tracks(duration) WHERE missing=0 AND broken=0;
CREATE INDEX tracks_loudness ON tracks(loudness) WHERE missing=0 AND broken=0;
CREATE INDEX tracks_play_count ON tracks(play_count) WHERE missing=0 AND broken=0;
CREATE VIRTUAL TABLE track_words USING fts5(title, artist, album, genre, filename,
  tokenize = 'unicode61 remove_diacritics 2', prefix = '1 2');
)SQL";

// Each step brings a file from the version before it to its own; step i makes version i + 1.
constexpr const char* kMigrations[] = {kSchema1};
static_assert(std::size(kMigrations) == kSchemaVersion);

const char* orderBy(SortColumn column) {
    switch (column) {
        case SortColumn::kArtist:
            return "t.artist COLLATE NOCASE";
        case SortColumn::kBpm:
            return "t.bpm";
        case SortColumn::kLength:
            return "t.duration";
        case SortColumn::kLoudness:
            return "t.loudness";
        case SortColumn::kPlayCount:
            return "t.play_count";
        case SortColumn::kTitle:
            break;
    }
    return "t.title COLLATE NOCASE";
}

}  // namespace

QString defaultLibraryPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/korvex/library.db");
}

LibraryDatabase::~LibraryDatabase() {
    close();
}

void LibraryDatabase::close() {
    if (db_ != nullptr) sqlite3_close_v2(db_);
    db_ = nullptr;
}

bool LibraryDatabase::fail(const char* what, int rc) const {
    const char* why = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    errorEnglish_ = std::string(what) + ": " + why;
    const int primary = rc & 0xff;
    diskFull_ = primary == SQLITE_FULL || rc == SQLITE_IOERR_WRITE;
    if (diskFull_)
        error_ = QStringLiteral(
            "ディスクの空きがありません。ライブラリはこれまでの内容のまま使えます。"
            "空きを作ってから、もう一度スキャンしてください。");
    else if (isDamage(rc))
        error_ = QStringLiteral(
            "ライブラリのファイルが壊れています。次に Korvex "
            "を起動したとき、別の名前で退避して作り直します。");
    else
        error_ = QStringLiteral("ライブラリのファイルを読み書きできません。\n") + QString::fromUtf8(why);
    return false;
}

bool LibraryDatabase::exec(const char* sql) {
    char* message = nullptr;
    const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &message);
    sqlite3_free(message);
    return rc == SQLITE_OK || fail("SQL", rc);
}

bool LibraryDatabase::openFile(const QString& path, bool& damaged) {
    damaged = false;
    const int rc = sqlite3_open_v2(base::fileNameBytes(path).constData(), &db_,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        fail("cannot open the library", rc);
        close();
        return false;
    }
    sqlite3_busy_timeout(db_, 5000);
    sqlite3_extended_result_codes(db_, 1);
    // The first statement reads the header: a file that is no database says so here.
    int walRc = SQLITE_OK;
    {
        Statement wal(db_, "PRAGMA journal_mode=WAL");
        walRc = wal.ok() ? wal.step() : wal.rc();
    }
    if (walRc != SQLITE_ROW && walRc != SQLITE_DONE) {
        damaged = isDamage(walRc);
        fail("cannot open the library", walRc);
        return false;
    }
    exec("PRAGMA synchronous=NORMAL");
    // Reads straight from the file's pages in the system's cache instead of copying them into SQLite's.
    exec("PRAGMA mmap_size=268435456");
    return migrate(damaged);
}

bool LibraryDatabase::migrate(bool& damaged) {
    std::int64_t objects = 0;
    int version = 0;
    {
        Statement check(db_, "SELECT count(*) FROM sqlite_master");
        const int checkRc = check.ok() ? check.step() : check.rc();
        if (checkRc != SQLITE_ROW) {
            damaged = isDamage(checkRc);
            return fail("cannot read the library", checkRc);
        }
        objects = check.integer(0);
        Statement versionQuery(db_, "PRAGMA user_version");
        if (!versionQuery.ok() || versionQuery.step() != SQLITE_ROW)
            return fail("cannot read the library", versionQuery.rc());
        version = static_cast<int>(versionQuery.integer(0));
    }
    if (version == 0 && objects > 0) {
        // Tables but no version: not a file this program wrote.
        damaged = true;
        return fail("not a library", SQLITE_NOTADB);
    }
    if (version > kSchemaVersion) {
        error_ = QStringLiteral("このライブラリは新しい版の Korvex で作られたため、開けません。");
        errorEnglish_ = "the library was written by a newer version";
        return false;
    }
    for (; version < kSchemaVersion; ++version) {
        if (!exec("BEGIN IMMEDIATE")) return false;
        const std::string bump = "PRAGMA user_version=" + std::to_string(version + 1);
        if (!exec(kMigrations[version]) || !exec(bump.c_str())) {
            rollback();
            return false;
        }
        if (!commit()) return false;
    }
    return true;
}

bool LibraryDatabase::open(const QString& path) {
    close();
    path_ = path;
    notice_.clear();
    setAside_.clear();
    error_.clear();
    errorEnglish_.clear();
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        error_ = QStringLiteral("ライブラリのフォルダーを作れません。\n") + base::readableFileName(path);
        errorEnglish_ = "cannot make the library's folder";
        return false;
    }
    const bool fresh = !QFileInfo::exists(path);
    bool damaged = false;
    if (openFile(path, damaged)) {
        if (fresh) readFoldersFile();
        return true;
    }
    close();
    if (!damaged) return false;

    // Set the damaged file aside (with its journal) and start an empty library in its place.
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    setAside_ = path + QStringLiteral(".damaged-") + stamp;
    for (int n = 2; QFileInfo::exists(setAside_); ++n)
        setAside_ = path + QStringLiteral(".damaged-") + stamp + u'-' + QString::number(n);
    if (!QFile::rename(path, setAside_)) {
        error_ =
            QStringLiteral("壊れたライブラリのファイルを退避できません。\n") + base::readableFileName(path);
        errorEnglish_ = "the library is damaged and cannot be renamed";
        setAside_.clear();
        return false;
    }
    for (const char* part : {"-wal", "-shm"}) {
        const QString side = path + QLatin1StringView(part);
        if (QFileInfo::exists(side)) QFile::rename(side, setAside_ + QLatin1StringView(part));
    }
    if (!openFile(path, damaged)) {
        close();
        return false;
    }
    readFoldersFile();
    notice_ = QStringLiteral(
                  "ライブラリのファイルが壊れていたため、次の名前で退避して新しく作り直しました。\n%1\n"
                  "次のスキャンで曲が戻ります。")
                  .arg(base::readableFileName(setAside_));
    return true;
}

bool LibraryDatabase::begin() {
    return exec("BEGIN IMMEDIATE");
}

bool LibraryDatabase::commit() {
    const int rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) return true;
    fail("cannot write the library", rc);
    rollback();
    return false;
}

void LibraryDatabase::rollback() {
    if (db_ != nullptr && sqlite3_get_autocommit(db_) == 0)
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

void LibraryDatabase::limitPages(int pages) {
    const std::string sql = "PRAGMA max_page_count=" + std::to_string(pages);
    exec(sql.c_str());
}

// --- folders -----------------------------------------------------------------------------------------

std::vector<std::string> LibraryDatabase::folders() const {
    std::vector<std::string> result;
    Statement query(db_, "SELECT path FROM folders ORDER BY id");
    while (query.ok() && query.step() == SQLITE_ROW) result.push_back(query.blob(0));
    return result;
}

bool LibraryDatabase::addFolder(const std::string& folder) {
    Statement insert(db_, "INSERT OR IGNORE INTO folders(path) VALUES(?)");
    insert.bindBlob(1, folder);
    if (!insert.ok() || insert.step() != SQLITE_DONE) return fail("cannot add the folder", insert.rc());
    const bool added = sqlite3_changes(db_) > 0;
    if (added) writeFoldersFile();
    return added;
}

bool LibraryDatabase::removeFolder(const std::string& folder) {
    if (!begin()) return false;
    Statement remove(db_, "DELETE FROM folders WHERE path=?");
    remove.bindBlob(1, folder);
    if (!remove.ok() || remove.step() != SQLITE_DONE) {
        rollback();
        return fail("cannot remove the folder", remove.rc());
    }
    // Its songs go too (those that another folder named still holds come back with the next scan).
    std::string prefix = folder;
    if (prefix.empty() || prefix.back() != '/') prefix += '/';
    Statement words(
        db_, "DELETE FROM track_words WHERE rowid IN (SELECT id FROM tracks WHERE substr(path,1,?)=?)");
    Statement tracks(db_, "DELETE FROM tracks WHERE substr(path,1,?)=?");
    for (Statement* s : {&words, &tracks}) {
        s->bind(1, static_cast<std::int64_t>(prefix.size()));
        s->bindBlob(2, prefix);
        if (!s->ok() || s->step() != SQLITE_DONE) {
            fail("cannot remove the folder", s->rc());
            rollback();
            return false;
        }
    }
    if (!commit()) return false;
    writeFoldersFile();
    return true;
}

void LibraryDatabase::readFoldersFile() {
    const std::optional<QByteArray> text =
        base::readOrdinaryFile(path_ + QStringLiteral(".folders"), 1 << 20);
    if (!text) return;
    for (const QString& line : QString::fromUtf8(*text).split(u'\n', Qt::SkipEmptyParts))
        addFolder(base::fileNameString(base::fileNameOfLine(line)));
}

void LibraryDatabase::writeFoldersFile() const {
    QSaveFile file(path_ + QStringLiteral(".folders"));
    if (!file.open(QIODevice::WriteOnly)) return;
    for (const std::string& folder : folders())
        file.write((base::fileNameLine(base::fileNameFromBytes(QByteArray::fromStdString(folder))) + u'\n')
                       .toUtf8());
    file.commit();
}

// --- scanning ----------------------------------------------------------------------------------------

std::vector<std::pair<std::string, LibraryDatabase::KnownFile>> LibraryDatabase::knownFiles() const {
    std::vector<std::pair<std::string, KnownFile>> result;
    Statement query(db_, "SELECT path, id, size, mtime, missing FROM tracks");
    while (query.ok() && query.step() == SQLITE_ROW)
        result.emplace_back(query.blob(0), KnownFile{query.integer(1), query.integer(2), query.integer(3),
                                                     query.integer(4) != 0});
    return result;
}

bool LibraryDatabase::putTrack(const TrackFile& file, std::int64_t addedAt) {
    Statement put(db_, R"SQL(
INSERT INTO tracks(path, size, mtime, title, artist, album, genre, year, duration, added, broken)
VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)
ON CONFLICT(path) DO UPDATE SET size=excluded.size, mtime=excluded.mtime, title=excluded.title,
  artist=excluded.artist, album=excluded.album, genre=excluded.genre, year=excluded.year,
  duration=excluded.duration, broken=excluded.broken, missing=0, bpm=NULL, loudness=NULL
RETURNING id)SQL");
    put.bindBlob(1, file.path);
    put.bind(2, file.size);
    put.bind(3, file.mtimeNs);
    put.bind(4, file.title);
    put.bind(5, file.artist);
    put.bind(6, file.album);
    put.bind(7, file.genre);
    if (file.year > 0) put.bind(8, static_cast<std::int64_t>(file.year));
    put.bind(9, file.seconds >= 0.0 ? std::optional<double>(file.seconds) : std::nullopt);
    put.bind(10, addedAt);
    put.bind(11, static_cast<std::int64_t>(file.broken ? 1 : 0));
    if (!put.ok() || put.step() != SQLITE_ROW) return fail("cannot write the library", put.rc());
    const std::int64_t id = put.integer(0);
    put.step();

    Statement drop(db_, "DELETE FROM track_words WHERE rowid=?");
    drop.bind(1, id);
    if (!drop.ok() || drop.step() != SQLITE_DONE) return fail("cannot write the library", drop.rc());
    if (file.broken) return true;
    Statement words(
        db_, "INSERT INTO track_words(rowid, title, artist, album, genre, filename) VALUES(?,?,?,?,?,?)");
    words.bind(1, id);
    words.bind(2, indexText(file.title));
    words.bind(3, indexText(file.artist));
    words.bind(4, indexText(file.album));
    words.bind(5, indexText(file.genre));
    words.bind(
        6, indexText(base::readableTitleOf(base::fileNameFromBytes(QByteArray::fromStdString(file.path)))));
    if (!words.ok() || words.step() != SQLITE_DONE) return fail("cannot write the library", words.rc());
    return true;
}

bool LibraryDatabase::setMissing(const std::vector<std::int64_t>& ids, bool missing) {
    Statement mark(db_, "UPDATE tracks SET missing=? WHERE id=?");
    for (std::int64_t id : ids) {
        mark.reset();
        mark.bind(1, static_cast<std::int64_t>(missing ? 1 : 0));
        mark.bind(2, id);
        if (!mark.ok() || mark.step() != SQLITE_DONE) return fail("cannot write the library", mark.rc());
    }
    return true;
}

bool LibraryDatabase::setMeta(const std::string& key, const std::string& value) {
    Statement put(db_, "INSERT OR REPLACE INTO meta(key, value) VALUES(?, ?)");
    put.bind(1, QString::fromStdString(key));
    put.bind(2, QString::fromStdString(value));
    return (put.ok() && put.step() == SQLITE_DONE) || fail("cannot write the library", put.rc());
}

std::string LibraryDatabase::meta(const std::string& key) const {
    Statement get(db_, "SELECT value FROM meta WHERE key=?");
    get.bind(1, QString::fromStdString(key));
    if (!get.ok() || get.step() != SQLITE_ROW) return {};
    return get.text(0).toStdString();
}

// --- searching ---------------------------------------------------------------------------------------

QString LibraryDatabase::indexText(const QString& text) {
    const QString normal = text.normalized(QString::NormalizationForm_KC);
    QString out;
    out.reserve(normal.size() + 8);
    for (qsizetype i = 0; i < normal.size(); ++i) {
        char32_t c = normal[i].unicode();
        const bool pair =
            normal[i].isHighSurrogate() && i + 1 < normal.size() && normal[i + 1].isLowSurrogate();
        if (pair) c = QChar::surrogateToUcs4(normal[i], normal[i + 1]);
        if (isCjk(c)) out += u' ';
        out += normal[i];
        if (pair) out += normal[++i];
        if (isCjk(c)) out += u' ';
    }
    return out;
}

QString LibraryDatabase::matchQuery(const QString& words) {
    QStringList terms;
    for (const QString& word : words.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)) {
        // Punctuation alone ("-", "&") matches nothing and is no word to look for.
        if (std::none_of(word.begin(), word.end(), [](QChar c) { return c.isLetterOrNumber(); })) continue;
        QString phrase = indexText(word).simplified();
        phrase.replace(u'"', QStringLiteral("\"\""));
        terms << u'"' + phrase + QStringLiteral("\" *");
    }
    return terms.join(QStringLiteral(" AND "));
}

std::vector<std::int64_t> LibraryDatabase::search(const QString& words, SortColumn column,
                                                  bool descending) const {
    std::vector<std::int64_t> ids;
    const QString match = matchQuery(words);
    std::string sql = "SELECT t.id FROM tracks t WHERE t.missing=0 AND t.broken=0";
    if (!match.isEmpty()) sql += " AND t.id IN (SELECT rowid FROM track_words WHERE track_words MATCH ?1)";
    sql += std::string(" ORDER BY ") + orderBy(column) + (descending ? " DESC" : "") + ", t.id";
    Statement query(db_, sql.c_str());
    if (!match.isEmpty()) query.bind(1, match);
    int rc = query.ok() ? SQLITE_OK : query.rc();
    while (query.ok() && (rc = query.step()) == SQLITE_ROW) ids.push_back(query.integer(0));
    if (rc != SQLITE_DONE) fail("cannot search the library", rc);
    return ids;
}

std::vector<std::int64_t> LibraryDatabase::matches(const QString& words) const {
    std::vector<std::int64_t> ids;
    const QString match = matchQuery(words);
    if (match.isEmpty()) return ids;
    Statement query(db_, "SELECT rowid FROM track_words WHERE track_words MATCH ?");
    query.bind(1, match);
    int rc = query.ok() ? SQLITE_OK : query.rc();
    while (query.ok() && (rc = query.step()) == SQLITE_ROW) ids.push_back(query.integer(0));
    if (rc != SQLITE_DONE) fail("cannot search the library", rc);
    return ids;
}

std::vector<TrackRow> LibraryDatabase::rows(const std::vector<std::int64_t>& ids) const {
    std::vector<TrackRow> result;
    result.reserve(ids.size());
    Statement query(db_,
                    "SELECT id, path, title, artist, album, duration, bpm, loudness, play_count, "
                    "coalesce(last_played, 0) FROM tracks WHERE id=?");
    for (std::int64_t id : ids) {
        query.reset();
        query.bind(1, id);
        if (!query.ok() || query.step() != SQLITE_ROW) continue;
        TrackRow row;
        row.id = query.integer(0);
        row.path = query.blob(1);
        row.title = query.text(2);
        row.artist = query.text(3);
        row.album = query.text(4);
        row.seconds = query.real(5);
        row.bpm = query.real(6);
        row.loudness = query.real(7);
        row.playCount = static_cast<int>(query.integer(8));
        row.lastPlayed = query.integer(9);
        result.push_back(std::move(row));
    }
    return result;
}

std::optional<TrackRow> LibraryDatabase::row(std::int64_t id) const {
    std::vector<TrackRow> one = rows({id});
    if (one.empty()) return std::nullopt;
    return std::move(one.front());
}

LibraryStats LibraryDatabase::stats() const {
    LibraryStats s;
    Statement query(db_, R"SQL(
SELECT sum(missing=0 AND broken=0), sum(missing=1 AND broken=0), sum(broken=1),
       sum(play_count>0 AND missing=0 AND broken=0), total(CASE WHEN missing=0 AND broken=0 THEN duration END),
       (SELECT count(*) FROM folders) FROM tracks)SQL");
    if (!query.ok() || query.step() != SQLITE_ROW) {
        fail("cannot read the library", query.rc());
        return s;
    }
    s.tracks = query.integer(0);
    s.missing = query.integer(1);
    s.broken = query.integer(2);
    s.played = query.integer(3);
    s.totalSeconds = query.real(4).value_or(0.0);
    s.folders = static_cast<int>(query.integer(5));
    return s;
}

bool LibraryDatabase::recordPlay(const std::string& path, std::int64_t when) {
    Statement update(db_, "UPDATE tracks SET play_count=play_count+1, last_played=? WHERE path=?");
    update.bind(1, when);
    update.bindBlob(2, path);
    if (!update.ok() || update.step() != SQLITE_DONE) return fail("cannot write the library", update.rc());
    return sqlite3_changes(db_) > 0;
}

bool LibraryDatabase::setAnalysis(const std::string& path, std::optional<double> bpm,
                                  std::optional<double> loudness) {
    Statement update(db_,
                     "UPDATE tracks SET bpm=coalesce(?, bpm), loudness=coalesce(?, loudness) WHERE path=?");
    update.bind(1, bpm);
    update.bind(2, loudness);
    update.bindBlob(3, path);
    if (!update.ok() || update.step() != SQLITE_DONE) return fail("cannot write the library", update.rc());
    return sqlite3_changes(db_) > 0;
}

}  // namespace korvex::library
