#include "platform/capture.h"

#include <alsa/asoundlib.h>
#include <fcntl.h>
#include <portaudio.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/audio/audio_engine.h"
#include "platform/audio/portaudio_lock.h"
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

    bool start(CaptureRing& ring, std::string& error) override {
        if (!engine_.addMixTap(&ring)) {
            error = "every mix tap of the engine is in use";
            return false;
        }
        ring_ = &ring;
        return true;
    }
    void stop() override {
        if (ring_ != nullptr) engine_.removeMixTap(ring_);
        ring_ = nullptr;
    }
    int sampleRate() const override { return engine_.sampleRate(); }
    std::string describe() const override { return "mix"; }

private:
    AudioEngine& engine_;
    CaptureRing* ring_ = nullptr;
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

// The default capture device. A supervisor thread watches the stream: when it breaks or its callbacks stop
// (the sound server died), the device is closed, the recording goes on with silence at real time, so the
// file's time stays true, and the device is opened again every second until it answers.
class InputCapture final : public CaptureSource {
public:
    ~InputCapture() override { stop(); }

    bool start(CaptureRing& ring, std::string& error) override {
        stop();
        ring_ = &ring;
        firstRate_ = 0;
        if (!openDevice(error)) return false;
        firstRate_ = rate_;
        lost_.store(false, std::memory_order_relaxed);
        armed_.store(true, std::memory_order_release);
        {
            std::lock_guard lock(mutex_);
            stopping_ = false;
        }
        supervisor_ = std::thread([this] { supervise(); });
        return true;
    }

    void stop() override {
        if (supervisor_.joinable()) {
            {
                std::lock_guard lock(mutex_);
                stopping_ = true;
            }
            wake_.notify_all();
            supervisor_.join();
        }
        closeDevice();
        lost_.store(false, std::memory_order_relaxed);
    }

    int sampleRate() const override { return firstRate_ > 0 ? firstRate_ : rate_; }
    std::string describe() const override { return "input: " + name_; }
    bool lost() const override { return lost_.load(std::memory_order_relaxed); }
    std::uint64_t gapFrames() const override { return gapFrames_.load(std::memory_order_relaxed); }

private:
    using Clock = std::chrono::steady_clock;
    // As the output: a stream whose callbacks stop this long is lost; a lost device is tried every second.
    static constexpr auto kSilenceLimit = std::chrono::milliseconds(1500);
    static constexpr auto kWatchInterval = std::chrono::milliseconds(50);
    static constexpr auto kRetryInterval = std::chrono::seconds(1);

    static std::int64_t nowNs() { return Clock::now().time_since_epoch().count(); }

