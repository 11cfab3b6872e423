#include "platform/audio/phones_feed.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

namespace korvex::audio {

namespace {
constexpr int kHalf = dsp::Resampler::kHalfWidth;
// The fill level is smoothed over half a second: both sides move it in whole blocks, and the increment must
// not follow that ripple.
constexpr double kSmoothingSeconds = 0.5;
// Proportional gain (increment per frame of error) and integral gain (per frame of error and second): the
// loop settles in about half a minute without overshoot, and a 256-frame ripple left after smoothing moves
// the increment by a few parts per million.
constexpr double kProportional = 5e-6;
constexpr double kIntegral = 2.75e-7;
// The writer is counted on for no longer than this after its last write (a writer that stopped is not
// writing on).
constexpr double kMaxWriterPause = 0.05;
// Output frames one resampling pass renders.
constexpr std::size_t kChunk = 512;
constexpr std::size_t kHistoryFrames =
    static_cast<std::size_t>(kChunk * (1.0 + DriftFollower::kMaxCorrection)) + 2 * kHalf + 8;
}  // namespace

DriftFollower::DriftFollower(double targetFrames, int sampleRate)
    : least_(targetFrames), target_(targetFrames), rate_(sampleRate) {}

void DriftFollower::reset() {
    smoothed_ = 0.0;
    integral_ = 0.0;
    primed_ = false;
    watched_ = 0.0;
    target_ = least_;
}

double DriftFollower::next(double fillFrames, std::size_t frames) {
    const double dt = static_cast<double>(frames) / rate_;
    if (!primed_) {
        smoothed_ = fillFrames;
        primed_ = true;
    }
    smoothed_ += (fillFrames - smoothed_) * dt / (kSmoothingSeconds + dt);
    if (watched_ < kWarmUpSeconds) {
        watched_ += dt;
        if (watched_ >= kWarmUpSeconds) target_ = std::max(least_, smoothed_);
        return 1.0;
    }
    const double error = smoothed_ - target_;
    integral_ = std::clamp(integral_ + kIntegral * error * dt, -kMaxCorrection, kMaxCorrection);
    return 1.0 + std::clamp(integral_ + kProportional * error, -kMaxCorrection, kMaxCorrection);
}

PhonesFeed::PhonesFeed(int sampleRate)
    : rate_(sampleRate),
      ring_(kRingFrames * 2),
      history_(kHistoryFrames * 2),
      follower_(kTargetFrames, sampleRate) {}

namespace {
std::int64_t steadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
}  // namespace

void PhonesFeed::write_rt(const float* frames, std::size_t count) { write_rt(frames, count, steadyNs()); }

void PhonesFeed::render_rt(float* out, std::size_t frames) { render_rt(out, frames, steadyNs()); }

void PhonesFeed::write_rt(const float* frames, std::size_t count, std::int64_t nowNs) {
    const std::uint64_t w = written_.load(std::memory_order_relaxed);
    const std::uint64_t r = read_.load(std::memory_order_acquire);
    const std::size_t room = kRingFrames - static_cast<std::size_t>(w - r);
    const std::size_t n = std::min(count, room);
    for (std::size_t i = 0; i < n;) {
        const std::size_t at = static_cast<std::size_t>((w + i) % kRingFrames);
        const std::size_t run = std::min(n - i, kRingFrames - at);
        std::memcpy(&ring_[at * 2], frames + i * 2, run * 2 * sizeof(float));
        i += run;
    }
    written_.store(w + n, std::memory_order_release);
    lastWriteNs_.store(nowNs, std::memory_order_release);
    if (n < count) dropped_.fetch_add(count - n, std::memory_order_relaxed);
}

std::size_t PhonesFeed::available_rt() const {
    return static_cast<std::size_t>(written_.load(std::memory_order_acquire) -
                                    read_.load(std::memory_order_relaxed));
}

double PhonesFeed::fill_rt(std::int64_t nowNs) const {
    const double since =
        std::clamp(static_cast<double>(nowNs - lastWriteNs_.load(std::memory_order_acquire)) * 1e-9, 0.0,
                   kMaxWriterPause);
    return static_cast<double>(available_rt()) + static_cast<double>(historyFrames_) - pos_ + since * rate_;
}

std::size_t PhonesFeed::pull_rt(std::size_t count) {
    const std::uint64_t r = read_.load(std::memory_order_relaxed);
    const std::size_t n = std::min({count, available_rt(), kHistoryFrames - historyFrames_});
    for (std::size_t i = 0; i < n;) {
        const std::size_t at = static_cast<std::size_t>((r + i) % kRingFrames);
        const std::size_t run = std::min(n - i, kRingFrames - at);
        std::memcpy(&history_[(historyFrames_ + i) * 2], &ring_[at * 2], run * 2 * sizeof(float));
        i += run;
    }
    read_.store(r + n, std::memory_order_release);
    historyFrames_ += n;
    return n;
}

void PhonesFeed::startOver_rt() {
    // The kernel's first read reaches back kHalf - 1 frames: those are silence.
    std::fill(history_.begin(), history_.end(), 0.0f);
    historyFrames_ = kHalf - 1;
    pos_ = kHalf - 1;
    increment_ = 1.0;
    running_ = false;
}

void PhonesFeed::render_rt(float* out, std::size_t frames, std::int64_t nowNs) {
    if (restart_.exchange(false, std::memory_order_acq_rel)) {
        // Whatever the ring holds was meant for a stream that is gone.
        read_.store(written_.load(std::memory_order_acquire), std::memory_order_release);
        startOver_rt();
        follower_.reset();
        drift_.store(0.0, std::memory_order_relaxed);
    }
    if (!running_) {
        if (historyFrames_ == 0) startOver_rt();
        if (static_cast<double>(available_rt()) < kTargetFrames) {
            std::fill_n(out, frames * 2, 0.0f);
            return;
        }
        running_ = true;
    }
    const double target = follower_.next(fill_rt(nowNs), frames);
    drift_.store(follower_.driftPpm(), std::memory_order_relaxed);
    const double step = (target - increment_) / static_cast<double>(frames);
    for (std::size_t done = 0; done < frames;) {
        const std::size_t n = std::min(kChunk, frames - done);
        const double incBegin = increment_ + step * static_cast<double>(done);
        const double incEnd = increment_ + step * static_cast<double>(done + n);
        const double end = dsp::Resampler::advance(pos_, incBegin, incEnd, n);
        const auto need = static_cast<std::size_t>(std::floor(end)) + kHalf + 1;
        if (need > historyFrames_) pull_rt(need - historyFrames_);
        if (need > historyFrames_) {
            // Ran dry (the master stopped feeding): silence, and wait for the target again.
            std::fill_n(out + done * 2, (frames - done) * 2, 0.0f);
            underruns_.fetch_add(1, std::memory_order_relaxed);
            startOver_rt();
            return;
        }
        pos_ = resampler_.process_rt(history_.data(), historyFrames_, pos_, incBegin, incEnd, out + done * 2, n);
        // Keep only what the kernel still reads.
        const auto keepFrom = static_cast<std::size_t>(std::max(0.0, std::floor(pos_) - kHalf + 1));
        if (keepFrom > 0) {
            std::memmove(history_.data(), history_.data() + keepFrom * 2,
                         (historyFrames_ - keepFrom) * 2 * sizeof(float));
            historyFrames_ -= keepFrom;
            pos_ -= static_cast<double>(keepFrom);
        }
        done += n;
    }
    increment_ = target;
}

}  // namespace korvex::audio
