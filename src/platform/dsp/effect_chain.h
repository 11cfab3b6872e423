#pragma once
// The effects of one sound, run in order on interleaved stereo.
//
// The chain is built whole on the UI thread, which allocates every delay line and state up front, so the
// audio thread only ever runs it. Records cross threads through one triple buffer per effect: a writer
// copies the whole record into a free slot and publishes it with one atomic exchange, and the audio thread
// takes the newest published record at the start of its next block. Neither side waits for the other, a
// burst of slider moves costs the audio thread one copy, and it never sees half a record.

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/dsp/effect_params.h"

namespace korvex::dsp {

class Effect;

class EffectChain {
public:
    // Builds the chain in order (UI thread: allocates every delay line and state here). Empty = pass-through.
    EffectChain(const std::vector<EffectKind>& kinds, int sampleRate);
    ~EffectChain();
    EffectChain(const EffectChain&) = delete;
    EffectChain& operator=(const EffectChain&) = delete;

    std::size_t size() const;
    EffectKind kind(std::size_t index) const;
    // Any thread but the audio thread: the whole record of effect `index`. False, and nothing changes, when the
    // record is of another kind or out of range. Handed over lock-free; heard from the next process_rt on.
    bool setParameters(std::size_t index, const EffectParams& params);
    EffectParams parameters(std::size_t index) const;  // the last accepted record (defaults at first)
    // Audio thread: processes interleaved stereo in place.
    void process_rt(float* stereo, std::size_t frames);
    // Audio thread: forget delay lines, LFO phases and envelopes.
    void reset_rt();

private:
    // One effect with its record hand-over.
    struct Stage {
        EffectKind kind;
        std::unique_ptr<Effect> effect;
        // Triple buffer: the writer owns slots[back], the audio thread slots[front]; `middle` holds the third
        // slot's index, with kFresh set when it carries a record the audio thread has not taken yet.
        EffectParams slots[3];
        int back = 0;
        int front = 1;
        std::atomic<int> middle{2};
        EffectParams accepted;  // the last accepted record, guarded by writers_
    };
    static constexpr int kFresh = 4;

    std::vector<std::unique_ptr<Stage>> stages_;
    // Serialises writers among themselves; the audio thread never takes it.
    mutable std::mutex writers_;
};

}  // namespace korvex::dsp
