#pragma once
// The sampler's voices on the mixer bus: up to kVoices sound buffers, each a file's samples held whole in
// memory and read by a playing head through the decks' resampler, with fading tails behind every
// retrigger and stop, an optional effect chain after the heads, and a pair of channel gains (volume and
// pan, or what the 3D panner worked out).
//
// Why it is shaped so: a buffer's voice is fixed when the buffer is made and kept until the audio thread
// has let go of it, so the UI thread never waits. The UI thread hands samples and effect chains to a voice
// by pointer through a command queue and writes the continuous values (read increment, gains) into the
// voice's atomics; the audio thread drains the queue at the start of each render call, so a trigger
// sounds in the first block after it. What the audio thread no longer reads (a released voice's samples,
// a replaced chain) comes back through a second queue and is freed on the UI thread by reclaim(), which
// the engine calls from dispatchEvents(). Nothing on the render path allocates, locks or waits.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "platform/audio/spsc_queue.h"
#include "platform/dsp/declick.h"
#include "platform/dsp/effect_chain.h"
#include "platform/dsp/resampler.h"

namespace korvex::audio {

// A sound file's samples, whole, at the file's own rate: interleaved, one or two channels, held as 16-bit
// (full scale 32768), half the memory of float: eight slots of long sounds stay affordable, and a sampler
// sound needs no finer steps.
struct SampleData {
    int rate = 44100;
    int channels = 2;
    std::size_t frames = 0;
    std::vector<std::int16_t> samples;
};

// A voice's continuous values (written by the UI thread, read at the start of every block; latest wins)
// and its published status (written by the audio thread).
struct VoiceShared {
    std::atomic<double> increment{1.0};  // input frames per output frame: frequency / output rate
    std::atomic<float> gainLeft{1.0f};
    std::atomic<float> gainRight{1.0f};
    std::atomic<int> status{0};  // 1 playing, plus 4 while it plays looping
    std::atomic<bool> prelisten{false};  // the voice goes to the headphone bus as well
};

class SamplerSource {
public:
    static constexpr int kVoices = 32;
    static constexpr int kStatusPlaying = 1;
    static constexpr int kStatusLooping = 4;

    SamplerSource(int outputRate, const dsp::Resampler& resampler, const dsp::DeclickRamp& ramp);
    ~SamplerSource();
    SamplerSource(const SamplerSource&) = delete;
    SamplerSource& operator=(const SamplerSource&) = delete;

    // --- UI thread -------------------------------------------------------------------------------
    // Gives `data` a voice, stopped at position 0; `mono` mixes it down to one channel before the gains
    // (the 3D panner's input). -1 when every voice is taken. The caller sets the voice's shared values
    // before the first play.
    int attach(std::shared_ptr<const SampleData> data, bool mono);
    // Transport; each returns its sequence number (acknowledged once applied and rendered).
    // Play while playing only changes the looping flag; rewind while playing restarts from 0 at once.
    std::uint64_t play(int voice, bool looping);
    std::uint64_t stop(int voice);
    std::uint64_t rewind(int voice);
    // Moves the stopped read position to `frame` (rewind() for 0 while playing).
    std::uint64_t seek(int voice, std::size_t frame);
    // Replaces the voice's effect chain (null removes it); the old one is freed once the audio thread
    // has let go of it. A chain still ringing is faded out first.
    std::uint64_t setChain(int voice, std::unique_ptr<dsp::EffectChain> chain);
    // Gives the voice up: it fades out if it sounds, and its samples and chains are freed after that.
    void release(int voice);
    VoiceShared& shared(int voice) { return shared_[static_cast<std::size_t>(voice)]; }
    // Highest sequence number the audio thread has applied and rendered a block after.
    std::uint64_t acknowledged() const { return acknowledged_.load(std::memory_order_acquire); }
    // Frees what the audio thread has let go of and passes on commands that did not fit the queue.
    void reclaim();
    // Voices attached or still being let go of.
    int voicesInUse() const;
    // Called after each command is queued (the engine wakes a resting output with it).
    std::function<void()> onQueued;

