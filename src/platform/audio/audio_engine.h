#pragma once
// The one mixer of the program: every source (the two decks now; the sampler's buffers later) renders
// into one float bus at the output's rate, and the master gain is applied last. A recording tap, when one
// is attached, receives every rendered block after the master gain.
//
// Threads: the UI thread sends transport commands through a fixed-size queue and writes continuous values
// (rate, gains, selection) into per-source atomics; the audio thread drains the queue at the start of each
// render call, renders, publishes positions and states, and posts events back through a second queue that
// the UI thread empties with dispatchEvents(). A command takes effect in the first block rendered after
// it was sent. Nothing on the render path allocates, locks or waits.

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "platform/audio/deck_source.h"
#include "platform/audio/messages.h"
#include "platform/audio/sampler_source.h"
#include "platform/audio/mix_tap.h"
#include "platform/audio/spsc_queue.h"
#include "platform/dsp/declick.h"
#include "platform/dsp/resampler.h"

namespace korvex::audio {

class AudioEngine {
public:
    static constexpr int kDecks = 2;
    static constexpr std::uint32_t kFullMasterVolume = 0xFFFFFFFFu;

    // Allocates everything the render path uses, the decks' time stretchers (Rubber Band's
    // `stretchEngine`) included.
    explicit AudioEngine(int sampleRate = 44100,
                         dsp::TimeStretcher::Engine stretchEngine = dsp::TimeStretcher::Engine::kFaster);
    ~AudioEngine();
    AudioEngine(const AudioEngine&) = delete;
    AudioEngine& operator=(const AudioEngine&) = delete;

    int sampleRate() const { return sampleRate_; }

    // --- UI thread -------------------------------------------------------------------------------
    // Queues a transport command; returns its sequence number.
    std::uint64_t send(Command command);
    // Highest sequence number the audio thread has applied (and rendered at least one block after).
    std::uint64_t acknowledged() const { return acknowledged_.load(std::memory_order_acquire); }
    // The continuous values and published state of a deck.
    SourceShared& deck(int index) { return decks_[static_cast<std::size_t>(index)]; }
    const SourceShared& deck(int index) const { return decks_[static_cast<std::size_t>(index)]; }
    // Master gain: low 16 bits left, high 16 bits right, each 0 (silent) .. 0xFFFF (full).
    void setMasterVolume(std::uint32_t packed) { master_.store(packed, std::memory_order_relaxed); }
    std::uint32_t masterVolume() const { return master_.load(std::memory_order_relaxed); }
    // Who hears a deck's events; called on the UI thread from dispatchEvents().
    void setEventHandler(int deck, std::function<void(const Event&)> handler);
    // Delivers pending events to their handlers and passes on commands that did not fit the queue.
    void dispatchEvents();
    // The sampler's voices, on the same bus as the decks (sound_buffer.h drives them).
    SamplerSource& sampler() { return *sampler_; }
    // Attaches the recording tap (null detaches it). Returns once the previous tap is no longer in use, so
    // the caller may then destroy it.
    void setMixTap(MixTap* tap);
    // Frames rendered so far (any thread).
    std::uint64_t framesRendered() const { return frames_.load(std::memory_order_relaxed); }
    // True while the sound device is gone (lost, or never opened) and the engine plays on its own clock
    // (any thread).
    bool outputLost() const { return outputLost_.load(std::memory_order_relaxed); }
    void setOutputLost(bool lost) { outputLost_.store(lost, std::memory_order_relaxed); }
    // The next blocks fade in from silence (the sound device is back). Any thread.
    void fadeIn() { fadeInRequested_.store(true, std::memory_order_release); }

    // --- audio thread ----------------------------------------------------------------------------
    // Renders `frames` interleaved stereo frames into `out` (overwritten).
    void render_rt(float* out, std::size_t frames);

private:
    class Events final : public EventSink {
    public:
        void post_rt(const Event& event) override { queue.push(event); }
        SpscQueue<Event, 1024> queue;
    };

    void flushOverflow();

    const int sampleRate_;
    dsp::Resampler resampler_;
    dsp::DeclickRamp ramp_;
    std::unique_ptr<SamplerSource> sampler_;
    std::array<SourceShared, kDecks> decks_;
    std::vector<std::unique_ptr<DeckSource>> deckSources_;
    SpscQueue<Command, 1024> commands_;
    std::deque<Command> overflow_;
    Events events_;
    std::array<std::function<void(const Event&)>, kDecks> handlers_;
    std::uint64_t nextSeq_ = 0;
    std::atomic<std::uint64_t> acknowledged_{0};
    std::atomic<std::uint32_t> master_{kFullMasterVolume};
    std::atomic<std::uint64_t> frames_{0};
    std::atomic<MixTap*> tap_{nullptr};
    std::atomic<bool> tapBusy_{false};
    std::atomic<bool> outputLost_{false};
    std::atomic<bool> fadeInRequested_{false};
    // Frames of the fade-in still to go (audio thread).
    std::size_t fadeLeft_ = 0;
    float masterLeft_ = 1.0f;
    float masterRight_ = 1.0f;
    std::vector<float> bus_;
};

}  // namespace korvex::audio
