#pragma once
// A listener on the engine's master mix: the recorder's way of hearing exactly what the player sends out.

#include <cstddef>

namespace korvex::audio {

class MixTap {
public:
    // Receives `count` interleaved stereo frames of the mix, after the master gain. Runs on the audio thread:
    // it may only copy, never allocate, lock or wait.
    virtual void write_rt(const float* frames, std::size_t count) = 0;

protected:
    ~MixTap() = default;
};

}  // namespace korvex::audio
