#include "platform/sound_buffer.h"

#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "platform/audio/realtime.h"
#include "platform/dsp/gain.h"
#include "platform/os/ordinary_file.h"

namespace korvex {

namespace {

using audio::SampleData;
using audio::SamplerSource;

constexpr int kMinVolume = -10000;
constexpr int kMinFrequency = 100;
constexpr int kMaxFrequency = 100000;
constexpr int kMaxPan = 10000;

// --- reading ----------------------------------------------------------------------------------------

// A wave file read through its own descriptor, closed with it.
struct SndFile {
    int fd = -1;
    SNDFILE* file = nullptr;
    ~SndFile() {
        if (file != nullptr) sf_close(file);
        if (fd >= 0) ::close(fd);
    }
};

// Bytes per sample of the file's own encoding (what buffer positions count in).
int bytesPerSample(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8:
        case SF_FORMAT_ULAW:
        case SF_FORMAT_ALAW:
            return 1;
        case SF_FORMAT_PCM_24:
            return 3;
        case SF_FORMAT_PCM_32:
        case SF_FORMAT_FLOAT:
            return 4;
        case SF_FORMAT_DOUBLE:
            return 8;
        default:
            return 2;
    }
}

// Left and right weights of one channel of a file with more than two channels.
struct Weights {
    float left;
    float right;
};

Weights weightsOf(int map) {
    constexpr float kCentre = std::numbers::sqrt2_v<float> / 2.0f;
    switch (map) {
        case SF_CHANNEL_MAP_LEFT:
        case SF_CHANNEL_MAP_FRONT_LEFT:
        case SF_CHANNEL_MAP_REAR_LEFT:
        case SF_CHANNEL_MAP_FRONT_LEFT_OF_CENTER:
        case SF_CHANNEL_MAP_SIDE_LEFT:
        case SF_CHANNEL_MAP_TOP_FRONT_LEFT:
        case SF_CHANNEL_MAP_TOP_REAR_LEFT:
            return {1.0f, 0.0f};
        case SF_CHANNEL_MAP_RIGHT:
        case SF_CHANNEL_MAP_FRONT_RIGHT:
        case SF_CHANNEL_MAP_REAR_RIGHT:
        case SF_CHANNEL_MAP_FRONT_RIGHT_OF_CENTER:
        case SF_CHANNEL_MAP_SIDE_RIGHT:
        case SF_CHANNEL_MAP_TOP_FRONT_RIGHT:
        case SF_CHANNEL_MAP_TOP_REAR_RIGHT:
            return {0.0f, 1.0f};
        case SF_CHANNEL_MAP_LFE:
            return {0.0f, 0.0f};
        default:  // mono, centres, and anything without a side
            return {kCentre, kCentre};
    }
}

// Float samples as 16-bit (full scale 32768, so a 16-bit file's samples come back exactly); what lies beyond
// full scale is clipped, and a value that is not a number (a damaged file) becomes silence.
std::vector<std::int16_t> toSixteenBit(const std::vector<float>& in) {
    std::vector<std::int16_t> out(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        const float v = std::isfinite(in[i]) ? std::clamp(in[i] * 32768.0f, -32768.0f, 32767.0f) : 0.0f;
        // Rounded half away from zero, without a call into the maths library.
        out[i] = static_cast<std::int16_t>(v < 0.0f ? v - 0.5f : v + 0.5f);
    }
    return out;
}

// Folds `channels` (> 2) interleaved channels down to stereo: each channel goes to its side of the
// layout (the file's channel map, else the usual WAVE order), centres to both sides at -3 dB, the LFE
// channel is left out, and both sides are scaled by the larger weight sum so a full-scale file stays
// within full scale.
std::vector<float> foldToStereo(SNDFILE* file, const std::vector<float>& in, int channels,
                                std::size_t frames) {
    static constexpr int kWaveOrder[] = {SF_CHANNEL_MAP_FRONT_LEFT,
                                         SF_CHANNEL_MAP_FRONT_RIGHT,
                                         SF_CHANNEL_MAP_FRONT_CENTER,
                                         SF_CHANNEL_MAP_LFE,
                                         SF_CHANNEL_MAP_REAR_LEFT,
                                         SF_CHANNEL_MAP_REAR_RIGHT,
                                         SF_CHANNEL_MAP_FRONT_LEFT_OF_CENTER,
                                         SF_CHANNEL_MAP_FRONT_RIGHT_OF_CENTER,
                                         SF_CHANNEL_MAP_REAR_CENTER,
                                         SF_CHANNEL_MAP_SIDE_LEFT,
                                         SF_CHANNEL_MAP_SIDE_RIGHT};
    std::vector<int> map(static_cast<std::size_t>(channels), SF_CHANNEL_MAP_INVALID);
    if (sf_command(file, SFC_GET_CHANNEL_MAP_INFO, map.data(), static_cast<int>(map.size() * sizeof(int))) ==
        SF_FALSE) {
        std::fill(map.begin(), map.end(), SF_CHANNEL_MAP_INVALID);
    }
    std::vector<Weights> weights;
    float sumLeft = 0.0f;
    float sumRight = 0.0f;
    for (int c = 0; c < channels; ++c) {
        int m = map[static_cast<std::size_t>(c)];
        if (m == SF_CHANNEL_MAP_INVALID || m >= SF_CHANNEL_MAP_AMBISONIC_B_W) {
            m = c < static_cast<int>(std::size(kWaveOrder))
                    ? kWaveOrder[c]
                    : (c % 2 == 0 ? SF_CHANNEL_MAP_LEFT : SF_CHANNEL_MAP_RIGHT);
        }
        weights.push_back(weightsOf(m));
        sumLeft += weights.back().left;
        sumRight += weights.back().right;
    }
    const float scale = 1.0f / std::max({sumLeft, sumRight, 1.0f});
    std::vector<float> out(frames * 2);
    for (std::size_t f = 0; f < frames; ++f) {
        const float* src = in.data() + f * static_cast<std::size_t>(channels);
        float left = 0.0f;
        float right = 0.0f;
        for (int c = 0; c < channels; ++c) {
            left += src[c] * weights[static_cast<std::size_t>(c)].left;
            right += src[c] * weights[static_cast<std::size_t>(c)].right;
        }
        out[2 * f] = left * scale;
        out[2 * f + 1] = right * scale;
    }
    return out;
}

// --- effects ----------------------------------------------------------------------------------------

class EngineSoundEffect final : public SoundEffect {
public:
    EngineSoundEffect(dsp::EffectChain& chain, std::size_t index) : chain_(chain), index_(index) {}
    dsp::EffectKind kind() const override { return chain_.kind(index_); }
    dsp::EffectParams allParameters() const override { return chain_.parameters(index_); }
    bool setAllParameters(const dsp::EffectParams& params) override {
        if (params.index() != static_cast<std::size_t>(kind())) return false;
        return chain_.setParameters(index_, params);
    }

private:
    dsp::EffectChain& chain_;
    const std::size_t index_;
};

// --- buffers ----------------------------------------------------------------------------------------

class EngineSoundBuffer final : public SoundBuffer, public SoundBuffer3D {
public:
    EngineSoundBuffer(audio::AudioEngine& engine, int voice, unsigned caps, int fileRate, std::size_t frames,
                      int bytesPerFrame)
        : engine_(engine),
          sampler_(engine.sampler()),
          voice_(voice),
          caps_(caps),
          fileRate_(fileRate),
          frames_(frames),
          bytesPerFrame_(bytesPerFrame),
          frequency_(fileRate) {
        updateGains();
    }

