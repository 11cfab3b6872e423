#include "platform/decode/decoded_audio.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/audio/realtime.h"

namespace korvex::decode {

namespace {
constexpr float kScale = 1.0f / 32768.0f;
}

DecodedAudio::DecodedAudio(int sampleRate)
    : sampleRate_(sampleRate), blocks_(std::make_unique<std::int16_t*[]>(kMaxBlocks)) {}

DecodedAudio::~DecodedAudio() {
    for (std::size_t i = 0; i < kMaxBlocks && blocks_[i] != nullptr; ++i) delete[] blocks_[i];
}

void DecodedAudio::readFloat_rt(std::int64_t first, std::size_t count, float* out) const {
    const auto avail = static_cast<std::int64_t>(availableFrames());
    std::int64_t frame = first;
    std::size_t done = 0;
    // Leading silence before the start of the track.
    if (frame < 0) {
        const auto lead = static_cast<std::size_t>(std::min<std::int64_t>(-frame, static_cast<std::int64_t>(count)));
        std::memset(out, 0, lead * 2 * sizeof(float));
        done = lead;
        frame += static_cast<std::int64_t>(lead);
    }
    while (done < count && frame < avail) {
        const auto block = static_cast<std::size_t>(frame) / kBlockFrames;
        const auto offset = static_cast<std::size_t>(frame) % kBlockFrames;
        const std::size_t run = std::min({count - done, kBlockFrames - offset,
                                          static_cast<std::size_t>(avail - frame)});
        const std::int16_t* src = blocks_[block] + offset * 2;
        float* dst = out + done * 2;
        for (std::size_t i = 0; i < run * 2; ++i) dst[i] = static_cast<float>(src[i]) * kScale;
        done += run;
        frame += static_cast<std::int64_t>(run);
    }
    if (done < count) std::memset(out + done * 2, 0, (count - done) * 2 * sizeof(float));
}

bool DecodedAudio::append(const std::int16_t* frames, std::size_t count) {
    std::size_t written = available_.load(std::memory_order_relaxed);
    while (count > 0) {
        if (written >= kMaxFrames) return false;
        const std::size_t block = written / kBlockFrames;
        const std::size_t offset = written % kBlockFrames;
        if (blocks_[block] == nullptr) blocks_[block] = new (std::nothrow) std::int16_t[kBlockFrames * 2];
        if (blocks_[block] == nullptr) return false;  // out of memory: the track ends here
        const std::size_t run = std::min(count, kBlockFrames - offset);
        std::memcpy(blocks_[block] + offset * 2, frames, run * 2 * sizeof(std::int16_t));
        frames += run * 2;
        count -= run;
        written += run;
        available_.store(written, std::memory_order_release);
    }
    {
        std::lock_guard lock(waitMutex_);
    }
    waitCv_.notify_all();
    return true;
}

void DecodedAudio::finish(bool truncatedByError) {
    truncated_.store(truncatedByError, std::memory_order_release);
    {
        std::lock_guard lock(waitMutex_);
        complete_.store(true, std::memory_order_release);
    }
    waitCv_.notify_all();
}

void DecodedAudio::waitComplete() const {
    audio::assertNotRealtime();
    std::unique_lock lock(waitMutex_);
    waitCv_.wait(lock, [this] { return complete(); });
}

void DecodedAudio::waitForFrames(std::size_t frames) const {
    audio::assertNotRealtime();
    std::unique_lock lock(waitMutex_);
    waitCv_.wait(lock, [this, frames] { return complete() || availableFrames() >= frames; });
}

}  // namespace korvex::decode
