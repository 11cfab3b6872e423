#pragma once
// The decoded samples of one track: a bounded cache of fixed blocks, filled by the track's decode worker
// and read by the audio thread.
//
// Samples are 16-bit interleaved stereo at the track's own rate (at most 48 kHz). The track's frames are
// cut into blocks of kBlockFrames; each block is either in memory (wholly or from its start up to a fill
// mark) or not. A deck keeps at most cacheBlocks() blocks: a window around the play head, the blocks at
// its points of interest (cue, selection start and end) and whatever was played lately. A song that fits
// stays whole. When memory is full the worker drops the block farthest from every point of interest and
// decodes it again when it is wanted.
//
// The audio thread never waits, allocates or frees here: it loads a block's pointer and fill mark and
// copies; a block that is not there reads as silence and is reported missing, so the deck can hold its
// position and fade in once the worker has decoded it. The worker drops a block by clearing its pointer
// and then waiting (on its own thread) until no read that could have seen the old pointer is still
// running; only then is the block's memory recycled for another part of the track. Free blocks live on
// the worker's own list, which the audio thread never touches.

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace korvex::decode {

class DecodedAudio {
public:
    // Frames per storage block (0.74 s at 44.1 kHz, 128 KiB).
    static constexpr std::size_t kBlockFrames = std::size_t{1} << 15;
    // Blocks a track may span: a little over three hours at 48 kHz.
    static constexpr std::size_t kMaxBlocks = 16384;
    static constexpr std::size_t kMaxFrames = kBlockFrames * kMaxBlocks;
    // Blocks kept in memory per deck by default: 50 MiB, 4.95 minutes at 44.1 kHz.
    static constexpr std::size_t kCacheBlocks = 400;
    // Points of interest a deck can name (cue memories, selection start and end).
    static constexpr std::size_t kMaxPoints = 8;

    // `cacheBlocks` 0 takes defaultCacheBlocks().
    explicit DecodedAudio(int sampleRate, std::size_t cacheBlocks = 0);
    ~DecodedAudio();
    DecodedAudio(const DecodedAudio&) = delete;
    DecodedAudio& operator=(const DecodedAudio&) = delete;

    // The cache size new tracks get (tests shrink it to exercise dropping blocks with short files).
    static std::size_t defaultCacheBlocks();
    static void setDefaultCacheBlocks(std::size_t blocks);

    int sampleRate() const { return sampleRate_; }
    std::size_t cacheBlocks() const { return cacheBlocks_; }

    // The track's length in frames once complete(); before that, how far decoding from the start has got
    // without a gap. Any thread.
    std::size_t availableFrames() const;
    // True once the end of the file has been decoded; availableFrames() is then the exact length.
    bool complete() const { return complete_.load(std::memory_order_acquire); }
    // True when decoding stopped on an error after some audio was decoded (the track is shorter).
    bool truncated() const { return truncated_.load(std::memory_order_acquire); }

    // Copies frames [first, first + count) as float stereo into `out`. Frames before the start or after
    // the end read as silence; frames inside the track that are not in memory read as silence too, and
    // then this returns false. Real-time safe.
    bool readFloat_rt(std::int64_t first, std::size_t count, float* out) const;
    // True when every frame of [first, last] that lies inside the track is in memory. Real-time safe.
    bool resident_rt(std::int64_t first, std::int64_t last) const;
    // Where the deck's play head is (frames); the worker keeps a window around it. Real-time safe.
    void setPlayHead_rt(std::int64_t frame) const { playHead_.store(frame, std::memory_order_relaxed); }

    // The positions (seconds) the deck may jump to at any moment: their blocks are kept and decoded
    // first. Replaces the earlier set; at most kMaxPoints are kept. Not on the audio thread.
    void setPointsOfInterest(const std::vector<double>& seconds);
    // A jump to `frame` is on its way: the worker decodes there first. Not on the audio thread.
    void requestFrame(std::int64_t frame);

    // Blocks in memory now (tests and benchmarks).
    std::size_t residentBlocks() const { return residentCount_.load(std::memory_order_relaxed); }

    // --- Decode worker only ---
    // The next block the worker should decode, or -1 when everything wanted is in memory.
    std::int64_t nextWantedBlock() const;
    // Frames of `block` already in memory from its start.
    std::size_t blockFill(std::size_t block) const;
    // Where the next append lands.
    std::int64_t writeFrame() const { return writeFrame_; }
    void setWriteFrame(std::int64_t frame) { writeFrame_ = frame; }
    // Appends interleaved stereo frames at writeFrame(). Returns false when the track is full.
    bool append(const std::int16_t* frames, std::size_t count);
    // The end of the file lies at writeFrame(): the length is now exact. `truncatedByError` when decoding
    // stopped on an error.
    void finish(bool truncatedByError = false);
    // The length the container announces, in frames (0 unknown): bounds what the worker decodes ahead.
    void setExpectedFrames(std::size_t frames) { expectedFrames_.store(frames, std::memory_order_relaxed); }
    // Blocks at and past this one lie beyond the end (found by a seek that met the end of the file).
    void markEndBefore(std::size_t block);
    std::size_t endBlock() const { return endBlock_.load(std::memory_order_relaxed); }
    // Keeps every block (decoders that cannot seek): the cache then grows with the song.
    void keepEverything() { keepAll_ = true; }
    // Sleeps until a jump is requested, a point of interest changes or `timeout` passes.
    void waitForWork(std::chrono::milliseconds timeout);

    // Asks the decoder to stop early (the track is being replaced). Any thread.
    void requestCancel();
    bool cancelRequested() const { return cancel_.load(std::memory_order_acquire); }

    // Blocks until the end of the file has been decoded. Never on the audio thread.
    void waitComplete() const;
    // Blocks until at least `frames` are available or decoding has ended. Never on the audio thread.
    void waitForFrames(std::size_t frames) const;
    // How long the worker may sleep once nothing is wanted: until a head moving at the fastest search could
    // have used up half the window decoded ahead of it (at least 0.1 s, at most 2 s), or 5 s for a song
    // held whole, which the head moving on never asks anything of.
    std::chrono::milliseconds idleWait() const;

private:
    struct Slot {
        std::atomic<std::int16_t*> data{nullptr};
        std::atomic<std::uint32_t> filled{0};  // frames [first, filled) of the block are there
        std::atomic<std::uint32_t> first{0};
    };

    std::size_t lengthBlocks() const;
    // Blocks kept decoded ahead of the play head (of a song not held whole).
    std::int64_t aheadBlocks() const;
    // True when the whole song is kept (it fits, or the decoder cannot jump).
    bool fitsWhole() const;
    // How far `block` is from every point of interest, in blocks (behind a point counts four times).
    std::int64_t distance(std::int64_t block) const;
    std::int16_t* takeBuffer(std::size_t forBlock);
    void drop(std::size_t block);
    void notifyWaiters();

    const int sampleRate_;
    const std::size_t cacheBlocks_;
    std::unique_ptr<Slot[]> slots_;
    // Reads in progress on any thread; a dropped block's memory is reused only when this is zero.
    mutable std::atomic<int> readers_{0};
    mutable std::atomic<std::int64_t> playHead_{0};
    std::atomic<std::int64_t> requested_{-1};
    std::array<std::atomic<std::int64_t>, kMaxPoints> points_{};
    std::atomic<std::size_t> frontier_{0};
    std::atomic<std::size_t> length_{0};
    std::atomic<std::size_t> expectedFrames_{0};
    std::atomic<std::size_t> endBlock_{kMaxBlocks};
    std::atomic<std::size_t> residentCount_{0};
    std::atomic<bool> complete_{false};
    std::atomic<bool> truncated_{false};
    std::atomic<bool> cancel_{false};
    std::atomic<std::uint64_t> workSeq_{0};
    bool keepAll_ = false;
    std::int64_t writeFrame_ = 0;
    // Worker only: blocks in memory, and block memory not in use.
    std::vector<std::size_t> resident_;
    std::vector<std::int16_t*> free_;
    std::vector<std::unique_ptr<std::int16_t[]>> owned_;
    mutable std::mutex waitMutex_;
    mutable std::condition_variable waitCv_;
};

}  // namespace korvex::decode
