#pragma once
// The sampler's sound device for model and window tests. Its buffers remember what they were asked (state,
// controls, 3D, plays, a log shared with the device) and keep an effect chain of records that they refuse
// as the engine does (while playing, without the effect capability, or when told to). The device "opens"
// the files it was told about, refusing 3D for files that are not mono and effects for files under 150 ms.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/dsp/effect_info.h"
#include "platform/sound_device.h"

namespace korvex::test {

// One effect of the chain: its record (the published defaults at first), replaced whole by every accepted
// write.
class FakeEffect final : public SoundEffect {
public:
    explicit FakeEffect(dsp::EffectKind kind) : kind_(kind), params(dsp::defaultParams(kind)) {}
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

class FakeBuffer3D final : public SoundBuffer3D {
public:
    void setConeAngles(int inside, int outside) override { coneInside = inside, coneOutside = outside; }
    void setConeOutsideVolume(int v) override { coneOutsideVolume = v; }
    void setConeOrientation(float x, float y, float z) override { orientation = {x, y, z}; }
    void setPosition(float x, float y, float z) override { position = {x, y, z}; }
    int coneInside = -1, coneOutside = -1, coneOutsideVolume = 1;
    std::vector<float> orientation, position;
};

using CallLog = std::vector<std::string>;

class FakeSoundBuffer final : public SoundBuffer {
public:
    explicit FakeSoundBuffer(unsigned caps = kCtrlVolume | kCtrlFx | kCtrlPan, int rate = 44100,
                             std::string path = {}, std::shared_ptr<CallLog> log = nullptr,
                             std::shared_ptr<int> alive = nullptr)
        : caps_(caps),
          frequency_(rate),
          path_(std::move(path)),
          log_(std::move(log)),
          alive_(std::move(alive)) {
        if (alive_) ++*alive_;
    }
    ~FakeSoundBuffer() override {
        if (alive_) --*alive_;
        note("release");
    }

    unsigned caps() const override { return caps_; }
    int status() const override { return status_; }
    void play(int flags) override {
        status_ = kStatusPlaying | (flags == kPlayLooping ? kStatusLooping : 0);
        ++plays;
        note(flags == kPlayLooping ? "loop" : "play");
    }
    void stop() override {
        status_ = 0;
        note("stop");
    }
    void setCurrentPosition(long p) override {
        position = p;
        note("rewind");
    }
    int volume() const override { return volume_; }
    SoundError setVolume(int v) override {
        volume_ = v;
        return SoundError::None;
    }
    int frequency() const override { return frequency_; }
    SoundError setFrequency(int hz) override {
        if ((caps_ & kCtrlFrequency) == 0) return SoundError::ControlUnavailable;
        frequency_ = hz;
        return SoundError::None;
    }
    int pan() const override { return 0; }
    SoundError setPan(int) override { return SoundError::None; }
    SoundError setFX(const std::vector<dsp::EffectKind>& kinds, std::vector<int>* results) override {
        ++setFxCalls;
        if ((status_ & kStatusPlaying) != 0) return SoundError::InvalidCall;
        if ((caps_ & kCtrlFx) == 0) return SoundError::ControlUnavailable;
        if (refuse != SoundError::None) return refuse;
        chain.clear();
        if (results != nullptr) results->clear();
        for (std::size_t i = 0; i < kinds.size(); ++i) {
            chain.push_back(std::make_unique<FakeEffect>(kinds[i]));
            if (results != nullptr) results->push_back(i < resultCodes.size() ? resultCodes[i] : kFxSoftware);
        }
        return SoundError::None;
    }
    SoundEffect* effect(dsp::EffectKind kind, int index) override {
        for (const auto& e : chain) {
            if (e->kind() == kind && index-- == 0) return e.get();
        }
        return nullptr;
    }
    SoundBuffer3D* buffer3D() override { return (caps_ & kCtrl3D) != 0 ? &three : nullptr; }

    bool playing() const { return (status_ & kStatusPlaying) != 0; }
    bool looping() const { return (status_ & kStatusLooping) != 0; }
    const std::string& path() const { return path_; }
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
    int plays = 0;
    long position = -1;
    FakeBuffer3D three;
    std::vector<std::unique_ptr<FakeEffect>> chain;
    SoundError refuse = SoundError::None;  // refuse every chain with this error
    std::vector<int> resultCodes;          // the result per effect (software for those not given)
    int setFxCalls = 0;

private:
    // Logs "<what> <path>" ("play /s/kick.wav").
    void note(const char* what) {
        if (log_) log_->push_back(std::string(what) + " " + path_);
    }
    int volume_ = 0;
    int frequency_;
    std::string path_;
    std::shared_ptr<CallLog> log_;
    std::shared_ptr<int> alive_;
};

struct FakeFile {
    int channels = 1;
    int milliseconds = 1000;
    int rate = 44100;
};

class FakeSoundDevice final : public SoundDevice {
public:
    std::unique_ptr<SoundBuffer> createSoundBufferFromFile(const std::string& path, unsigned caps,
                                                           SoundError* error) override {
        const auto it = files.find(path);
        SoundError why = SoundError::None;
        if (it == files.end())
            why = SoundError::Other;
        else if ((caps & kCtrl3D) != 0 && it->second.channels != 1)
            why = SoundError::InvalidArgument;
        else if ((caps & kCtrlFx) != 0 && it->second.milliseconds < 150)
            why = SoundError::BufferTooSmall;
        if (error != nullptr) *error = why;
        if (why != SoundError::None) return nullptr;
        return std::make_unique<FakeSoundBuffer>(caps, it->second.rate, path, log, alive);
    }
    std::map<std::string, FakeFile> files;
    std::shared_ptr<CallLog> log = std::make_shared<CallLog>();
    std::shared_ptr<int> alive = std::make_shared<int>(0);  // buffers not yet released
};

}  // namespace korvex::test

// The names the sampler's tests know them by.
namespace korvex::sampler::testing {
using FakeBuffer = test::FakeSoundBuffer;
using FakeDevice = test::FakeSoundDevice;
using test::FakeFile;
}  // namespace korvex::sampler::testing
