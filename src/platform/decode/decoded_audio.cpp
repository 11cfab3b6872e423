#include "platform/decode/decoded_audio.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <thread>

#include "platform/audio/realtime.h"

namespace korvex::decode {

namespace {
constexpr float kScale = 1.0f / 32768.0f;
constexpr auto kBlock = static_cast<std::int64_t>(DecodedAudio::kBlockFrames);
std::atomic<std::size_t> defaultCache{DecodedAudio::kCacheBlocks};

std::int64_t blockOf(std::int64_t frame) { return frame < 0 ? -1 : frame / kBlock; }
}  // namespace

std::size_t DecodedAudio::defaultCacheBlocks() { return defaultCache.load(std::memory_order_relaxed); }
void DecodedAudio::setDefaultCacheBlocks(std::size_t blocks) {
    defaultCache.store(std::max<std::size_t>(blocks, 8), std::memory_order_relaxed);
}

DecodedAudio::DecodedAudio(int sampleRate, std::size_t cacheBlocks)
    : sampleRate_(sampleRate),
      cacheBlocks_(cacheBlocks != 0 ? cacheBlocks : defaultCacheBlocks()),
      slots_(std::make_unique<Slot[]>(kMaxBlocks)) {
    for (auto& point : points_) point.store(-1, std::memory_order_relaxed);
}

DecodedAudio::~DecodedAudio() = default;

std::size_t DecodedAudio::availableFrames() const {
    if (complete()) return length_.load(std::memory_order_acquire);
    return frontier_.load(std::memory_order_acquire);
}

bool DecodedAudio::readFloat_rt(std::int64_t first, std::size_t count, float* out) const {
    readers_.fetch_add(1, std::memory_order_seq_cst);
    const bool done = complete();
    const auto end = done ? static_cast<std::int64_t>(length_.load(std::memory_order_acquire))
                          : static_cast<std::int64_t>(kMaxFrames);
    bool whole = true;
    std::int64_t frame = first;
    std::size_t filled = 0;
    while (filled < count) {
        float* dst = out + filled * 2;
        if (frame < 0 || frame >= end) {
            // Silence before the start and after the end.
            const std::size_t run = frame < 0 ? static_cast<std::size_t>(std::min<std::int64_t>(
                                                    -frame, static_cast<std::int64_t>(count - filled)))
                                              : count - filled;
            std::memset(dst, 0, run * 2 * sizeof(float));
            filled += run;
            frame += static_cast<std::int64_t>(run);
            continue;
        }
        const auto block = static_cast<std::size_t>(frame / kBlock);
        const auto offset = static_cast<std::size_t>(frame % kBlock);
        const std::size_t run = std::min({count - filled, kBlockFrames - offset, static_cast<std::size_t>(end - frame)});
        const std::int16_t* data = slots_[block].data.load(std::memory_order_seq_cst);
        const std::size_t from = data != nullptr ? slots_[block].first.load(std::memory_order_acquire) : kBlockFrames;
        const std::size_t fill = data != nullptr ? slots_[block].filled.load(std::memory_order_acquire) : 0;
        const std::size_t have = fill > offset && offset >= from ? std::min(run, fill - offset) : 0;
        const std::int16_t* src = have > 0 ? data + offset * 2 : nullptr;
        for (std::size_t i = 0; i < have * 2; ++i) dst[i] = static_cast<float>(src[i]) * kScale;
        if (have < run) {
            std::memset(dst + have * 2, 0, (run - have) * 2 * sizeof(float));
            whole = false;
        }
        filled += run;
        frame += static_cast<std::int64_t>(run);
    }
    readers_.fetch_sub(1, std::memory_order_release);
    return whole;
}

bool DecodedAudio::resident_rt(std::int64_t first, std::int64_t last) const {
    first = std::max<std::int64_t>(first, 0);
    if (complete()) last = std::min(last, static_cast<std::int64_t>(length_.load(std::memory_order_acquire)) - 1);
    if (last >= static_cast<std::int64_t>(kMaxFrames)) return false;
    for (std::int64_t block = first / kBlock; first <= last; ++block) {
        const std::int64_t upto = std::min(last, (block + 1) * kBlock - 1);
        const auto& slot = slots_[static_cast<std::size_t>(block)];
        if (slot.data.load(std::memory_order_acquire) == nullptr) return false;
        if (static_cast<std::int64_t>(slot.first.load(std::memory_order_acquire)) > first - block * kBlock) return false;
        if (static_cast<std::int64_t>(slot.filled.load(std::memory_order_acquire)) <= upto - block * kBlock)
            return false;
        first = upto + 1;
    }
    return true;
}

void DecodedAudio::setPointsOfInterest(const std::vector<double>& seconds) {
    audio::assertNotRealtime();
    for (std::size_t i = 0; i < kMaxPoints; ++i) {
        const std::int64_t frame =
            i < seconds.size() && seconds[i] >= 0.0 ? static_cast<std::int64_t>(seconds[i] * sampleRate_) : -1;
        points_[i].store(frame, std::memory_order_relaxed);
    }
    notifyWaiters();
}

void DecodedAudio::requestFrame(std::int64_t frame) {
    audio::assertNotRealtime();
    requested_.store(std::max<std::int64_t>(frame, 0), std::memory_order_relaxed);
    notifyWaiters();
}

void DecodedAudio::requestCancel() {
    cancel_.store(true, std::memory_order_release);
    notifyWaiters();
}

void DecodedAudio::notifyWaiters() {
    {
        std::lock_guard lock(waitMutex_);
        workSeq_.fetch_add(1, std::memory_order_relaxed);
    }
    waitCv_.notify_all();
}

void DecodedAudio::waitForWork(std::chrono::milliseconds timeout) {
    std::unique_lock lock(waitMutex_);
    const std::uint64_t seen = workSeq_.load(std::memory_order_relaxed);
    waitCv_.wait_for(lock, timeout, [&] { return workSeq_.load(std::memory_order_relaxed) != seen; });
}

std::size_t DecodedAudio::lengthBlocks() const {
    if (complete()) return (length_.load(std::memory_order_acquire) + kBlockFrames - 1) / kBlockFrames;
    // Until the end has been decoded, a jump may go anywhere the file turns out to have audio.
    return std::min(endBlock_.load(std::memory_order_relaxed), kMaxBlocks);
}

bool DecodedAudio::fitsWhole() const {
    if (keepAll_) return true;
    if (complete()) return lengthBlocks() <= cacheBlocks_;
    const std::size_t expected = expectedFrames_.load(std::memory_order_relaxed);
    return expected > 0 && expected / kBlockFrames + 1 <= cacheBlocks_;
}

std::size_t DecodedAudio::blockFill(std::size_t block) const {
    const Slot& slot = slots_[block];
    if (slot.data.load(std::memory_order_relaxed) == nullptr || slot.first.load(std::memory_order_relaxed) != 0) return 0;
    return slot.filled.load(std::memory_order_relaxed);
}

std::chrono::milliseconds DecodedAudio::idleWait() const {
    using std::chrono::milliseconds;
    if (complete() && fitsWhole()) return milliseconds(5000);
    // A search runs the head at up to about eight times normal speed.
    constexpr double kFastestHead = 8.0;
    const double ahead = static_cast<double>(aheadBlocks() - 1) * kBlockFrames / sampleRate_;
    const double ms = ahead / kFastestHead / 2.0 * 1000.0;
    return milliseconds(static_cast<std::int64_t>(std::clamp(ms, 100.0, 2000.0)));
}

std::int64_t DecodedAudio::aheadBlocks() const {
    return std::max<std::int64_t>(2, static_cast<std::int64_t>(cacheBlocks_) * 2 / 5);
}

std::int64_t DecodedAudio::nextWantedBlock() const {
    const auto blocks = static_cast<std::int64_t>(lengthBlocks());
    const bool done = complete();
    const std::size_t length = length_.load(std::memory_order_acquire);
    auto pending = [&](std::int64_t block) {
        if (block < 0 || block >= blocks) return false;
        const std::size_t fill = blockFill(static_cast<std::size_t>(block));
        if (fill >= kBlockFrames) return false;
        return !(done && static_cast<std::size_t>(block) * kBlockFrames + fill >= length);
    };
    const auto cache = static_cast<std::int64_t>(cacheBlocks_);
    const bool whole = fitsWhole();
    const std::int64_t ahead = whole ? blocks : aheadBlocks();
    const std::int64_t perPoint = std::max<std::int64_t>(2, cache / 128);
    const std::int64_t behind = std::max<std::int64_t>(1, cache / 24);
    const std::int64_t request = blockOf(requested_.load(std::memory_order_relaxed));
    const std::int64_t head = blockOf(playHead_.load(std::memory_order_relaxed));
    for (std::int64_t b = request; request >= 0 && b < request + perPoint; ++b)
        if (pending(b)) return b;
    for (std::int64_t b = head; b >= 0 && b < head + ahead; ++b)
        if (pending(b)) return b;
    for (const auto& point : points_) {
        const std::int64_t start = blockOf(point.load(std::memory_order_relaxed));
        for (std::int64_t b = start; start >= 0 && b < start + perPoint; ++b)
            if (pending(b)) return b;
    }
    for (std::int64_t b = std::max<std::int64_t>(0, head - behind); b < head; ++b)
        if (pending(b)) return b;
    // A song that fits stays whole.
    if (whole)
        for (std::int64_t b = 0; b < blocks; ++b)
            if (pending(b)) return b;
    return -1;
}

std::int64_t DecodedAudio::distance(std::int64_t block) const {
    auto from = [block](std::int64_t point) -> std::int64_t {
        if (point < 0) return static_cast<std::int64_t>(kMaxBlocks) * 8;
        return block >= point ? block - point : (point - block) * 4;
    };
    std::int64_t best = from(blockOf(playHead_.load(std::memory_order_relaxed)));
    best = std::min(best, from(blockOf(requested_.load(std::memory_order_relaxed))));
    for (const auto& point : points_) best = std::min(best, from(blockOf(point.load(std::memory_order_relaxed))));
    return best;
}

std::int16_t* DecodedAudio::takeBuffer(std::size_t forBlock) {
    if (free_.empty()) {
        if (fitsWhole() || owned_.size() < cacheBlocks_) {
            owned_.push_back(std::make_unique<std::int16_t[]>(kBlockFrames * 2));
            return owned_.back().get();
        }
        // Memory is full: drop the block farthest from every point of interest.
        std::size_t victim = forBlock;
        std::int64_t far = -1;
        for (std::size_t block : resident_) {
            if (block == forBlock) continue;
            const std::int64_t d = distance(static_cast<std::int64_t>(block));
            if (d > far) {
                far = d;
                victim = block;
            }
        }
        if (victim == forBlock) return nullptr;
        drop(victim);
    }
    std::int16_t* buffer = free_.back();
    free_.pop_back();
    return buffer;
}

void DecodedAudio::drop(std::size_t block) {
    Slot& slot = slots_[block];
    slot.filled.store(0, std::memory_order_relaxed);
    std::int16_t* data = slot.data.exchange(nullptr, std::memory_order_seq_cst);
    // A read that saw the old pointer is still counted here; wait until it has finished copying.
    while (readers_.load(std::memory_order_seq_cst) != 0) std::this_thread::yield();
    if (data != nullptr) free_.push_back(data);
    std::erase(resident_, block);
    residentCount_.store(resident_.size(), std::memory_order_relaxed);
}

bool DecodedAudio::append(const std::int16_t* frames, std::size_t count) {
    while (count > 0) {
        if (writeFrame_ < 0 || writeFrame_ >= static_cast<std::int64_t>(kMaxFrames)) return false;
        const auto block = static_cast<std::size_t>(writeFrame_ / kBlock);
        const auto offset = static_cast<std::size_t>(writeFrame_ % kBlock);
        Slot& slot = slots_[block];
        std::int16_t* data = slot.data.load(std::memory_order_relaxed);
        if (data == nullptr) {
            data = takeBuffer(block);
            if (data == nullptr) return false;
            slot.filled.store(static_cast<std::uint32_t>(offset), std::memory_order_relaxed);
            slot.first.store(static_cast<std::uint32_t>(offset), std::memory_order_relaxed);
            slot.data.store(data, std::memory_order_seq_cst);
            resident_.push_back(block);
            residentCount_.store(resident_.size(), std::memory_order_relaxed);
        }
        const std::size_t run = std::min(count, kBlockFrames - offset);
        std::size_t fill = slot.filled.load(std::memory_order_relaxed);
        if (offset < slot.first.load(std::memory_order_relaxed) || offset > fill) {
            // A new run that does not join what is there: the block holds this run alone from now on.
            slot.filled.store(static_cast<std::uint32_t>(offset), std::memory_order_release);
            slot.first.store(static_cast<std::uint32_t>(offset), std::memory_order_release);
            fill = offset;
        }
        std::memcpy(data + offset * 2, frames, run * 2 * sizeof(std::int16_t));
        if (offset <= fill && offset + run > fill)
            slot.filled.store(static_cast<std::uint32_t>(offset + run), std::memory_order_release);
        if (static_cast<std::size_t>(writeFrame_) == frontier_.load(std::memory_order_relaxed))
            frontier_.store(static_cast<std::size_t>(writeFrame_) + run, std::memory_order_release);
        frames += run * 2;
        count -= run;
        writeFrame_ += static_cast<std::int64_t>(run);
    }
    {
        std::lock_guard lock(waitMutex_);
    }
    waitCv_.notify_all();
    return true;
}

void DecodedAudio::finish(bool truncatedByError) {
    {
        std::lock_guard lock(waitMutex_);
        if (!complete()) {
            truncated_.store(truncatedByError, std::memory_order_release);
            length_.store(static_cast<std::size_t>(std::max<std::int64_t>(writeFrame_, 0)), std::memory_order_release);
            complete_.store(true, std::memory_order_release);
        }
    }
    waitCv_.notify_all();
}

void DecodedAudio::markEndBefore(std::size_t block) {
    if (block < endBlock_.load(std::memory_order_relaxed)) endBlock_.store(block, std::memory_order_relaxed);
}

void DecodedAudio::waitComplete() const {
    audio::assertNotRealtime();
    std::unique_lock lock(waitMutex_);
    waitCv_.wait(lock, [this] { return complete() || cancelRequested(); });
}

void DecodedAudio::waitForFrames(std::size_t frames) const {
    audio::assertNotRealtime();
    std::unique_lock lock(waitMutex_);
    waitCv_.wait(lock, [this, frames] { return complete() || cancelRequested() || availableFrames() >= frames; });
}

}  // namespace korvex::decode
