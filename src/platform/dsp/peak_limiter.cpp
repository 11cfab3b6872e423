#include "platform/dsp/peak_limiter.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace korvex::dsp {

PeakLimiter::PeakLimiter(int sampleRate, float ceiling)
    : ceiling_(ceiling),
      lookahead_(std::max(1, static_cast<int>(std::lround(kLookaheadSeconds * sampleRate)))),
      releaseStep_(1.0 - std::exp(-1.0 / (kReleaseSeconds * std::max(1, sampleRate)))),
      delay_(2 * static_cast<std::size_t>(lookahead_ - 1)),
      envelopes_(static_cast<std::size_t>(lookahead_)),
      minFrames_(static_cast<std::size_t>(lookahead_)),
      minNeeds_(static_cast<std::size_t>(lookahead_)) {
    reset();
}

void PeakLimiter::reset() {
    std::fill(delay_.begin(), delay_.end(), 0.0f);
    std::fill(envelopes_.begin(), envelopes_.end(), 1.0);
    minHead_ = 0;
    minCount_ = 0;
    frame_ = 0;
    envelope_ = 1.0;
    sum_ = static_cast<double>(lookahead_);
}

void PeakLimiter::process(const float* in, float* out, std::size_t frames) {
    const auto window = static_cast<std::size_t>(lookahead_);
    const std::size_t delayFrames = window - 1;
    for (std::size_t i = 0; i < frames; ++i) {
        const float left = in[2 * i];
        const float right = in[2 * i + 1];
        const float peak = std::max(std::fabs(left), std::fabs(right));
        const float need = peak > ceiling_ ? ceiling_ / peak : 1.0f;

        // The running minimum of need() over the window: candidates that can no longer be the least go.
        while (minCount_ > 0 && minFrames_[minHead_] <= frame_ - lookahead_) {
            minHead_ = (minHead_ + 1) % window;
            --minCount_;
        }
        while (minCount_ > 0 && minNeeds_[(minHead_ + minCount_ - 1) % window] >= need) --minCount_;
        const std::size_t back = (minHead_ + minCount_) % window;
        minFrames_[back] = frame_;
        minNeeds_[back] = need;
        ++minCount_;
        const double least = minNeeds_[minHead_];

        // Down at once, back up with the release time.
        envelope_ = least < envelope_ ? least : envelope_ + (least - envelope_) * releaseStep_;

        const auto slot = static_cast<std::size_t>(frame_ % lookahead_);
        sum_ += envelope_ - envelopes_[slot];
        envelopes_[slot] = envelope_;
        // Summed afresh once per window, so rounding never builds up over a long song.
        if (slot == window - 1) sum_ = std::accumulate(envelopes_.begin(), envelopes_.end(), 0.0);
        const auto gain = static_cast<float>(std::min(1.0, sum_ / static_cast<double>(window)));

        float delayedLeft = left;
        float delayedRight = right;
        if (delayFrames > 0) {
            const std::size_t d = 2 * static_cast<std::size_t>(frame_ % static_cast<long long>(delayFrames));
            delayedLeft = delay_[d];
            delayedRight = delay_[d + 1];
            delay_[d] = left;
            delay_[d + 1] = right;
        }
        // The gain already brings the frame to the ceiling; the clamp only takes off float rounding.
        out[2 * i] = std::clamp(delayedLeft * gain, -ceiling_, ceiling_);
        out[2 * i + 1] = std::clamp(delayedRight * gain, -ceiling_, ceiling_);
        ++frame_;
    }
}

}  // namespace korvex::dsp
