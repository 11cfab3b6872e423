#include "library/library_scanner.h"

#include <dirent.h>
#include <sys/stat.h>

#include <QDateTime>
#include <algorithm>
#include <cstring>
#include <set>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/file_names.h"
#include "platform/decode/song_tags.h"
#include "songlist/music_files.h"
#include "songlist/tag_titles.h"

namespace korvex::library {
namespace {

// True when the name (bytes) ends in one of the music endings, in any case.
bool musicName(const std::string& name) {
    for (const songlist::MusicKind& kind : songlist::musicKinds()) {
        const std::size_t n = std::strlen(kind.ending);
        if (name.size() <= n) continue;
        if (std::equal(name.end() - static_cast<std::ptrdiff_t>(n), name.end(), kind.ending,
                       [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a + ('a' - 'A') : a) == b; }))
            return true;
    }
    return false;
}

struct Pending {
    std::string path;
    std::int64_t size;
    std::int64_t mtimeNs;
    bool known;
};

// The row of one file: its tags, or its name when it has no title.
TrackFile readTrack(const Pending& file, const std::atomic<bool>* stop) {
    TrackFile track;
    track.path = file.path;
    track.size = file.size;
    track.mtimeNs = file.mtimeNs;
    decode::SongTags tags;
    decode::SongDetails details;
    track.broken = !decode::readSongTags(file.path, tags, stop, &details);
    track.title = songlist::tagText(tags.title);
    track.artist = songlist::tagText(tags.artist);
    track.album = songlist::tagText(details.album);
    track.genre = songlist::tagText(details.genre);
    track.year = songlist::tagText(details.date).left(4).toInt();
    track.seconds = details.seconds;
    if (track.title.isEmpty()) {
        track.title = base::readableTitleOf(base::fileNameFromBytes(QByteArray::fromStdString(file.path)));
        if (const qsizetype dot = track.title.lastIndexOf(u'.'); dot > 0) track.title.truncate(dot);
    }
    return track;
}

bool under(const std::string& path, const std::string& folder) {
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           (folder.back() == '/' || path[folder.size()] == '/');
}

}  // namespace

QString summaryText(const ScanResult& r) {
    QString text = QStringLiteral("スキャン完了：追加 %1・更新 %2・変更なし %3・見つからない %4")
                       .arg(r.added)
                       .arg(r.updated)
                       .arg(r.unchanged)
                       .arg(r.vanished);
    if (r.broken > 0) text += QStringLiteral("・読めないファイル %1").arg(r.broken);
    if (r.unreadableFolders > 0) text += QStringLiteral("・開けないフォルダー %1").arg(r.unreadableFolders);
    if (r.loops > 0) text += QStringLiteral("・二度目のフォルダー %1").arg(r.loops);
    return text;
}

std::string summaryEnglish(const ScanResult& r) {
    return "found " + std::to_string(r.found) + ", added " + std::to_string(r.added) + ", updated " +
           std::to_string(r.updated) + ", unchanged " + std::to_string(r.unchanged) + ", missing " +
           std::to_string(r.vanished) + ", broken files " + std::to_string(r.broken) +
           ", unreadable folders " + std::to_string(r.unreadableFolders) + ", folders reached twice " +
           std::to_string(r.loops);
}

