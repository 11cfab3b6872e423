#include "platform/capture.h"

#include <alsa/asoundlib.h>
#include <fcntl.h>
#include <portaudio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/audio/audio_engine.h"
#include "platform/audio/realtime.h"

namespace korvex::audio {

std::string chooseRecordSource(const std::vector<std::string>& args, const char* environment) {
    static const std::string kOption = "--record-source=";
    for (const std::string& arg : args)
        if (arg.rfind(kOption, 0) == 0) return arg.substr(kOption.size());
    if (environment != nullptr && *environment != '\0') return environment;
    return "mix";
}

bool isRecordSource(const std::string& name) {
    return name == "input" || name == "mix";
}

// --- ring ----------------------------------------------------------------------------------------------

namespace {
std::size_t powerOfTwoAtLeast(std::size_t n) {
    std::size_t p = 1;
    while (p < n) p <<= 1;
    return p;
}
}  // namespace

CaptureRing::CaptureRing(std::size_t capacityFrames)
    : data_(powerOfTwoAtLeast(std::max<std::size_t>(capacityFrames, 2)) * 2),
      mask_(powerOfTwoAtLeast(std::max<std::size_t>(capacityFrames, 2)) - 1) {}

void CaptureRing::write_rt(const float* frames, std::size_t count) {
    const std::size_t head = head_.load(std::memory_order_relaxed);
    const std::size_t room = capacity() - (head - tail_.load(std::memory_order_acquire));
    const std::size_t n = std::min(room, count);
    if (n < count) lost_.fetch_add(count - n, std::memory_order_relaxed);
    const std::size_t at = head & mask_;
    const std::size_t first = std::min(n, capacity() - at);
    std::memcpy(data_.data() + at * 2, frames, first * 2 * sizeof(float));
    std::memcpy(data_.data(), frames + first * 2, (n - first) * 2 * sizeof(float));
    head_.store(head + n, std::memory_order_release);
}

std::size_t CaptureRing::read(float* out, std::size_t maxFrames) {
    const std::size_t tail = tail_.load(std::memory_order_relaxed);
    const std::size_t n = std::min(maxFrames, head_.load(std::memory_order_acquire) - tail);
    const std::size_t at = tail & mask_;
    const std::size_t first = std::min(n, capacity() - at);
    std::memcpy(out, data_.data() + at * 2, first * 2 * sizeof(float));
    std::memcpy(out + first * 2, data_.data(), (n - first) * 2 * sizeof(float));
    tail_.store(tail + n, std::memory_order_release);
    return n;
}

std::size_t CaptureRing::available() const {
    return head_.load(std::memory_order_acquire) - tail_.load(std::memory_order_relaxed);
}

// --- the mix -------------------------------------------------------------------------------------------

namespace {

class MixCapture final : public CaptureSource {
public:
    explicit MixCapture(AudioEngine& engine) : engine_(engine) {}
    ~MixCapture() override { stop(); }

    bool start(CaptureRing& ring, std::string&) override {
        engine_.setMixTap(&ring);
        attached_ = true;
        return true;
    }
    void stop() override {
        if (attached_) engine_.setMixTap(nullptr);
        attached_ = false;
    }
    int sampleRate() const override { return engine_.sampleRate(); }
    std::string describe() const override { return "mix"; }

private:
    AudioEngine& engine_;
    bool attached_ = false;
};

// --- the capture device --------------------------------------------------------------------------------

void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

// Keeps the device layers' complaints (ALSA, JACK) off the terminal while devices are probed.
class StderrSilencer {
public:
    StderrSilencer() {
        saved_ = ::dup(STDERR_FILENO);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved_ >= 0 && null >= 0) ::dup2(null, STDERR_FILENO);
        if (null >= 0) ::close(null);
    }
    ~StderrSilencer() {
        if (saved_ >= 0) {
            ::dup2(saved_, STDERR_FILENO);
            ::close(saved_);
        }
    }
    StderrSilencer(const StderrSilencer&) = delete;
    StderrSilencer& operator=(const StderrSilencer&) = delete;

private:
    int saved_ = -1;
};

class InputCapture final : public CaptureSource {
public:
    ~InputCapture() override { stop(); }

    bool start(CaptureRing& ring, std::string& error) override {
        stop();
        snd_lib_error_set_handler(quietAlsa);
        setenv("JACK_NO_START_SERVER", "1", 0);
        StderrSilencer silence;
        PaError rc = Pa_Initialize();
        if (rc != paNoError) {
            error = Pa_GetErrorText(rc);
            return false;
        }
        initialised_ = true;
        const PaDeviceIndex device = Pa_GetDefaultInputDevice();
        const PaDeviceInfo* info = device == paNoDevice ? nullptr : Pa_GetDeviceInfo(device);
        if (info == nullptr || info->maxInputChannels < 1) {
            error = "no capture device";
            stop();
            return false;
        }
        ring_ = &ring;
        channels_ = std::min(info->maxInputChannels, 2);
        PaStreamParameters params{};
        params.device = device;
        params.channelCount = channels_;
        params.sampleFormat = paFloat32;
        params.suggestedLatency = info->defaultLowInputLatency;
        rate_ = 44100;
        if (Pa_IsFormatSupported(&params, nullptr, rate_) != paFormatIsSupported)
            rate_ = static_cast<int>(info->defaultSampleRate);
        rc = Pa_OpenStream(&stream_, &params, nullptr, rate_, 256, paNoFlag, callback, this);
        if (rc == paNoError) rc = Pa_StartStream(stream_);
        if (rc != paNoError) {
            error = Pa_GetErrorText(rc);
            stop();
            return false;
        }
        name_ = info->name;
        return true;
    }

    void stop() override {
        if (stream_ != nullptr) {
            Pa_StopStream(stream_);
            Pa_CloseStream(stream_);
            stream_ = nullptr;
        }
        if (initialised_) {
            StderrSilencer silence;
            Pa_Terminate();
            initialised_ = false;
        }
    }

    int sampleRate() const override { return rate_; }
    std::string describe() const override { return "input: " + name_; }

private:
    static int callback(const void* input, void*, unsigned long frames, const PaStreamCallbackTimeInfo*,
                        PaStreamCallbackFlags, void* self) {
        auto* capture = static_cast<InputCapture*>(self);
        RealtimeScope realtime;
        const auto* in = static_cast<const float*>(input);
        if (in == nullptr) return paContinue;
        if (capture->channels_ == 2) {
            capture->ring_->write_rt(in, frames);
            return paContinue;
        }
        // A mono device goes to both channels.
        float stereo[2 * 256];
        for (unsigned long done = 0; done < frames;) {
            const unsigned long n = std::min<unsigned long>(256, frames - done);
            for (unsigned long i = 0; i < n; ++i) stereo[2 * i] = stereo[2 * i + 1] = in[done + i];
            capture->ring_->write_rt(stereo, n);
            done += n;
        }
        return paContinue;
    }

    CaptureRing* ring_ = nullptr;
    PaStream* stream_ = nullptr;
    bool initialised_ = false;
    int channels_ = 2;
    int rate_ = 44100;
    std::string name_;
};

}  // namespace

std::unique_ptr<CaptureSource> makeMixCapture(AudioEngine& engine) {
    return std::make_unique<MixCapture>(engine);
}

std::unique_ptr<CaptureSource> makeInputCapture() {
    return std::make_unique<InputCapture>();
}

}  // namespace korvex::audio
