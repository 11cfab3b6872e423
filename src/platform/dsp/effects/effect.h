#pragma once
// One effect of a chain. The chain owns it, hands it accepted records and runs it on the audio thread;
// everything it needs while processing is allocated in its constructor.

#include <cstddef>

#include "platform/dsp/effect_params.h"

namespace korvex::dsp {

class Effect {
public:
    virtual ~Effect() = default;
    // Audio thread: takes a valid record of this effect's kind as the new target. Values glide to it where a
    // jump would click; the first block after construction or reset_rt() starts at the target.
    virtual void setParameters_rt(const EffectParams& params) = 0;
    // Audio thread: processes interleaved stereo in place.
    virtual void process_rt(float* stereo, std::size_t frames) = 0;
    // Audio thread: silences delay lines and restarts LFOs and envelopes.
    virtual void reset_rt() = 0;
};

}  // namespace korvex::dsp