    ~EngineSoundBuffer() override { sampler_.release(voice_); }

    unsigned caps() const override { return caps_; }

    int status() const override {
        if (sampler_.acknowledged() < statusSeq_) return impliedStatus_;
        return sampler_.shared(voice_).status.load(std::memory_order_acquire);
    }

    void play(int flags) override {
        const bool looping = (flags & kPlayLooping) != 0;
        statusSeq_ = sampler_.play(voice_, looping);
        impliedStatus_ = kStatusPlaying | (looping ? kStatusLooping : 0);
    }

    void stop() override {
        statusSeq_ = sampler_.stop(voice_);
        impliedStatus_ = 0;
    }

    void setCurrentPosition(long position) override {
        const long frame = std::clamp<long>(position / bytesPerFrame_, 0, static_cast<long>(frames_) - 1);
        const int before = status();
        const std::uint64_t seq =
            frame == 0 ? sampler_.rewind(voice_) : sampler_.seek(voice_, static_cast<std::size_t>(frame));
        // Moving the position leaves the status as it is.
        statusSeq_ = seq;
        impliedStatus_ = before;
    }

    int volume() const override { return volume_; }
    SoundError setVolume(int hundredthsDb) override {
        if ((caps_ & kCtrlVolume) == 0) return SoundError::ControlUnavailable;
        if (hundredthsDb < kMinVolume || hundredthsDb > 0) return SoundError::Other;
        volume_ = hundredthsDb;
        updateGains();
        return SoundError::None;
    }

