#include "platform/audio/audio_engine.h"

#include <algorithm>
#include <cmath>
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
      bus_(DeckSource::kMaxBlock * 2),
      cue_(DeckSource::kMaxBlock * 2),
      phones_(DeckSource::kMaxBlock * 2),
      shaped_(DeckSource::kMaxBlock * 2) {
    sampler_->onQueued = [this] { wake(); };
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
    wake();
    return command.seq;
}

bool AudioEngine::mayRest(double seconds) const {
    if (route_.load(std::memory_order_relaxed) == PhonesRoute::kDevice) return false;
    for (const auto& slot : taps_)
        if (slot.load() != nullptr) return false;
    return static_cast<double>(quietFrames_.load(std::memory_order_relaxed)) >= seconds * sampleRate_;
}

void AudioEngine::setWakeHandler(std::function<void()> handler) {
    std::lock_guard lock(wakeMutex_);
    wakeHandler_ = std::move(handler);
}

void AudioEngine::wake() {
    // The quiet run starts again now, so an output deciding to rest sees the work before it stops.
    quietFrames_.store(0, std::memory_order_relaxed);
    std::lock_guard lock(wakeMutex_);
    if (wakeHandler_) wakeHandler_();
}

void AudioEngine::flushOverflow() {
    while (!overflow_.empty() && commands_.push(overflow_.front())) overflow_.pop_front();
}

void AudioEngine::setEventHandler(int deck, std::function<void(const Event&)> handler) {
    handlers_[static_cast<std::size_t>(deck)] = std::move(handler);
}

bool AudioEngine::addMixTap(MixTap* tap) {
    assertNotRealtime();
    for (auto& slot : taps_) {
        MixTap* empty = nullptr;
        if (slot.compare_exchange_strong(empty, tap)) {
            wake();
            return true;
        }
    }
    return false;
}

void AudioEngine::removeMixTap(MixTap* tap) {
    assertNotRealtime();
    for (auto& slot : taps_) {
        MixTap* present = tap;
        slot.compare_exchange_strong(present, nullptr);
    }
    while (tapBusy_.load()) std::this_thread::yield();
}

void AudioEngine::setPhonesTap(MixTap* tap) {
    assertNotRealtime();
    phonesTap_.store(tap);
    wake();
    while (phonesTapBusy_.load()) std::this_thread::yield();
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
    const PhonesRoute route = route_.load(std::memory_order_relaxed);
    const bool phones = route != PhonesRoute::kNone;
    const float mix = std::clamp(phonesMix_.load(std::memory_order_relaxed), 0.0f, 1.0f);
    const float level = std::max(0.0f, phonesLevel_.load(std::memory_order_relaxed));
    if (fadeInRequested_.exchange(false, std::memory_order_acq_rel))
        fadeLeft_ = static_cast<std::size_t>(kFadeInSeconds * sampleRate_);

    // The busy flags are raised before the taps are read, so removeMixTap() can tell when a detached tap is
    // free.
    tapBusy_.store(true);
    std::size_t tapCount = 0;
    for (auto& slot : taps_)
        if (MixTap* tap = slot.load()) liveTaps_[tapCount++] = tap;
    if (route == PhonesRoute::kDevice) phonesTapBusy_.store(true);
    MixTap* phonesTap = route == PhonesRoute::kDevice ? phonesTap_.load() : nullptr;
    for (std::size_t done = 0; done < frames;) {
        const std::size_t n = std::min(frames - done, DeckSource::kMaxBlock);
        float* bus = bus_.data();
        float* cue = phones ? cue_.data() : nullptr;
        std::fill_n(bus, n * 2, 0.0f);
        if (phones) std::fill_n(cue, n * 2, 0.0f);
        for (auto& deck : deckSources_) deck->render_rt(bus, cue, n, events_);
        sampler_->render_rt(bus, cue, n);
        if (phones) mixPhones_rt(cue, bus, n, mix, level);
        // The master gain glides across the block so a knob move never clicks.
        const float stepLeft = (targetLeft - masterLeft_) / static_cast<float>(n);
        const float stepRight = (targetRight - masterRight_) / static_cast<float>(n);
        // Without headphones in the same stream the master goes straight out.
        const bool shaping = route == PhonesRoute::kChannels || route == PhonesRoute::kSplit;
        float* dst = shaping ? shaped_.data() : out + done * 2;
        for (std::size_t i = 0; i < n; ++i) {
            const float fi = static_cast<float>(i);
            dst[2 * i] = bus[2 * i] * (masterLeft_ + stepLeft * fi);
            dst[2 * i + 1] = bus[2 * i + 1] * (masterRight_ + stepRight * fi);
        }
        masterLeft_ = targetLeft;
        masterRight_ = targetRight;
        if (fadeLeft_ > 0) {
            std::size_t left = fadeLeft_;
            if (phones) fadeIn_rt(phones_.data(), n, left);
            fadeIn_rt(dst, n, fadeLeft_);
        }
        for (std::size_t t = 0; t < tapCount; ++t) liveTaps_[t]->write_rt(dst, n);
        const float* ph = phones_.data();
        if (route == PhonesRoute::kChannels) {
            float* o = out + done * 4;
            for (std::size_t i = 0; i < n; ++i) {
                o[4 * i] = dst[2 * i];
                o[4 * i + 1] = dst[2 * i + 1];
                o[4 * i + 2] = ph[2 * i];
                o[4 * i + 3] = ph[2 * i + 1];
            }
        } else if (route == PhonesRoute::kSplit) {
            float* o = out + done * 2;
            for (std::size_t i = 0; i < n; ++i) {
                o[2 * i] = 0.5f * (dst[2 * i] + dst[2 * i + 1]);
                o[2 * i + 1] = 0.5f * (ph[2 * i] + ph[2 * i + 1]);
            }
        } else if (phonesTap != nullptr) {
            phonesTap->write_rt(ph, n);
        }
        done += n;
    }
    tapBusy_.store(false);
    phonesTapBusy_.store(false);
    frames_.fetch_add(frames, std::memory_order_relaxed);
    noteQuiet_rt(out, frames, applied != 0);
    if (applied != 0) acknowledged_.store(applied, std::memory_order_release);
}

