#pragma once
// The decoded samples of one track, filled progressively by a decoder thread and read by the audio thread.
//
// Samples are 16-bit interleaved stereo at the track's own rate (at most 48 kHz), in fixed blocks that are
// never moved or freed while the track lives. The decoder publishes the decoded length with a release
// store only after the samples are written, so the audio thread can play and seek inside what is already
// there while the rest still loads; past that it reads silence instead of waiting.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

namespace korvex::decode {

class DecodedAudio {
public:
    // Frames per storage block (0.74 s at 44.1 kHz).
    static constexpr std::size_t kBlockFrames = std::size_t{1} << 15;
    // Storage blocks per track: a little over three hours at 48 kHz.
    static constexpr std::size_t kMaxBlocks = 16384;
    static constexpr std::size_t kMaxFrames = kBlockFrames * kMaxBlocks;

    explicit DecodedAudio(int sampleRate);
    ~DecodedAudio();
    DecodedAudio(const DecodedAudio&) = delete;
    DecodedAudio& operator=(const DecodedAudio&) = delete;

    int sampleRate() const { return sampleRate_; }

    // Frames that may be read; grows while decoding. Any thread.
    std::size_t availableFrames() const { return available_.load(std::memory_order_acquire); }
    // True once decoding has ended; availableFrames() is then final. Any thread.
    bool complete() const { return complete_.load(std::memory_order_acquire); }
    // True when decoding stopped on an error after some audio was decoded (the track is shorter).
    bool truncated() const { return truncated_.load(std::memory_order_acquire); }

    // Copies frames [first, first + count) as float stereo into `out`; frames outside what has been
    // decoded (including negative indices) read as silence. Real-time safe.
    void readFloat_rt(std::int64_t first, std::size_t count, float* out) const;

    // Decoder thread only: appends interleaved stereo frames. Returns false when the track is full.
    bool append(const std::int16_t* frames, std::size_t count);
    // Decoder thread only: ends decoding; `truncatedByError` when it stopped on a decode error.
    void finish(bool truncatedByError = false);

    // Asks the decoder to stop early (the track is being replaced). Any thread.
    void requestCancel() { cancel_.store(true, std::memory_order_release); }
    bool cancelRequested() const { return cancel_.load(std::memory_order_acquire); }

    // Blocks until decoding has ended. Never on the audio thread.
    void waitComplete() const;
    // Blocks until at least `frames` are available or decoding has ended. Never on the audio thread.
    void waitForFrames(std::size_t frames) const;

private:
    const int sampleRate_;
    std::unique_ptr<std::int16_t*[]> blocks_;
    std::atomic<std::size_t> available_{0};
    std::atomic<bool> complete_{false};
    std::atomic<bool> truncated_{false};
    std::atomic<bool> cancel_{false};
    mutable std::mutex waitMutex_;
    mutable std::condition_variable waitCv_;
};

}  // namespace korvex::decode
