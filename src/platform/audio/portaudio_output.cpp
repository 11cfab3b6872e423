// The sound card output: PortAudio on the default (or a named) device, 44.1 kHz stereo float, small
// buffers. The device layers below PortAudio (ALSA, JACK) print their own complaints on stderr while
// devices are probed; those are kept off the terminal, and a failure is reported once by the caller.

#include <alsa/asoundlib.h>
#include <fcntl.h>
#include <portaudio.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "platform/audio/audio_engine.h"
#include "platform/audio/audio_output.h"

namespace korvex::audio {

namespace {

constexpr unsigned long kBufferFrames = 256;

void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

// Sends stderr to /dev/null for the lifetime of the object.
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

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

class PortAudioOutput final : public AudioOutput {
public:
    PortAudioOutput(AudioEngine& engine, std::string device) : engine_(engine), device_(std::move(device)) {}
    ~PortAudioOutput() override { stop(); }

    bool start(std::string& error) override {
        snd_lib_error_set_handler(quietAlsa);
        setenv("JACK_NO_START_SERVER", "1", 0);
        StderrSilencer silence;
        PaError rc = Pa_Initialize();
        if (rc != paNoError) {
            error = Pa_GetErrorText(rc);
            return false;
        }
        initialised_ = true;
        PaDeviceIndex index = findDevice();
        if (index == paNoDevice) {
            error = device_.empty() ? "no default output device" : "no output device named \"" + device_ + "\"";
            return false;
        }
        const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
        PaStreamParameters params{};
        params.device = index;
        params.channelCount = 2;
        params.sampleFormat = paFloat32;
        params.suggestedLatency = info != nullptr ? info->defaultLowOutputLatency : 0.02;
        rc = Pa_OpenStream(&stream_, nullptr, &params, engine_.sampleRate(), kBufferFrames, paNoFlag, callback,
                           this);
        if (rc == paNoError) rc = Pa_StartStream(stream_);
        if (rc != paNoError) {
            error = Pa_GetErrorText(rc);
            return false;
        }
        name_ = info != nullptr ? info->name : "?";
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

    std::string describe() const override { return "PortAudio: " + name_; }

private:
    PaDeviceIndex findDevice() const {
        if (device_.empty()) return Pa_GetDefaultOutputDevice();
        const int count = Pa_GetDeviceCount();
        PaDeviceIndex partial = paNoDevice;
        for (int i = 0; i < count; ++i) {
            const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
            if (info == nullptr || info->maxOutputChannels < 2) continue;
            if (info->name == device_) return i;
            if (partial == paNoDevice && lower(info->name).find(lower(device_)) != std::string::npos) partial = i;
        }
        return partial;
    }

    static int callback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                        PaStreamCallbackFlags, void* self) {
        static_cast<PortAudioOutput*>(self)->engine_.render_rt(static_cast<float*>(output), frames);
        return paContinue;
    }

    AudioEngine& engine_;
    std::string device_;
    std::string name_;
    PaStream* stream_ = nullptr;
    bool initialised_ = false;
};

}  // namespace

std::unique_ptr<AudioOutput> makePortAudioOutput(AudioEngine& engine, std::string deviceName) {
    return std::make_unique<PortAudioOutput>(engine, std::move(deviceName));
}

}  // namespace korvex::audio