void AudioEngine::noteQuiet_rt(const float* out, std::size_t frames, bool commanded) {
    // Below -100 dBFS counts as silence: an echo's tail is let ring out first.
    constexpr float kSilence = 1e-5f;
    bool busy = commanded || fadeLeft_ > 0 || sampler_->busy_rt();
    for (const auto& deck : deckSources_) busy = busy || deck->busy_rt();
    if (!busy) {
        const std::size_t samples = frames * static_cast<std::size_t>(outputChannels());
        busy = std::any_of(out, out + samples, [](float x) { return std::fabs(x) >= kSilence; });
    }
    if (busy) {
        quietFrames_.store(0, std::memory_order_relaxed);
        return;
    }
    // Not a plain store: a wake() between the load and the store must not be overwritten.
    std::uint64_t quiet = quietFrames_.load(std::memory_order_relaxed);
    quietFrames_.compare_exchange_strong(quiet, quiet + frames, std::memory_order_relaxed);
}

void AudioEngine::fadeIn_rt(float* data, std::size_t frames, std::size_t& left) const {
    const auto total = static_cast<float>(kFadeInSeconds * sampleRate_);
    for (std::size_t i = 0; i < frames && left > 0; ++i, --left) {
        const float gain = 1.0f - static_cast<float>(left) / total;
        data[2 * i] *= gain;
        data[2 * i + 1] *= gain;
    }
}

void AudioEngine::mixPhones_rt(const float* cue, const float* master, std::size_t frames, float mix, float level) {
    float* out = phones_.data();
    if (mix == mixNow_ && level == levelNow_) {
        // Held still (nearly always): two fixed weights.
        const float cueWeight = (1.0f - mix) * level;
        const float masterWeight = mix * level;
        if (masterWeight == 0.0f) {
            for (std::size_t i = 0; i < frames * 2; ++i) out[i] = cue[i] * cueWeight;
        } else {
            for (std::size_t i = 0; i < frames * 2; ++i) out[i] = cue[i] * cueWeight + master[i] * masterWeight;
        }
        return;
    }
    const float n = static_cast<float>(frames);
    const float mixStep = (mix - mixNow_) / n;
    const float levelStep = (level - levelNow_) / n;
    for (std::size_t i = 0; i < frames; ++i) {
        const float fi = static_cast<float>(i);
        const float m = mixNow_ + mixStep * fi;
        const float g = levelNow_ + levelStep * fi;
        out[2 * i] = (cue[2 * i] * (1.0f - m) + master[2 * i] * m) * g;
        out[2 * i + 1] = (cue[2 * i + 1] * (1.0f - m) + master[2 * i + 1] * m) * g;
    }
    mixNow_ = mix;
    levelNow_ = level;
}

}  // namespace korvex::audio