    int frequency() const override { return frequency_; }
    SoundError setFrequency(int hertz) override {
        if ((caps_ & kCtrlFrequency) == 0) return SoundError::ControlUnavailable;
        if (hertz < kMinFrequency || hertz > kMaxFrequency) return SoundError::Other;
        frequency_ = hertz;
        sampler_.shared(voice_).increment.store(static_cast<double>(hertz) / engine_.sampleRate(),
                                                std::memory_order_relaxed);
        return SoundError::None;
    }

    int pan() const override { return pan_; }
    void setPrelisten(bool on) override {
        sampler_.shared(voice_).prelisten.store(on, std::memory_order_relaxed);
    }
    SoundError setPan(int pan) override {
        if ((caps_ & kCtrlPan) == 0) return SoundError::ControlUnavailable;
        if (pan < -kMaxPan || pan > kMaxPan) return SoundError::Other;
        pan_ = pan;
        updateGains();
        return SoundError::None;
    }

    SoundError setFX(const std::vector<dsp::EffectKind>& chain, std::vector<int>* results) override {
        const auto refuse = [&](SoundError error) {
            if (results != nullptr) results->assign(chain.size(), kFxUnallocated);
            return error;
        };
        if ((caps_ & kCtrlFx) == 0) return refuse(SoundError::ControlUnavailable);
        if ((status() & kStatusPlaying) != 0) return refuse(SoundError::InvalidCall);
        for (dsp::EffectKind kind : chain) {
            const int k = static_cast<int>(kind);
            if (k < 0 || k >= dsp::kEffectKinds) {
                // One effect that cannot be made: none is.
                if (results != nullptr) {
                    results->clear();
                    for (dsp::EffectKind each : chain) {
                        const int e = static_cast<int>(each);
                        results->push_back(e < 0 || e >= dsp::kEffectKinds ? kFxUnknown : kFxUnallocated);
                    }
                }
                return SoundError::InvalidArgument;
            }
        }
        effects_.clear();
        std::unique_ptr<dsp::EffectChain> fresh;
        if (!chain.empty()) {
            fresh = std::make_unique<dsp::EffectChain>(chain, engine_.sampleRate());
            for (std::size_t i = 0; i < fresh->size(); ++i)
                effects_.push_back(std::make_unique<EngineSoundEffect>(*fresh, i));
        }
        sampler_.setChain(voice_, std::move(fresh));
        if (results != nullptr) results->assign(chain.size(), kFxSoftware);
        return SoundError::None;
    }