ScanResult scanLibrary(LibraryDatabase& db, const std::atomic<bool>* stop, ScanProgress* progress,
                       int batch) {
    ScanResult result;
    ScanProgress localProgress;
    ScanProgress& p = progress != nullptr ? *progress : localProgress;
    auto stopped = [stop] { return stop != nullptr && stop->load(std::memory_order_relaxed); };
    auto failed = [&result, &db] {
        result.error = db.error();
        result.errorEnglish = db.errorEnglish();
        result.diskFull = db.diskFull();
        return result;
    };
    // A start after a crash sees this and scans again.
    if (!db.setMeta("scan-state", "running")) return failed();

    struct Known {
        LibraryDatabase::KnownFile file;
        bool seen = false;
    };
    std::unordered_map<std::string, Known> known;
    for (auto& [path, file] : db.knownFiles()) known.emplace(std::move(path), Known{file});

    // Walk: each folder once, by device and inode.
    const std::vector<std::string> roots = db.folders();
    std::set<std::pair<dev_t, ino_t>> entered;
    std::vector<std::string> unsure;  // folders not read this time: their songs are not marked missing
    std::vector<Pending> pending;
    std::vector<std::int64_t> back;  // known as missing, found again
    for (const std::string& root : roots) {
        std::vector<std::string> stack{root};
        while (!stack.empty() && !stopped()) {
            const std::string folder = std::move(stack.back());
            stack.pop_back();
            struct stat info {};
            if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
                ++result.unreadableFolders;
                unsure.push_back(folder);
                continue;
            }
            if (!entered.emplace(info.st_dev, info.st_ino).second) {
                ++result.loops;
                continue;
            }
            DIR* dir = ::opendir(folder.c_str());
            if (dir == nullptr) {
                ++result.unreadableFolders;
                unsure.push_back(folder);
                continue;
            }
            std::vector<std::string> names;
            while (const dirent* entry = ::readdir(dir))
                if (entry->d_name[0] != '.') names.emplace_back(entry->d_name);
            ::closedir(dir);
            std::sort(names.begin(), names.end());
            std::vector<std::string> subfolders;
            const std::string prefix = folder.back() == '/' ? folder : folder + '/';
            for (const std::string& name : names) {
                std::string path = prefix + name;
                struct stat file {};
                if (::stat(path.c_str(), &file) != 0) continue;  // a dangling link
                if (S_ISDIR(file.st_mode)) {
                    subfolders.push_back(std::move(path));
                    continue;
                }
                if (!S_ISREG(file.st_mode) || !musicName(name)) continue;
                ++result.found;
                p.found.store(result.found, std::memory_order_relaxed);
                const std::int64_t mtime =
                    static_cast<std::int64_t>(file.st_mtim.tv_sec) * 1'000'000'000 + file.st_mtim.tv_nsec;
                const auto it = known.find(path);
                if (it != known.end()) {
                    it->second.seen = true;
                    if (it->second.file.size == file.st_size && it->second.file.mtimeNs == mtime) {
                        ++result.unchanged;
                        if (it->second.file.missing) back.push_back(it->second.file.id);
                        continue;
                    }
                }
                pending.push_back(
                    {std::move(path), static_cast<std::int64_t>(file.st_size), mtime, it != known.end()});
            }
            // Depth first, in name order.
            stack.insert(stack.end(), std::make_move_iterator(subfolders.rbegin()),
                         std::make_move_iterator(subfolders.rend()));
        }
    }
    p.toRead.store(static_cast<std::int64_t>(pending.size()));
    p.walking.store(false);

    // Read a batch, then write it in one short transaction: the library is never locked while a slow
    // disk is read, so a play counted meanwhile waits for a write of a few milliseconds at most.
    const std::int64_t now = QDateTime::currentSecsSinceEpoch();
    std::size_t i = 0;
    std::vector<TrackFile> tracks;
    while (i < pending.size() && !stopped()) {
        const std::size_t end = std::min(pending.size(), i + static_cast<std::size_t>(std::max(1, batch)));
        const std::size_t first = i;
        tracks.clear();
        for (; i < end && !stopped(); ++i) tracks.push_back(readTrack(pending[i], stop));
        // A header cut short by the stop is no reason to call the file broken.
        if (stopped() && !tracks.empty()) tracks.pop_back();
        if (!db.begin()) return failed();
        for (std::size_t k = 0; k < tracks.size(); ++k) {
            if (!db.putTrack(tracks[k], now)) {
                db.rollback();
                return failed();
            }
        }
        if (!db.commit()) return failed();
        for (std::size_t k = 0; k < tracks.size(); ++k) {
            if (tracks[k].broken)
                ++result.broken;
            else if (pending[first + k].known)
                ++result.updated;
            else
                ++result.added;
        }
        p.read.fetch_add(static_cast<std::int64_t>(tracks.size()), std::memory_order_relaxed);
    }
    if (stopped()) {
        result.stopped = true;
        return result;
    }

    // What was known under the named folders but not found is missing now.
    std::vector<std::int64_t> gone;
    for (const auto& [path, entry] : known) {
        if (entry.seen || entry.file.missing) continue;
        const bool inRoot =
            std::any_of(roots.begin(), roots.end(), [&](const std::string& r) { return under(path, r); });
        const bool doubtful =
            std::any_of(unsure.begin(), unsure.end(), [&](const std::string& f) { return under(path, f); });
        if (inRoot && !doubtful) gone.push_back(entry.file.id);
    }
    if (!db.begin() || !db.setMissing(gone, true) || !db.setMissing(back, false) ||
        !db.setMeta("scan-state", "done") || !db.setMeta("last-scan", std::to_string(now)) || !db.commit())
        return failed();
    result.vanished = static_cast<std::int64_t>(gone.size());
    result.complete = true;
    return result;
}

ScanJob::ScanJob(QString path) : path_(std::move(path)) {}

ScanJob::~ScanJob() {
    stop();
    if (thread_.joinable()) thread_.join();
}

void ScanJob::start() {
    if (thread_.joinable()) thread_.join();
    stop_.store(false);
    progress_.found.store(0);
    progress_.toRead.store(0);
    progress_.read.store(0);
    progress_.walking.store(true);
    running_.store(true, std::memory_order_release);
    thread_ = std::thread([this] {
        ScanResult result;
        LibraryDatabase db;
        if (db.open(path_)) {
            result = scanLibrary(db, &stop_, &progress_);
        } else {
            result.error = db.error();
            result.errorEnglish = db.errorEnglish();
        }
        {
            const std::lock_guard lock(mutex_);
            result_ = std::move(result);
        }
        running_.store(false, std::memory_order_release);
    });
}

ScanResult ScanJob::result() const {
    const std::lock_guard lock(mutex_);
    return result_;
}

}  // namespace korvex::library
