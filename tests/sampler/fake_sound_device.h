#pragma once
// A sound device for the sampler's model tests: it "opens" the files it was told about, refuses 3D for
// files that are not mono and effects for files under 150 ms, and its buffers remember what they were
// asked (state, and a shared log of calls).

#include <QString>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/deck_player.h"
#include "platform/sound_device.h"

namespace korvex::sampler::testing {

struct FakeFile {
    int channels = 1;
    int milliseconds = 1000;
    int rate = 44100;
};

class FakeBuffer3D final : public SoundBuffer3D {
public:
    void setConeAngles(int inside, int outside) override { coneInside = inside, coneOutside = outside; }
    void setConeOutsideVolume(int v) override { coneOutsideVolume = v; }
    void setConeOrientation(float x, float y, float z) override { orientation = {x, y, z}; }
    void setPosition(float x, float y, float z) override {
        position = {x, y, z};
        ++positions;
    }
    int coneInside = -1, coneOutside = -1, coneOutsideVolume = 1;
    std::vector<float> orientation, position;
    int positions = 0;
};

class FakeBuffer final : public SoundBuffer {
public:
    FakeBuffer(std::string path, unsigned caps, int rate, std::vector<std::string>& log, int* alive)
        : path_(std::move(path)), caps_(caps), frequency_(rate), log_(log), alive_(alive) {
        ++*alive_;
    }
    ~FakeBuffer() override {
        --*alive_;
        log_.push_back("release " + path_);
    }
    unsigned caps() const override { return caps_; }
    int status() const override {
        return playing ? (looping ? kStatusPlaying | kStatusLooping : kStatusPlaying) : 0;
    }
    void play(int flags) override {
        playing = true;
        looping = flags == kPlayLooping;
        ++plays;
        log_.push_back(std::string(looping ? "loop " : "play ") + path_);
    }
    void stop() override {
        playing = false;
        log_.push_back("stop " + path_);
    }
    void setCurrentPosition(long p) override {
        position = p;
        log_.push_back("rewind " + path_);
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
    SoundError setFX(const std::vector<dsp::EffectKind>&, std::vector<int>*) override {
        return SoundError::None;
    }
    SoundEffect* effect(dsp::EffectKind, int) override { return nullptr; }
    SoundBuffer3D* buffer3D() override { return (caps_ & kCtrl3D) != 0 ? &three : nullptr; }

    bool playing = false;
    bool looping = false;
    int plays = 0;
    long position = -1;
    FakeBuffer3D three;
    const std::string& path() const { return path_; }

private:
    std::string path_;
    unsigned caps_;
    int volume_ = 0;
    int frequency_;
    std::vector<std::string>& log_;
    int* alive_;
};

class FakeDevice final : public SoundDevice {
public:
    std::unique_ptr<SoundBuffer> createSoundBufferFromFile(const std::string& path, unsigned caps,
                                                           SoundError* error) override {
        requests.emplace_back(path, caps);
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
        return std::make_unique<FakeBuffer>(path, caps, it->second.rate, *log, alive.get());
    }
    std::map<std::string, FakeFile> files;
    std::vector<std::pair<std::string, unsigned>> requests;
    std::shared_ptr<std::vector<std::string>> log = std::make_shared<std::vector<std::string>>();
    std::shared_ptr<int> alive = std::make_shared<int>(0);
};

// A deck player that only keeps its mute flag.
class MutePlayer final : public DeckPlayer {
public:
    void setFileName(const std::string&) override {}
    const std::string& fileName() const override { return name_; }
    double currentPosition() const override { return 0.0; }
    void setCurrentPosition(double) override {}
    double duration() const override { return 0.0; }
    double rate() const override { return 1.0; }
    void setRate(double) override {}
    int playState() const override { return 0; }
    double selectionStart() const override { return -1.0; }
    void setSelectionStart(double) override {}
    double selectionEnd() const override { return -1.0; }
    void setSelectionEnd(double) override {}
    int volume() const override { return 0; }
    void setVolume(int) override {}
    int balance() const override { return 0; }
    void setBalance(int) override {}
    bool mute() const override { return muted; }
    void setMute(bool m) override { muted = m; }
    bool hasError() const override { return false; }
    void play() override {}
    void pause() override {}
    void stop() override {}
    bool muted = false;

private:
    std::string name_;
};

}  // namespace korvex::sampler::testing