    SoundEffect* effect(dsp::EffectKind kind, int index) override {
        int seen = 0;
        for (auto& effect : effects_) {
            if (effect->kind() != kind) continue;
            if (seen++ == index) return effect.get();
        }
        return nullptr;
    }

    SoundBuffer3D* buffer3D() override { return (caps_ & kCtrl3D) != 0 ? this : nullptr; }

    // --- 3D -------------------------------------------------------------------------------------------
    void setConeAngles(int insideDegrees, int outsideDegrees) override {
        panner_.insideAngle = std::clamp(insideDegrees, 0, 360);
        panner_.outsideAngle = std::clamp(std::max(outsideDegrees, panner_.insideAngle), 0, 360);
        updateGains();
    }
    void setConeOutsideVolume(int hundredthsDb) override {
        panner_.outsideVolume = std::clamp(hundredthsDb, kMinVolume, 0);
        updateGains();
    }
    void setConeOrientation(float x, float y, float z) override {
        if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) return;
        panner_.orientation[0] = x;
        panner_.orientation[1] = y;
        panner_.orientation[2] = z;
        updateGains();
    }
    void setPosition(float x, float y, float z) override {
        if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) return;
        panner_.position[0] = x;
        panner_.position[1] = y;
        panner_.position[2] = z;
        updateGains();
    }

private:
    void updateGains() {
        float left = 1.0f;
        float right = 1.0f;
        if ((caps_ & kCtrl3D) != 0) {
            panner_.gains(volume_, &left, &right);
        } else {
            const float level = dsp::volumeToGain(volume_);
            const dsp::ChannelGains pan = dsp::balanceToGains(pan_);
            left = level * pan.left;
            right = level * pan.right;
        }
        audio::VoiceShared& shared = sampler_.shared(voice_);
        shared.gainLeft.store(left, std::memory_order_relaxed);
        shared.gainRight.store(right, std::memory_order_relaxed);
    }

    audio::AudioEngine& engine_;
    SamplerSource& sampler_;
    const int voice_;
    const unsigned caps_;
    const int fileRate_;
    const std::size_t frames_;
    const int bytesPerFrame_;
    int volume_ = 0;
    int frequency_;
    int pan_ = 0;
    Panner3D panner_;
    std::vector<std::unique_ptr<EngineSoundEffect>> effects_;
    // What the last unacknowledged transport command implies, for coherent reads.
    std::uint64_t statusSeq_ = 0;
    int impliedStatus_ = 0;
};

}  // namespace

void Panner3D::gains(int volume, float* left, float* right) const {
    const double dx = position[0];
    const double dy = position[1];
    const double dz = position[2];
    const double dist = std::sqrt(dx * dx + dy * dy + dz * dz);
    const double r = std::clamp(dist, kMinDistance, kMaxDistance);
    // Inverse distance: -6 dB for each doubling beyond the minimum distance.
    const double distanceDb = 2000.0 * std::log10(kMinDistance / r);

    // Cone: the angle between the cone's axis and the way from the source to the listener.
    double coneDb = 0.0;
    const double ox = orientation[0];
    const double oy = orientation[1];
    const double oz = orientation[2];
    const double olen = std::sqrt(ox * ox + oy * oy + oz * oz);
    if (dist > 0.0 && olen > 0.0 && outsideVolume != 0) {
        const double cosTheta = std::clamp(-(ox * dx + oy * dy + oz * dz) / (olen * dist), -1.0, 1.0);
        const double theta = std::acos(cosTheta) * 180.0 / std::numbers::pi;
        const double inside = insideAngle / 2.0;
        const double outside = outsideAngle / 2.0;
        const double t = outside > inside ? std::clamp((theta - inside) / (outside - inside), 0.0, 1.0)
                                          : (theta > inside ? 1.0 : 0.0);
        coneDb = outsideVolume * t;
    }

    const double total = std::clamp(volume + distanceDb + coneDb, -10000.0, 0.0);
    const float level = dsp::volumeToGain(static_cast<int>(std::lround(total)));
    // Equal-power pan from the sideways share of the direction to the source.
    double a = 0.5;
    if (dist > 0.0) a = 0.5 + std::asin(std::clamp(dx / dist, -1.0, 1.0)) / std::numbers::pi;
    *left = level * static_cast<float>(std::sqrt(1.0 - a));
    *right = level * static_cast<float>(std::sqrt(a));
}

