#include "platform/audio/audio_engine.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "platform/audio/realtime.h"

namespace korvex::audio {

namespace {
// The fade-in when the sound device comes back: 0.2 s.
constexpr double kFadeInSeconds = 0.2;
}  // namespace

AudioEngine::AudioEngine(int sampleRate, dsp::TimeStretcher::Engine stretchEngine)
    : sampleRate_(sampleRate),
      sampler_(std::make_unique<SamplerSource>(sampleRate, resampler_, ramp_)),
      bus_(DeckSource::kMaxBlock * 2) {
    for (int i = 0; i < kDecks; ++i)
        deckSources_.push_back(std::make_unique<DeckSource>(i, sampleRate_, decks_[static_cast<std::size_t>(i)],
                                                            resampler_, ramp_, stretchEngine));
}

AudioEngine::~AudioEngine() = default;

std::uint64_t AudioEngine::send(Command command) {
    assertNotRealtime();
    command.seq = ++nextSeq_;
    flushOverflow();
    if (!overflow_.empty() || !commands_.push(command)) overflow_.push_back(command);
    return command.seq;
}

void AudioEngine::flushOverflow() {
    while (!overflow_.empty() && commands_.push(overflow_.front())) overflow_.pop_front();
}

void AudioEngine::setEventHandler(int deck, std::function<void(const Event&)> handler) {
    handlers_[static_cast<std::size_t>(deck)] = std::move(handler);
}

void AudioEngine::setMixTap(MixTap* tap) {
    assertNotRealtime();
    tap_.store(tap);
    while (tapBusy_.load()) std::this_thread::yield();
}

void AudioEngine::dispatchEvents() {
    assertNotRealtime();
    flushOverflow();
    sampler_->reclaim();
    while (auto event = events_.queue.pop()) {
        auto& handler = handlers_[event->source];
        if (handler) handler(*event);
    }
}

void AudioEngine::render_rt(float* out, std::size_t frames) {
    RealtimeScope realtime;
    std::uint64_t applied = 0;
    while (auto command = commands_.pop()) {
        if (command->source < kDecks) deckSources_[command->source]->apply_rt(*command, events_);
        applied = command->seq;
    }
    sampler_->apply_rt();
    const std::uint32_t master = master_.load(std::memory_order_relaxed);
    const float targetLeft = static_cast<float>(master & 0xFFFFu) / 65535.0f;
    const float targetRight = static_cast<float>(master >> 16) / 65535.0f;

    for (std::size_t done = 0; done < frames;) {
        const std::size_t n = std::min(frames - done, DeckSource::kMaxBlock);
        float* bus = bus_.data();
        std::fill_n(bus, n * 2, 0.0f);
        for (auto& deck : deckSources_) deck->render_rt(bus, n, events_);
        sampler_->render_rt(bus, n);
        // The master gain glides across the block so a knob move never clicks.
        const float stepLeft = (targetLeft - masterLeft_) / static_cast<float>(n);
        const float stepRight = (targetRight - masterRight_) / static_cast<float>(n);
        float* dst = out + done * 2;
        for (std::size_t i = 0; i < n; ++i) {
            const float fi = static_cast<float>(i);
            dst[2 * i] = bus[2 * i] * (masterLeft_ + stepLeft * fi);
            dst[2 * i + 1] = bus[2 * i + 1] * (masterRight_ + stepRight * fi);
        }
        masterLeft_ = targetLeft;
        masterRight_ = targetRight;
        done += n;
    }
    if (fadeInRequested_.exchange(false, std::memory_order_acq_rel))
        fadeLeft_ = static_cast<std::size_t>(kFadeInSeconds * sampleRate_);
    if (fadeLeft_ > 0) {
        const auto total = static_cast<float>(kFadeInSeconds * sampleRate_);
        for (std::size_t i = 0; i < frames && fadeLeft_ > 0; ++i, --fadeLeft_) {
            const float gain = 1.0f - static_cast<float>(fadeLeft_) / total;
            out[2 * i] *= gain;
            out[2 * i + 1] *= gain;
        }
    }
    // The busy flag is raised before the tap is read, so setMixTap() can tell when a detached tap is free.
    tapBusy_.store(true);
    if (MixTap* tap = tap_.load()) tap->write_rt(out, frames);
    tapBusy_.store(false);
    frames_.fetch_add(frames, std::memory_order_relaxed);
    if (applied != 0) acknowledged_.store(applied, std::memory_order_release);
}

}  // namespace korvex::audio
