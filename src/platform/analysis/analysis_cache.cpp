#include "platform/analysis/analysis_cache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace korvex::analysis {
namespace {

constexpr char kMagic[4] = {'K', 'V', 'X', 'A'};
// An entry larger than this is not one of ours (a three-hour song's entry is about 300 KB).
constexpr std::size_t kLargestEntry = std::size_t{64} << 20;

std::uint64_t fnv1a(const std::uint8_t* data, std::size_t size) {
    std::uint64_t h = 0xcbf29ce484222325ULL;
    for (std::size_t i = 0; i < size; ++i) {
        h ^= data[i];
        h *= 0x100000001b3ULL;
    }
    return h;
}

class Writer {
public:
    template <typename T>
    void put(const T& value) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(&value);
        bytes.insert(bytes.end(), p, p + sizeof(T));
    }
    void putBytes(const void* data, std::size_t size) {
        const auto* p = static_cast<const std::uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + size);
    }
    std::vector<std::uint8_t> bytes;
};

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    template <typename T>
    bool get(T& value) {
        if (size_ - pos_ < sizeof(T)) return false;
        std::memcpy(&value, data_ + pos_, sizeof(T));
        pos_ += sizeof(T);
        return true;
    }
    bool getBytes(void* out, std::size_t size) {
        if (size_ - pos_ < size) return false;
        // An empty list has no storage to copy into (its data() may be null).
        if (size == 0) return true;
        std::memcpy(out, data_ + pos_, size);
        pos_ += size;
        return true;
    }
    bool atEnd() const { return pos_ == size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

bool makeFolders(const std::string& folder) {
    std::string partial;
    std::size_t from = 0;
    while (from <= folder.size()) {
        const std::size_t slash = folder.find('/', from);
        partial = folder.substr(0, slash == std::string::npos ? folder.size() : slash);
        if (!partial.empty() && ::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
        from = slash + 1;
    }
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::optional<FileIdentity> identify(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    FileIdentity id;
    id.size = static_cast<std::uint64_t>(st.st_size);
    id.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    return id;
}

std::string defaultCacheFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && data[0] == '/') return std::string(data) + "/korvex/analysis";
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "/tmp") + "/.local/share/korvex/analysis";
}

AnalysisCache::AnalysisCache(std::string folder) : folder_(std::move(folder)) {}

std::string AnalysisCache::entryPath(const std::string& path) const {
    char name[32];
    std::snprintf(name, sizeof name, "%016llx.kva",
                  static_cast<unsigned long long>(fnv1a(reinterpret_cast<const std::uint8_t*>(path.data()), path.size())));
    return folder_ + "/" + name;
}

std::optional<TrackAnalysis> AnalysisCache::load(const std::string& path) const {
    const std::optional<FileIdentity> now = identify(path);
    if (!now) return std::nullopt;
    std::ifstream in(entryPath(path), std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<std::uint8_t> bytes;
    in.seekg(0, std::ios::end);
    const std::streamoff length = in.tellg();
    if (length < static_cast<std::streamoff>(sizeof kMagic + 8) || static_cast<std::size_t>(length) > kLargestEntry)
        return std::nullopt;
    in.seekg(0);
    bytes.resize(static_cast<std::size_t>(length));
    if (!in.read(reinterpret_cast<char*>(bytes.data()), length)) return std::nullopt;

    const std::size_t body = bytes.size() - sizeof(std::uint64_t);
    std::uint64_t sum = 0;
    std::memcpy(&sum, bytes.data() + body, sizeof sum);
    if (sum != fnv1a(bytes.data(), body)) return std::nullopt;

    Reader r(bytes.data(), body);
    char magic[4];
    std::uint32_t version = 0, pathLength = 0, beatCount = 0, columnCount = 0;
    FileIdentity stored;
    TrackAnalysis a;
    if (!r.getBytes(magic, 4) || std::memcmp(magic, kMagic, 4) != 0) return std::nullopt;
    if (!r.get(version) || version != kAnalysisVersion) return std::nullopt;
    if (!r.get(pathLength) || pathLength != path.size()) return std::nullopt;
    std::string storedPath(pathLength, '\0');
    if (!r.getBytes(storedPath.data(), pathLength) || storedPath != path) return std::nullopt;
    if (!r.get(stored.size) || !r.get(stored.mtimeNs) || stored != *now) return std::nullopt;
    if (!r.get(a.bpm) || !r.get(a.firstBeat) || !r.get(a.loudness) || !r.get(a.duration) ||
        !r.get(a.waveformColumnSeconds))
        return std::nullopt;
    if (!r.get(beatCount) || beatCount > body / sizeof(double)) return std::nullopt;
    a.beats.resize(beatCount);
    if (!r.getBytes(a.beats.data(), beatCount * sizeof(double))) return std::nullopt;
    if (!r.get(columnCount) || columnCount > body) return std::nullopt;
    a.waveform.resize(columnCount);
    if (!r.getBytes(a.waveform.data(), columnCount) || !r.atEnd()) return std::nullopt;
    // Figures no analysis gives are damage the checksum happened to miss, or a hand-made entry.
    if (!(a.bpm == 0.0 || (a.bpm >= 1.0 && a.bpm <= 1000.0)) || !std::isfinite(a.firstBeat) ||
        !(a.duration >= 0.0) || std::isnan(a.loudness))
        return std::nullopt;
    return a;
}

bool AnalysisCache::store(const std::string& path, const FileIdentity& identity, const TrackAnalysis& a) const {
    if (!makeFolders(folder_)) return false;
    Writer w;
    w.putBytes(kMagic, 4);
    w.put(kAnalysisVersion);
    w.put(static_cast<std::uint32_t>(path.size()));
    w.putBytes(path.data(), path.size());
    w.put(identity.size);
    w.put(identity.mtimeNs);
    w.put(a.bpm);
    w.put(a.firstBeat);
    w.put(a.loudness);
    w.put(a.duration);
    w.put(a.waveformColumnSeconds);
    w.put(static_cast<std::uint32_t>(a.beats.size()));
    w.putBytes(a.beats.data(), a.beats.size() * sizeof(double));
    w.put(static_cast<std::uint32_t>(a.waveform.size()));
    w.putBytes(a.waveform.data(), a.waveform.size());
    w.put(fnv1a(w.bytes.data(), w.bytes.size()));

    const std::string target = entryPath(path);
    std::string temp = target + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < w.bytes.size()) {
        const ssize_t n = ::write(fd, w.bytes.data() + done, w.bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok = false;
        else done += static_cast<std::size_t>(n);
    }
    ok = ::close(fd) == 0 && ok;
    if (ok) ok = ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

std::optional<TrackAnalysis> cachedAnalysis(const std::string& path) {
    return AnalysisCache().load(path);
}

}  // namespace korvex::analysis
