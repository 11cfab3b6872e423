#pragma once
// The one mixer of the program: every source (the two decks now; the sampler's buffers later) renders
// into one float bus at the output's rate, and the master gain is applied last. Mix taps (the recorder, the
// broadcast), when attached, receive every rendered block after the master gain; a few fixed slots let them
// listen at the same time without the audio thread allocating or locking.
//
// Threads: the UI thread sends transport commands through a fixed-size queue and writes continuous values
// (rate, gains, selection) into per-source atomics; the audio thread drains the queue at the start of each
// render call, renders, publishes positions and states, and posts events back through a second queue that
// the UI thread empties with dispatchEvents(). A command takes effect in the first block rendered after
// it was sent. Nothing on the render path allocates, locks or waits.
//
// Headphones: a second bus holds the pre-listened decks (after trim and equaliser, before the volume and the
// crossfader) and pre-listened sampler slots; it is blended with the master bus (before the master gain) by
// the headphone mix and scaled by the headphone level. Where it goes is the headphone route, fixed before
// the output starts: nowhere (no headphone work at all), a second device (through a tap, like the
// recorder's), outputs 3-4 of a four-channel output, or the right side of a split stereo output whose left
// side carries the master in mono.

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/audio/deck_source.h"
#include "platform/audio/messages.h"
#include "platform/audio/sampler_source.h"
#include "platform/audio/mix_tap.h"
#include "platform/audio/spsc_queue.h"
#include "platform/dsp/declick.h"
#include "platform/dsp/resampler.h"

namespace korvex::audio {

// Where the headphone bus goes.
enum class PhonesRoute : int {
    kNone,      // no headphones: the engine does no headphone work
    kDevice,    // a device of its own, fed through the phones tap
    kChannels,  // four channels out: master on 1-2, headphones on 3-4
    kSplit,     // two channels out: master in mono on the left, headphones in mono on the right
};

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
    // How many mix taps can listen at once.
    static constexpr std::size_t kMixTapSlots = 4;
    // Attaches a mix tap in a free slot; false when every slot is taken.
    bool addMixTap(MixTap* tap);
    // Detaches `tap`; returns once the audio thread no longer uses it, so the caller may then destroy it.
    void removeMixTap(MixTap* tap);
    // Frames rendered so far (any thread).
    std::uint64_t framesRendered() const { return frames_.load(std::memory_order_relaxed); }
    // True while the sound device is gone (lost, or never opened) and the engine plays on its own clock
    // (any thread).
    bool outputLost() const { return outputLost_.load(std::memory_order_relaxed); }
    void setOutputLost(bool lost) { outputLost_.store(lost, std::memory_order_relaxed); }
    // The next blocks fade in from silence (the sound device is back). Any thread.
    void fadeIn() { fadeInRequested_.store(true, std::memory_order_release); }

    // Resting: a player with nothing to sound need not be woken by its sound device. The engine may rest
    // once it has rendered only silence, with no deck playing, no sampler voice sounding and no command
    // arriving, for `seconds`, while nobody listens to the mix (no tap, no headphone device). An output
    // may then stop calling render_rt until the engine wakes it: every command, sampler command and tap
    // calls the wake handler, which the output sets (null clears it). Not on the audio thread.
    bool mayRest(double seconds) const;
    void setWakeHandler(std::function<void()> handler);
    void wake();

    // The headphone route; set before the output starts (it fixes outputChannels()).
    void setPhonesRoute(PhonesRoute route) { route_.store(route, std::memory_order_relaxed); }
    PhonesRoute phonesRoute() const { return route_.load(std::memory_order_relaxed); }
    // Channels per frame that render_rt() writes: 4 for the channels route, else 2.
    int outputChannels() const { return phonesRoute() == PhonesRoute::kChannels ? 4 : 2; }
    // Headphone level (the monitor knob), linear 0 .. 1; glides.
    void setPhonesLevel(float level) { phonesLevel_.store(level, std::memory_order_relaxed); }
    float phonesLevel() const { return phonesLevel_.load(std::memory_order_relaxed); }
    // Headphone mix: 0 the pre-listened sources only (cue) .. 1 the master only; glides.
    void setPhonesMix(float mix) { phonesMix_.store(mix, std::memory_order_relaxed); }
    float phonesMix() const { return phonesMix_.load(std::memory_order_relaxed); }
    // Attaches the headphone device's feed for the device route (null detaches it); it receives every
    // headphone block, stereo. Returns once the previous one is no longer in use.
    void setPhonesTap(MixTap* tap);

    // --- audio thread ----------------------------------------------------------------------------
    // Renders `frames` interleaved frames of outputChannels() channels into `out` (overwritten).
    void render_rt(float* out, std::size_t frames);

private:
    class Events final : public EventSink {
    public:
        void post_rt(const Event& event) override { queue.push(event); }
        SpscQueue<Event, 1024> queue;
    };

    void flushOverflow();
    // Counts the frames of a run with nothing to sound (see mayRest).
    void noteQuiet_rt(const float* out, std::size_t frames, bool commanded);
    // Fades the stereo block `data` in while a fade-in runs (the master, and the headphones with it).
    void fadeIn_rt(float* data, std::size_t frames, std::size_t& left) const;
    // Mixes the cue and master buses of one block into phones_ (stereo), with the mix and level gliding.
    void mixPhones_rt(const float* cue, const float* master, std::size_t frames, float mix, float level);

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
    std::array<std::atomic<MixTap*>, kMixTapSlots> taps_{};
    std::atomic<bool> tapBusy_{false};
    // The taps of the block being rendered (audio thread).
    std::array<MixTap*, kMixTapSlots> liveTaps_{};
    std::atomic<PhonesRoute> route_{PhonesRoute::kNone};
    std::atomic<float> phonesLevel_{1.0f};
    std::atomic<float> phonesMix_{0.0f};
    std::atomic<MixTap*> phonesTap_{nullptr};
    std::atomic<bool> phonesTapBusy_{false};
    std::atomic<bool> outputLost_{false};
    std::atomic<bool> fadeInRequested_{false};
    // Frames rendered since the engine last had something to sound (audio thread writes).
    std::atomic<std::uint64_t> quietFrames_{0};
    std::mutex wakeMutex_;
    std::function<void()> wakeHandler_;
    // Frames of the fade-in still to go (audio thread).
    std::size_t fadeLeft_ = 0;
    float masterLeft_ = 1.0f;
    float masterRight_ = 1.0f;
    std::vector<float> bus_;
    // Headphones (audio thread): the pre-listen bus, the mixed headphone block, the master block before
    // it is shaped, and the mix and level as the last block ended.
    std::vector<float> cue_;
    std::vector<float> phones_;
    std::vector<float> shaped_;
    float mixNow_ = 0.0f;
    float levelNow_ = 1.0f;
};

}  // namespace korvex::audio