    // --- audio thread ----------------------------------------------------------------------------
    // Applies the queued commands; call once at the start of a render call.
    void apply_rt();
    // Adds `frames` (<= DeckSource::kMaxBlock) frames of every sounding voice into the stereo `bus`, and
    // those of pre-listened voices into the stereo `phones` too (null: no headphones).
    void render_rt(float* bus, float* phones, std::size_t frames);
    // True while a voice plays, rings or waits to be let go of: the engine may not rest then.
    bool busy_rt() const;

private:
    struct Command {
        enum class Type : std::uint8_t { Attach, Play, Stop, Rewind, Seek, SetChain, Release };
        Type type = Type::Play;
        std::uint8_t voice = 0;
        bool flag = false;  // Play: looping; Attach: mono
        std::uint64_t seq = 0;
        std::size_t frame = 0;
        const SampleData* data = nullptr;
        dsp::EffectChain* chain = nullptr;
    };
    struct Return {
        enum class Type : std::uint8_t { ChainRetired, VoiceReleased };
        Type type = Type::VoiceReleased;
        std::uint8_t voice = 0;
        dsp::EffectChain* chain = nullptr;
    };
    // A read position with its de-click ramp phase (0 silent .. ramp length full).
    struct Head {
        double pos = 0.0;
        int phase = 0;
        bool active = false;
        bool looping = false;
    };
    // The audio thread's view of one voice.
    struct Voice {
        const SampleData* data = nullptr;
        bool mono = false;
        bool playing = false;
        bool looping = false;
        bool releasing = false;
        Head main;
        std::array<Head, 2> tails{};
        double increment = 1.0;
        bool wasAudible = false;
        float gainLeft = 1.0f;
        float gainRight = 1.0f;
        float phonesGain = 0.0f;  // 1 while pre-listened, else 0; glides across a block
        int published = 0;
        dsp::EffectChain* chain = nullptr;
        dsp::EffectChain* pending = nullptr;  // replaces `chain` once its fade has ended
        bool hasPending = false;
        bool chainLive = false;    // the chain may still hold sound
        bool chainFading = false;  // its output is fading out, to be reset (or replaced) at the end
        int chainPhase = dsp::DeclickRamp::kFrames;
        std::size_t silentFrames = 0;
    };
    // The UI thread's side of one voice: what it keeps alive for the audio thread.
    struct Owner {
        bool used = false;
        std::shared_ptr<const SampleData> data;
        std::vector<std::unique_ptr<dsp::EffectChain>> chains;
    };

    std::uint64_t send(Command command);
    void flushOverflow();
    void apply_rt(const Command& command);
    void renderVoice_rt(Voice& voice, VoiceShared& shared, float* bus, float* phones, std::size_t frames);
    // Adds the voice's block after its gains into `out`, each frame also times `scale` (gliding to `scaleTo`).
    void addVoice_rt(const Voice& voice, float stepLeft, float stepRight, float scale, float scaleTo, float* out,
                     std::size_t frames) const;
    void renderHead_rt(const Voice& voice, Head& head, std::size_t offset, std::size_t n, bool rising);
    void gather_rt(const SampleData& data, bool looping, std::int64_t first, std::size_t count,
                   float* out) const;
    // Stops the voice's heads and its chain's tail with the de-click ramp (stop and release).
    void cut_rt(Voice& voice);
    void startTail_rt(Voice& voice);
    void fadeChain_rt(Voice& voice);
    void finishChainFade_rt(Voice& voice);
    bool idle_rt(const Voice& voice) const;
    void retire_rt(std::uint8_t index, dsp::EffectChain* chain);
    double incrementAt(std::size_t i) const { return incStart_ + incStep_ * static_cast<double>(i); }

    const int outputRate_;
    const dsp::Resampler& resampler_;
    const dsp::DeclickRamp& ramp_;
    std::array<VoiceShared, kVoices> shared_;
    std::array<Voice, kVoices> voices_{};
    std::array<Owner, kVoices> owners_{};
    SpscQueue<Command, 1024> commands_;
    SpscQueue<Return, 2048> returns_;
    std::deque<Command> overflow_;
    std::uint64_t nextSeq_ = 0;
    std::uint64_t applied_ = 0;
    std::atomic<std::uint64_t> acknowledged_{0};
    // Per-block increment ramp of the voice being rendered.
    double incStart_ = 1.0;
    double incStep_ = 0.0;
    std::size_t tailSilenceFrames_;
    std::vector<float> voice_;      // this block's voice output before the gains
    std::vector<float> gathered_;   // source frames around a head
    std::vector<float> resampled_;  // one head's interpolated frames
};

}  // namespace korvex::audio
