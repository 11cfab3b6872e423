#include "platform/dsp/time_stretcher.h"

#include <algorithm>

#include <rubberband/RubberBandStretcher.h>

namespace korvex::dsp {

namespace {
using RB = RubberBand::RubberBandStretcher;

double clampRate(double rate) {
    return std::clamp(rate, TimeStretcher::kMinRate, TimeStretcher::kMaxRate);
}
}  // namespace

TimeStretcher::TimeStretcher(int sampleRate, Engine engine) : left_(kMaxFeed), right_(kMaxFeed) {
    const RB::Options options = RB::OptionProcessRealTime |
                                (engine == Engine::kFiner ? RB::OptionEngineFiner : RB::OptionEngineFaster);
    // Built for the slowest tempo (the longest time ratio), whose output buffers are the largest: later
    // ratios never make it grow them on the audio thread.
    rb_ = std::make_unique<RB>(static_cast<std::size_t>(sampleRate), 2, options, 1.0 / kMinRate, 1.0);
    rb_->setMaxProcessSize(kMaxFeed);
    // Quiet: a message from the library would be written from the audio thread.
    rb_->setDebugLevel(0);
    // One round at that ratio, so that everything it sizes on first use is sized now.
    std::vector<float> silence(kMaxFeed * 2, 0.0f);
    for (int i = 0; i < 16; ++i) {
        process_rt(silence.data(), kMaxFeed);
        while (retrieve_rt(silence.data(), kMaxFeed) > 0) {
        }
    }
    restart_rt(1.0);
}

TimeStretcher::~TimeStretcher() = default;

void TimeStretcher::restart_rt(double rate) {
    rb_->reset();
    rb_->setTimeRatio(1.0 / clampRate(rate));
}

void TimeStretcher::setRate_rt(double rate) {
    const double ratio = 1.0 / clampRate(rate);
    if (ratio != rb_->getTimeRatio()) rb_->setTimeRatio(ratio);
}

std::size_t TimeStretcher::startPad_rt() const {
    return rb_->getPreferredStartPad();
}

std::size_t TimeStretcher::startDelay_rt() const {
    return rb_->getStartDelay();
}

std::size_t TimeStretcher::required_rt() const {
    return rb_->getSamplesRequired();
}

void TimeStretcher::process_rt(const float* interleaved, std::size_t frames) {
    frames = std::min(frames, kMaxFeed);
    for (std::size_t i = 0; i < frames; ++i) {
        left_[i] = interleaved[2 * i];
        right_[i] = interleaved[2 * i + 1];
    }
    const float* channels[2] = {left_.data(), right_.data()};
    rb_->process(channels, frames, false);
}

std::size_t TimeStretcher::available_rt() const {
    const int n = rb_->available();
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

std::size_t TimeStretcher::retrieve_rt(float* interleaved, std::size_t frames) {
    // Never more than it has: the finer engine complains on stderr otherwise.
    frames = std::min({frames, kMaxFeed, available_rt()});
    if (frames == 0) return 0;
    float* channels[2] = {left_.data(), right_.data()};
    const std::size_t got = rb_->retrieve(channels, frames);
    for (std::size_t i = 0; i < got; ++i) {
        interleaved[2 * i] = left_[i];
        interleaved[2 * i + 1] = right_[i];
    }
    return got;
}

}  // namespace korvex::dsp
