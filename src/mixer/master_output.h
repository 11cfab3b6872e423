#pragma once
// The master gain the master knob drives: the engine's own output gain, left channel in the low 16 bits and
// right channel in the high 16 bits, each 0 (silent) .. 0xFFFF (full). An interface so that the mixer's
// tests can watch what the knob writes without an engine.

#include <cstdint>

#include "platform/audio/audio_engine.h"

namespace korvex::mixer {

class MasterOutput {
public:
    virtual ~MasterOutput() = default;
    virtual std::uint32_t masterVolume() const = 0;
    virtual void setMasterVolume(std::uint32_t packed) = 0;
    // The headphone level (the monitor knob), linear 0 .. 1.
    virtual void setPhonesLevel(float level) { (void)level; }
    // The headphone mix: 0 the pre-listened sources only .. 1 the master only.
    virtual void setPhonesMix(float mix) { (void)mix; }
};

// The engine's master gain.
class EngineMasterOutput final : public MasterOutput {
public:
    explicit EngineMasterOutput(audio::AudioEngine& engine) : engine_(engine) {}
    std::uint32_t masterVolume() const override { return engine_.masterVolume(); }
    void setMasterVolume(std::uint32_t packed) override { engine_.setMasterVolume(packed); }
    void setPhonesLevel(float level) override { engine_.setPhonesLevel(level); }
    void setPhonesMix(float mix) override { engine_.setPhonesMix(mix); }

private:
    audio::AudioEngine& engine_;
};

}  // namespace korvex::mixer
