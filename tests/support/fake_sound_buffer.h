#pragma once
// A sound buffer for effect tests: it keeps an effect chain of records, refuses a chain as the engine does
// (while playing, without the effect capability, or when told to), and counts what it was asked.

#include <memory>
#include <vector>

#include "platform/sound_device.h"

namespace korvex::test {

// The published defaults of an effect's record.
inline dsp::EffectParams defaultParams(dsp::EffectKind kind) {
    switch (kind) {
        case dsp::EffectKind::Chorus:
            return dsp::ChorusParams{};
        case dsp::EffectKind::Compressor:
            return dsp::CompressorParams{};
        case dsp::EffectKind::Distortion:
            return dsp::DistortionParams{};
        case dsp::EffectKind::Echo:
            return dsp::EchoParams{};
        case dsp::EffectKind::Flanger:
            return dsp::FlangerParams{};
        case dsp::EffectKind::Gargle:
            return dsp::GargleParams{};
        case dsp::EffectKind::ParamEq:
            return dsp::ParamEqParams{};
    }
    return dsp::EchoParams{};
}

// One effect of the chain: its record, replaced whole by every accepted write.
class FakeEffect final : public SoundEffect {
public:
    explicit FakeEffect(dsp::EffectKind kind) : kind_(kind), params(defaultParams(kind)) {}
    dsp::EffectKind kind() const override { return kind_; }
    dsp::EffectParams allParameters() const override { return params; }
    bool setAllParameters(const dsp::EffectParams& p) override {
        if (p.index() != params.index()) return false;
        params = p;
        ++writes;
        return true;
    }

    dsp::EffectKind kind_;
    dsp::EffectParams params;
    int writes = 0;
};

class FakeSoundBuffer final : public SoundBuffer {
public:
    explicit FakeSoundBuffer(unsigned caps = kCtrlVolume | kCtrlFx | kCtrlPan) : caps_(caps) {}

    unsigned caps() const override { return caps_; }
    int status() const override { return status_; }
    void play(int flags) override { status_ = kStatusPlaying | (flags == kPlayLooping ? kStatusLooping : 0); }
    void stop() override { status_ = 0; }
    void setCurrentPosition(long) override {}
    int volume() const override { return 0; }
    SoundError setVolume(int) override { return SoundError::None; }
    int frequency() const override { return 44100; }
    SoundError setFrequency(int) override { return SoundError::None; }
    int pan() const override { return 0; }
    SoundError setPan(int) override { return SoundError::None; }
    SoundError setFX(const std::vector<dsp::EffectKind>& kinds, std::vector<int>* results) override {
        ++setFxCalls;
        if ((status_ & kStatusPlaying) != 0) return SoundError::InvalidCall;
        if ((caps_ & kCtrlFx) == 0) return SoundError::ControlUnavailable;
        if (refuse != SoundError::None) return refuse;
        chain.clear();
        results->clear();
        for (std::size_t i = 0; i < kinds.size(); ++i) {
            chain.push_back(std::make_unique<FakeEffect>(kinds[i]));
            results->push_back(i < resultCodes.size() ? resultCodes[i] : kFxSoftware);
        }
        return SoundError::None;
    }
    SoundEffect* effect(dsp::EffectKind kind, int index) override {
        for (const auto& e : chain) {
            if (e->kind() == kind && index-- == 0) return e.get();
        }
        return nullptr;
    }
    SoundBuffer3D* buffer3D() override { return nullptr; }

    // The kinds of the chain, in order.
    std::vector<dsp::EffectKind> kinds() const {
        std::vector<dsp::EffectKind> k;
        for (const auto& e : chain) k.push_back(e->kind());
        return k;
    }
    FakeEffect* fake(dsp::EffectKind kind, int index = 0) {
        return static_cast<FakeEffect*>(effect(kind, index));
    }

    unsigned caps_;
    int status_ = 0;
    std::vector<std::unique_ptr<FakeEffect>> chain;
    SoundError refuse = SoundError::None;  // refuse every chain with this error
    std::vector<int> resultCodes;          // the result per effect (software for those not given)
    int setFxCalls = 0;
};

}  // namespace korvex::test