    bool openDevice(std::string& error) {
        std::lock_guard portAudio(portAudioLock());
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
            closeDevice();
            return false;
        }
        channels_ = std::min(info->maxInputChannels, 2);
        PaStreamParameters params{};
        params.device = device;
        params.channelCount = channels_;
        params.sampleFormat = paFloat32;
        params.suggestedLatency = info->defaultLowInputLatency;
        // A device that comes back must deliver the rate the file was started with.
        rate_ = firstRate_ > 0 ? firstRate_ : 44100;
        if (Pa_IsFormatSupported(&params, nullptr, rate_) != paFormatIsSupported) {
            if (firstRate_ > 0) {
                error = "the capture device no longer offers the recording's rate";
                closeDevice();
                return false;
            }
            rate_ = static_cast<int>(info->defaultSampleRate);
        }
        lastCallback_.store(nowNs(), std::memory_order_relaxed);
        finished_.store(false, std::memory_order_relaxed);
        rc = Pa_OpenStream(&stream_, &params, nullptr, rate_, 256, paNoFlag, callback, this);
        if (rc == paNoError) rc = Pa_SetStreamFinishedCallback(stream_, finished);
        if (rc == paNoError) rc = Pa_StartStream(stream_);
        if (rc != paNoError) {
            error = Pa_GetErrorText(rc);
            closeDevice();
            return false;
        }
        name_ = info->name;
        return true;
    }

    void closeDevice() {
        std::lock_guard portAudio(portAudioLock());
        if (stream_ != nullptr) {
            // Closing waits for a callback that is running: no frame of the old stream arrives after it.
            Pa_AbortStream(stream_);
            Pa_CloseStream(stream_);
            stream_ = nullptr;
        }
        if (initialised_) {
            StderrSilencer silence;
            Pa_Terminate();
            initialised_ = false;
        }
    }

    bool alive() const {
        if (stream_ == nullptr || finished_.load(std::memory_order_acquire)) return false;
        return std::chrono::nanoseconds(nowNs() - lastCallback_.load(std::memory_order_relaxed)) < kSilenceLimit;
    }

    // Waits for `interval`; false once stop() was called.
    bool sleepFor(std::chrono::milliseconds interval) {
        std::unique_lock lock(mutex_);
        return !wake_.wait_for(lock, interval, [this] { return stopping_; });
    }

    void supervise() {
        while (sleepFor(kWatchInterval)) {
            if (alive()) continue;
            // Lost: from the last frame the device gave, the file goes on in silence.
            armed_.store(false, std::memory_order_release);
            closeDevice();
            lost_.store(true, std::memory_order_relaxed);
            std::int64_t silentSince = lastCallback_.load(std::memory_order_relaxed);
            auto nextTry = Clock::now() + kRetryInterval;
            bool back = false;
            while (!back && sleepFor(kWatchInterval)) {
                silentSince = fillSilence(silentSince);
                if (Clock::now() < nextTry) continue;
                nextTry = Clock::now() + kRetryInterval;
                std::string error;
                back = openDevice(error);
            }
            if (!back) return;
            // The gap is filled up to now; the device takes over from here.
            fillSilence(silentSince);
            lost_.store(false, std::memory_order_relaxed);
            armed_.store(true, std::memory_order_release);
        }
    }

    // Writes the silence due since `since` (steady-clock nanoseconds); returns the time it reaches.
    std::int64_t fillSilence(std::int64_t since) {
        static constexpr std::size_t kChunk = 1024;
        static const std::vector<float> zeros(2 * kChunk, 0.0f);
        const std::int64_t now = nowNs();
        auto frames = static_cast<std::uint64_t>((now - since) * static_cast<std::int64_t>(firstRate_) / 1000000000);
        const std::int64_t reached = since + static_cast<std::int64_t>(frames) * 1000000000 / firstRate_;
        gapFrames_.fetch_add(frames, std::memory_order_relaxed);
        while (frames > 0) {
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(frames, kChunk));
            ring_->write_rt(zeros.data(), n);
            frames -= n;
        }
        return reached;
    }

    static void finished(void* self) { static_cast<InputCapture*>(self)->finished_.store(true, std::memory_order_release); }

    static int callback(const void* input, void*, unsigned long frames, const PaStreamCallbackTimeInfo*,
                        PaStreamCallbackFlags, void* self) {
        auto* capture = static_cast<InputCapture*>(self);
        RealtimeScope realtime;
        capture->lastCallback_.store(nowNs(), std::memory_order_relaxed);
        const auto* in = static_cast<const float*>(input);
        // Until the supervisor has filled a gap, the ring is its alone.
        if (in == nullptr || !capture->armed_.load(std::memory_order_acquire)) return paContinue;
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
    int firstRate_ = 0;
    std::string name_;
    std::atomic<bool> armed_{false};
    std::atomic<bool> lost_{false};
    std::atomic<bool> finished_{false};
    std::atomic<std::int64_t> lastCallback_{0};
    std::atomic<std::uint64_t> gapFrames_{0};
    std::thread supervisor_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
};

}  // namespace

std::unique_ptr<CaptureSource> makeMixCapture(AudioEngine& engine) {
    return std::make_unique<MixCapture>(engine);
}

std::unique_ptr<CaptureSource> makeInputCapture() {
    return std::make_unique<InputCapture>();
}

}  // namespace korvex::audio
