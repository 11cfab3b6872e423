#pragma once
// The titles the song lists show from the songs' tags ("Artist - Title"), read on a worker thread.
//
// Why it is shaped this way: a list may hold thousands of songs on slow disks, and adding a folder of a
// hundred must not wait for a hundred file headers. The lists keep file names as ever (that is what they
// save); the title list asks this cache for each row it draws. A row whose tags are not read yet shows its
// file name and is queued; the worker reads the queue in order, and the list redraws when revision()
// moves (at most a few times a second while a long queue is read, so a large list is not rebuilt on every
// song).
//
// Tag texts are made readable here: ID3 texts that FFmpeg took for Latin-1 but were Shift-JIS, comments
// written in Shift-JIS, double-encoded and broken UTF-8 come out as the text they were meant to be, or as
// much of it as can be told; line breaks and control characters become blanks.
//
// title() and revision() are called on the user-interface thread only.

#include <QHash>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/decode/song_tags.h"

namespace korvex::songlist {

// Display text of one tag text as FFmpeg gives it (see above); empty when nothing readable is left.
QString tagText(const std::string& raw);
// What a song's tags give as its title: "Artist - Title", the title alone when there is no artist, and
// nothing when there is no title.
QString tagTitle(const decode::SongTags& tags);

class TagTitles {
public:
    TagTitles();
    ~TagTitles();
    TagTitles(const TagTitles&) = delete;
    TagTitles& operator=(const TagTitles&) = delete;

    // The title the tags of `path` give, once they are read; nothing while they are not (they are then
    // queued) and when the file has none or cannot be read.
    std::optional<QString> title(const QString& path);
    // Moves whenever titles read since the last look are there to be shown.
    std::uint64_t revision() const { return published_.load(std::memory_order_acquire); }

private:
    void run();

    std::mutex mutex_;
    std::condition_variable wake_;
    // Every path asked for: its title once read (empty when it has none), nothing while queued.
    QHash<QString, std::optional<QString>> titles_;
    std::deque<QString> queue_;
    // Set when the cache goes: the worker ends, a header being read is given up.
    std::atomic<bool> stopping_{false};
    std::atomic<std::uint64_t> published_{0};
    std::thread worker_;
};

}  // namespace korvex::songlist