std::unique_ptr<SoundBuffer> SoundEngineDevice::createSoundBufferFromFile(const std::string& path,
                                                                          unsigned caps, SoundError* error) {
    audio::assertNotRealtime();
    const auto fail = [&](SoundError why) -> std::unique_ptr<SoundBuffer> {
        if (error != nullptr) *error = why;
        return nullptr;
    };
    if ((caps & kCtrl3D) != 0 && (caps & kCtrlPan) != 0) return fail(SoundError::InvalidArgument);

    SF_INFO info{};
    SndFile in;
    // A pipe or a device named as a sound is unreadable, never waited on (the sampler loads at start-up).
    std::string why;
    in.fd = os::openOrdinaryFile(path, why);
    if (in.fd >= 0) in.file = sf_open_fd(in.fd, SFM_READ, &info, SF_FALSE);
    if (in.file == nullptr || info.channels < 1 || info.samplerate < 1 || info.frames < 1)
        return fail(SoundError::Other);
    if (static_cast<std::size_t>(info.frames) > kMaxSamples / static_cast<std::size_t>(info.channels))
        return fail(SoundError::Other);

    auto data = std::make_shared<SampleData>();
    data->rate = info.samplerate;
    data->channels = std::min(info.channels, 2);
    const auto samplesOf = [&info](sf_count_t frames) {
        return static_cast<std::size_t>(frames) * static_cast<std::size_t>(info.channels);
    };
    sf_count_t got = 0;
    const int subformat = info.format & SF_FORMAT_SUBMASK;
    if (info.channels <= 2 &&
        (subformat == SF_FORMAT_PCM_16 || subformat == SF_FORMAT_PCM_S8 || subformat == SF_FORMAT_PCM_U8)) {
        // Samples of 16 bits or fewer are read as they are held, with no float copy on the way.
        data->samples.resize(samplesOf(info.frames));
        got = sf_readf_short(in.file, data->samples.data(), info.frames);
        data->samples.resize(samplesOf(std::max<sf_count_t>(got, 0)));
    } else {
        std::vector<float> raw(samplesOf(info.frames));
        got = sf_readf_float(in.file, raw.data(), info.frames);
        raw.resize(samplesOf(std::max<sf_count_t>(got, 0)));
        data->samples = toSixteenBit(info.channels <= 2 ? std::move(raw)
                                                        : foldToStereo(in.file, raw, info.channels,
                                                                       static_cast<std::size_t>(std::max<sf_count_t>(got, 0))));
    }
    if (got < 1) return fail(SoundError::Other);
    // A truncated file counts by what could be read.
    const auto frames = static_cast<std::size_t>(got);
    data->frames = frames;
    if ((caps & kCtrlFx) != 0 && static_cast<double>(frames) < kMinFxSeconds * info.samplerate)
        return fail(SoundError::BufferTooSmall);
    if ((caps & kCtrl3D) != 0 && info.channels != 1) return fail(SoundError::InvalidArgument);
    const int bytesPerFrame = bytesPerSample(info.format) * info.channels;
    const bool mono = (caps & kCtrl3D) != 0;
    const int voice = engine_.sampler().attach(std::move(data), mono);
    if (voice < 0) return fail(SoundError::Other);
    if (error != nullptr) *error = SoundError::None;
    return std::make_unique<EngineSoundBuffer>(engine_, voice, caps, info.samplerate, frames, bytesPerFrame);
}

}  // namespace korvex
