#pragma once
// The analyses on disk: one small file per song in Korvex's data folder, found by the song's path and
// trusted only while the song is the same file (same size, same modification time) and the entry is
// whole and of this version.
//
// Why it is shaped this way: a song is analysed once, however often it is loaded, and any part of the
// program (the decks, the music library, another process) can ask "what is known of this file?" without
// the analysis worker: cachedAnalysis() only reads a file, from any thread. Entries are written to a
// temporary file and renamed into place, so a reader sees either the old entry or the new one, and a
// damaged, cut or foreign entry reads as none (the song is then analysed again).
//
// Layout of an entry (host byte order, 64-bit floats): "KVXA", version, path length and bytes, size,
// modification time in ns, bpm, first beat, loudness, duration, waveform column seconds, beat count and
// beats, column count and columns, and an FNV-1a checksum of everything before it.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/analysis/track_analysis.h"

namespace korvex::analysis {

// What makes a song file the same file.
struct FileIdentity {
    std::uint64_t size = 0;
    std::int64_t mtimeNs = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The identity of the file at `path` now, or nothing when it cannot be read.
std::optional<FileIdentity> identify(const std::string& path);

// Korvex's analysis folder: $XDG_DATA_HOME/korvex/analysis, else ~/.local/share/korvex/analysis.
std::string defaultCacheFolder();

class AnalysisCache {
public:
    explicit AnalysisCache(std::string folder = defaultCacheFolder());

    // The stored analysis of `path` if there is one for the file as it is now. Any thread.
    std::optional<TrackAnalysis> load(const std::string& path) const;
    // Stores the analysis of `path` made of the file as `identity` says it was (atomically; the folder is
    // made when missing). False when it cannot be written. Any thread.
    bool store(const std::string& path, const FileIdentity& identity, const TrackAnalysis& analysis) const;
    // The entry file for `path`.
    std::string entryPath(const std::string& path) const;
    const std::string& folder() const { return folder_; }

private:
    std::string folder_;
};

// The analysis of the song at `path` if it is in the default cache and still matches the file: the
// library's and other programs' way in (they never start an analysis). Any thread.
std::optional<TrackAnalysis> cachedAnalysis(const std::string& path);

}  // namespace korvex::analysis
