#include "platform/dsp/format_converter.h"

#include <algorithm>
#include <cmath>

namespace korvex::dsp {

namespace {
constexpr std::size_t kContext = Resampler::kHalfWidth;
}  // namespace

std::int16_t toPcm16(float sample) {
    return static_cast<std::int16_t>(std::lrint(std::clamp(sample, -1.0f, 1.0f) * 32767.0f));
}

std::int16_t toPcm8(float sample) {
    return static_cast<std::int16_t>(std::lrint(std::clamp(sample, -1.0f, 1.0f) * 127.0f) * 256);
}

FormatConverter::FormatConverter(int inRate, int outRate, int channels, int bits)
    : channels_(channels),
      bits_(bits),
      direct_(inRate == outRate),
      increment_(static_cast<double>(inRate) / outRate) {
    // The first input frame sits after a run of silence as long as the kernel's reach.
    history_.assign(kContext * 2, 0.0f);
    pos_ = static_cast<double>(kContext);
}

void FormatConverter::emit(const float* stereo, std::size_t frames, std::vector<std::int16_t>& out) const {
    auto convert = bits_ == 8 ? toPcm8 : toPcm16;
    for (std::size_t i = 0; i < frames; ++i) {
        const float left = stereo[2 * i];
        const float right = stereo[2 * i + 1];
        if (channels_ == 1) {
            out.push_back(convert(0.5f * (left + right)));
        } else {
            out.push_back(convert(left));
            out.push_back(convert(right));
        }
    }
}

void FormatConverter::resample(std::size_t outFrames, std::vector<std::int16_t>& out) {
    if (outFrames == 0) return;
    scratch_.resize(outFrames * 2);
    pos_ = resampler_.process_rt(history_.data(), history_.size() / 2, pos_, increment_, increment_,
                                 scratch_.data(), outFrames);
    outTotal_ += outFrames;
    emit(scratch_.data(), outFrames, out);
    // Drop what the kernel will not read again.
    const auto keepFrom = static_cast<std::size_t>(std::max(0.0, std::floor(pos_) - kContext));
    history_.erase(history_.begin(), history_.begin() + static_cast<std::ptrdiff_t>(keepFrom * 2));
    pos_ -= static_cast<double>(keepFrom);
}

void FormatConverter::push(const float* frames, std::size_t count, std::vector<std::int16_t>& out) {
    if (direct_) {
        emit(frames, count, out);
        return;
    }
    history_.insert(history_.end(), frames, frames + count * 2);
    inTotal_ += count;
    // Output frame k reads up to floor(pos_ + k * increment) + kContext, which must lie inside the history.
    const double limit = static_cast<double>(history_.size() / 2) - kContext - 1;
    if (limit < pos_) return;
    resample(static_cast<std::size_t>(std::floor((limit - pos_) / increment_)) + 1, out);
}

void FormatConverter::flush(std::vector<std::int16_t>& out) {
    if (!direct_) {
        // Enough silence after the last frame for the kernel, then every output frame up to the input's end.
        history_.insert(history_.end(), (kContext + 1) * 2, 0.0f);
        const auto wanted = static_cast<std::uint64_t>(std::ceil(static_cast<double>(inTotal_) / increment_));
        if (wanted > outTotal_) resample(static_cast<std::size_t>(wanted - outTotal_), out);
    }
    history_.assign(kContext * 2, 0.0f);
    pos_ = static_cast<double>(kContext);
    inTotal_ = 0;
    outTotal_ = 0;
}

}  // namespace korvex::dsp
