// The sound card output: PortAudio on the default (or a named) device, 44.1 kHz stereo float, 256-frame
// callbacks. The device layers below PortAudio (ALSA, JACK) print their own complaints on stderr while
// devices are probed or fail; those are kept off the terminal, and a failure is reported once by the caller.
//
// A sound server can die under the program. A supervisor thread watches the stream (an error ends it, or
// its callbacks stop coming); on a loss the engine goes on at real time on the null clock so the set keeps
// its time, and the device is opened again every second. A new stream starts silent and takes over from
// the clock only once it runs, so the engine's time never stops; the sound then fades back in.

#include <alsa/asoundlib.h>
#include <dirent.h>
#include <fcntl.h>
#include <portaudio.h>
#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/audio/audio_engine.h"
#include "platform/audio/audio_output.h"
#include "platform/audio/phones_feed.h"
#include "platform/audio/portaudio_lock.h"
#include "platform/audio/realtime.h"
#include "platform/os/realtime_kit.h"

namespace korvex::audio {

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

// The sound server's client asks for several callbacks' worth at each wake-up, so the fewer and larger the
// callbacks, the fewer the wake-ups of the callback thread and the client's thread: with 1024 frames (23 ms)
// they wake about 20 and 60 times a second instead of 35 and 105 with 256, for 0.6 % of a core instead of
// 0.9 % with nothing playing (a desktop's sound server, 100 ms). A callback stays at most a quarter of the
// latency asked for, so a tight latency keeps short callbacks.
unsigned long callbackFrames(double latencyMs, int sampleRate) {
    const double quarter = latencyMs / 1000.0 * sampleRate / 4.0;
    unsigned long frames = 64;
    while (frames < 1024 && static_cast<double>(frames * 2) <= quarter) frames *= 2;
    return frames;
}

namespace {
// A stream whose callbacks stop for this long counts as lost (a broken stream usually ends at once with an
// error; this catches one that hangs, and is long enough that a machine under heavy load is not taken
// for a lost device).
constexpr auto kSilenceLimit = std::chrono::milliseconds(1500);
constexpr auto kWatchInterval = std::chrono::milliseconds(200);
constexpr auto kRetryInterval = std::chrono::seconds(1);
// After this long with nothing to sound (no deck playing, no sampler voice, no command), the master
// stream stops until the engine has work again: an idle player costs no wake-ups.
constexpr double kRestAfterSeconds = 3.0;
// Priority of the audio callback thread when real-time scheduling is allowed: any real-time priority runs
// before every normal thread; this one stays below a sound server's own (PulseAudio uses 5).
constexpr int kRealtimePriority = 4;

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

// While a device output lives, stderr passes through a pipe that drops PortAudio's internal assertion lines
// ("Expression '...' failed in '...'"), which its ALSA layer prints from its own thread when a stream
// breaks; every other line reaches the terminal unchanged.
class StderrFilter {
public:
    StderrFilter() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return;
        saved_ = ::dup(STDERR_FILENO);
        if (saved_ < 0 || ::dup2(fds[1], STDERR_FILENO) < 0) {
            ::close(fds[0]);
            ::close(fds[1]);
            return;
        }
        ::close(fds[1]);
        read_ = fds[0];
        thread_ = std::thread([this] { run(); });
    }
    ~StderrFilter() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        ::dup2(saved_, STDERR_FILENO);  // the pipe's last writer goes: the reader drains and ends
        if (thread_.joinable()) thread_.join();
        ::close(saved_);
        if (read_ >= 0) ::close(read_);
    }
    StderrFilter(const StderrFilter&) = delete;
    StderrFilter& operator=(const StderrFilter&) = delete;

private:
    void run() {
        std::string pending;
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(read_, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            pending.append(buffer, static_cast<std::size_t>(n));
            for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
                forward(pending.substr(0, end + 1));
                pending.erase(0, end + 1);
            }
        }
        if (!pending.empty()) forward(pending);
    }
    void forward(const std::string& line) {
        if (line.rfind("Expression '", 0) == 0 && line.find("' failed in '") != std::string::npos) return;
        [[maybe_unused]] const ssize_t n = ::write(saved_, line.data(), line.size());
    }

    int saved_ = -1;
    int read_ = -1;
    std::thread thread_;
};

// The sound server's client library runs its own thread in this process ("threaded-ml", PulseAudio's
// through ALSA); the callback waits for it, so it must not wait for normal threads either.
std::vector<pid_t> serverClientThreads() {
    std::vector<pid_t> found;
    DIR* tasks = ::opendir("/proc/self/task");
    if (tasks == nullptr) return found;
    while (const dirent* entry = ::readdir(tasks)) {
        if (entry->d_name[0] == '.') continue;
        const std::string base = std::string("/proc/self/task/") + entry->d_name;
        char name[32] = {};
        const int fd = ::open((base + "/comm").c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        const ssize_t n = ::read(fd, name, sizeof name - 1);
        ::close(fd);
        if (n <= 0 || std::strncmp(name, "threaded-ml", 11) != 0) continue;
        found.push_back(static_cast<pid_t>(std::atoi(entry->d_name)));
    }
    ::closedir(tasks);
    return found;
}

void raiseServerClientThreads() {
    sched_param param{};
    param.sched_priority = kRealtimePriority;
    for (pid_t tid : serverClientThreads()) (void)::sched_setscheduler(tid, SCHED_FIFO, &param);
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

// How the audio callback thread's real-time request went (reported once, off the audio thread).
enum class RealtimeResult : int { kNotTried, kGranted, kRefused };

// What a stream plays: the engine's output, or the headphone feed read on a device of its own.
class StreamSource {
public:
    virtual ~StreamSource() = default;
    virtual int channels() const = 0;
    virtual void render_rt(float* out, unsigned long frames) = 0;
};

class EngineSource final : public StreamSource {
public:
    explicit EngineSource(AudioEngine& engine) : engine_(engine) {}
    int channels() const override { return engine_.outputChannels(); }
    void render_rt(float* out, unsigned long frames) override { engine_.render_rt(out, frames); }

private:
    AudioEngine& engine_;
};

class PhonesSource final : public StreamSource {
public:
    explicit PhonesSource(PhonesFeed& feed) : feed_(feed) {}
    int channels() const override { return 2; }
    void render_rt(float* out, unsigned long frames) override {
        RealtimeScope realtime;
        feed_.render_rt(out, frames);
    }

private:
    PhonesFeed& feed_;
};

// One PortAudio stream on one device, from Pa_Initialize to Pa_Terminate. It renders the engine only
// while armed; before that it plays silence (a new stream proving itself while the null clock still runs).
class DeviceStream {
public:
    DeviceStream(AudioEngine& engine, StreamSource& source, std::string device, double latencyMs)
        : engine_(engine), source_(source), device_(std::move(device)), latencyMs_(latencyMs) {}
    ~DeviceStream() { close(); }
    DeviceStream(const DeviceStream&) = delete;
    DeviceStream& operator=(const DeviceStream&) = delete;

    bool open(bool armed, std::string& error) {
        std::lock_guard portAudio(portAudioLock());
        armed_.store(armed, std::memory_order_release);
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
            error =
                device_.empty() ? "no default output device" : "no output device named \"" + device_ + "\"";
            return false;
        }
        const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
        channels_ = source_.channels();
        if (info != nullptr && info->maxOutputChannels < channels_) {
            error = "the device has fewer than " + std::to_string(channels_) + " outputs";
            return false;
        }
        PaStreamParameters params{};
        params.device = index;
        params.channelCount = channels_;
        params.sampleFormat = paFloat32;
        params.suggestedLatency = latencyMs_ / 1000.0;
        lastCallback_.store(nowNs(), std::memory_order_relaxed);
        rc = Pa_OpenStream(&stream_, nullptr, &params, engine_.sampleRate(),
                           callbackFrames(latencyMs_, engine_.sampleRate()), paPrimeOutputBuffersUsingStreamCallback,
                           callback, this);
        if (rc == paNoError) rc = Pa_SetStreamFinishedCallback(stream_, finished);
        if (rc == paNoError) rc = Pa_StartStream(stream_);
        if (rc != paNoError) {
            error = Pa_GetErrorText(rc);
            return false;
        }
        name_ = info != nullptr ? info->name : "?";
        raiseServerClientThreads();
        return true;
    }

    void close() {
        std::lock_guard portAudio(portAudioLock());
        StderrSilencer silence;
        if (stream_ != nullptr) {
            Pa_AbortStream(stream_);
            Pa_CloseStream(stream_);
            stream_ = nullptr;
        }
        if (initialised_) {
            Pa_Terminate();
            initialised_ = false;
        }
    }

    // Stops the callbacks while the engine rests (the device plays out what it holds, which is silence).
    bool pause() {
        std::lock_guard portAudio(portAudioLock());
        return stream_ != nullptr && Pa_StopStream(stream_) == paNoError;
    }
    // Starts them again. The first buffer is filled by the callback itself (the stream was opened to
    // prime that way), so what woke the engine sounds as soon as the device starts.
    bool resume() {
        std::lock_guard portAudio(portAudioLock());
        finished_.store(false, std::memory_order_release);
        // The callbacks come on a new thread, which asks for real-time scheduling again.
        realtime_.store(static_cast<int>(RealtimeResult::kNotTried), std::memory_order_release);
        lastCallback_.store(nowNs(), std::memory_order_relaxed);
        startGrace_.store(kStartGraceCallbacks, std::memory_order_relaxed);
        return stream_ != nullptr && Pa_StartStream(stream_) == paNoError;
    }

    void arm() {
        lastCallback_.store(nowNs(), std::memory_order_relaxed);
        armed_.store(true, std::memory_order_release);
    }

    void markFinished() { finished_.store(true, std::memory_order_release); }

    // False once the stream ended on an error or its callbacks stopped coming.
    bool alive() const {
        if (stream_ == nullptr || finished_.load(std::memory_order_acquire)) return false;
        const auto quiet = std::chrono::nanoseconds(nowNs() - lastCallback_.load(std::memory_order_relaxed));
        return quiet < kSilenceLimit;
    }
    // True once the stream has called back at least a few times (it really runs).
    bool running() const { return callbacks_.load(std::memory_order_relaxed) >= 4 && alive(); }

    const std::string& name() const { return name_; }
    // The callback thread's id once it has run.
    pid_t callbackThread() const { return tid_.load(std::memory_order_acquire); }
    std::uint64_t underflows() const { return underflows_.load(std::memory_order_relaxed); }
    RealtimeResult realtime() const {
        return static_cast<RealtimeResult>(realtime_.load(std::memory_order_acquire));
    }

private:
    PaDeviceIndex findDevice() const {
        if (device_.empty()) return Pa_GetDefaultOutputDevice();
        const int count = Pa_GetDeviceCount();
        PaDeviceIndex partial = paNoDevice;
        for (int i = 0; i < count; ++i) {
            const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
            if (info == nullptr || info->maxOutputChannels < 2) continue;
            if (info->name == device_) return i;
            if (partial == paNoDevice && lower(info->name).find(lower(device_)) != std::string::npos)
                partial = i;
        }
        return partial;
    }

    // Asks for real-time scheduling for the calling (callback) thread, once.
    void becomeRealtime_rt() {
        sched_param param{};
        param.sched_priority = kRealtimePriority;
        tid_.store(::gettid(), std::memory_order_release);
        const bool granted = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
        realtime_.store(static_cast<int>(granted ? RealtimeResult::kGranted : RealtimeResult::kRefused),
                        std::memory_order_release);
    }

    static int callback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                        PaStreamCallbackFlags flags, void* opaque) {
        auto* self = static_cast<DeviceStream*>(opaque);
        if (self->realtime_.load(std::memory_order_relaxed) == static_cast<int>(RealtimeResult::kNotTried))
            self->becomeRealtime_rt();
        self->lastCallback_.store(nowNs(), std::memory_order_relaxed);
        self->callbacks_.fetch_add(1, std::memory_order_relaxed);
        auto* out = static_cast<float*>(output);
        if (!self->armed_.load(std::memory_order_acquire)) {
            std::fill_n(out, frames * static_cast<unsigned long>(self->channels_), 0.0f);
            return paContinue;
        }
        // A stream starting again after a rest may report its empty start as an underflow: no sound was lost.
        const int grace = self->startGrace_.load(std::memory_order_relaxed);
        if (grace > 0)
            self->startGrace_.store(grace - 1, std::memory_order_relaxed);
        else if (flags & paOutputUnderflow)
            self->underflows_.fetch_add(1, std::memory_order_relaxed);
        self->source_.render_rt(out, frames);
        return paContinue;
    }

    static void finished(void* opaque) {
        static_cast<DeviceStream*>(opaque)->finished_.store(true, std::memory_order_release);
    }

    AudioEngine& engine_;
    StreamSource& source_;
    std::string device_;
    double latencyMs_;
    std::string name_;
    PaStream* stream_ = nullptr;
    int channels_ = 2;
    bool initialised_ = false;
    std::atomic<bool> armed_{false};
    std::atomic<bool> finished_{false};
    // Callbacks after a restart whose underflow flag is not counted.
    static constexpr int kStartGraceCallbacks = 4;
    std::atomic<int> startGrace_{0};
    std::atomic<std::int64_t> lastCallback_{0};
    std::atomic<std::uint64_t> callbacks_{0};
    std::atomic<std::uint64_t> underflows_{0};
    std::atomic<int> realtime_{static_cast<int>(RealtimeResult::kNotTried)};
    std::atomic<pid_t> tid_{0};
};

class PortAudioOutput final : public AudioOutput {
public:
    // With `phones`, the stream plays the headphone feed, and a loss or return touches nothing of the master.
    PortAudioOutput(AudioEngine& engine, std::string device, DeviceOptions options, PhonesFeed* phones = nullptr)
        : engine_(engine),
          phones_(phones),
          source_(phones != nullptr ? std::unique_ptr<StreamSource>(std::make_unique<PhonesSource>(*phones))
                                    : std::unique_ptr<StreamSource>(std::make_unique<EngineSource>(engine))),
          device_(std::move(device)),
          latencyMs_(options.latencyMs > 0.0 ? options.latencyMs : kDefaultLatencyMs),
          notice_(std::move(options.notice)) {}
    ~PortAudioOutput() override { stop(); }

    bool start(std::string& error) override {
        // One filter for the process: the master output's (a headphone output starts after it, stops before).
        if (phones_ == nullptr) filter_ = std::make_unique<StderrFilter>();
        auto stream = std::make_unique<DeviceStream>(engine_, *source_, device_, latencyMs_);
        if (!stream->open(true, error)) {
            stream.reset();
            filter_.reset();
            if (phones_ == nullptr) return false;
            // The headphones are tried again every second; the caller tells why they are not there yet.
            lossTold_ = true;
            stopping_ = false;
            supervisor_ = std::thread([this] { supervise(); });
            return false;
        }
        name_ = stream->name();
        stream_ = std::move(stream);
        stopping_ = false;
        if (phones_ == nullptr) {
            engine_.setWakeHandler([this] {
                {
                    std::lock_guard lock(mutex_);
                    woken_ = true;
                }
                wake_.notify_all();
            });
        }
        supervisor_ = std::thread([this] { supervise(); });
        return true;
    }

    void stop() override {
        if (phones_ == nullptr) engine_.setWakeHandler(nullptr);
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        if (supervisor_.joinable()) supervisor_.join();
        std::unique_ptr<DeviceStream> last;
        {
            std::lock_guard lock(mutex_);
            if (stream_) underflowsBefore_ += stream_->underflows();
            last = std::move(stream_);
        }
        last.reset();
        if (clock_) clock_->stop();
        clock_.reset();
        filter_.reset();
    }

    std::string describe() const override { return (phones_ != nullptr ? "headphones: " : "PortAudio: ") + name_; }
    std::uint64_t underflows() const override {
        std::lock_guard lock(mutex_);
        return underflowsBefore_ + (stream_ ? stream_->underflows() : 0);
    }

private:
    void tell(const std::string& text) {
        if (notice_)
            notice_(text);
        else
            std::fprintf(stderr, "korvex: %s\n", text.c_str());
    }

    // Returns false when asked to stop.
    bool sleepFor(Clock::duration wait) {
        std::unique_lock lock(mutex_);
        return !wake_.wait_for(lock, wait, [this] { return stopping_; });
    }

    void supervise() {
        bool realtimeTold = false;
        // Each new stream's callback thread is checked once (a stream after a loss has a new thread).
        bool checked = false;
        while (sleepFor(kWatchInterval)) {
            if (!checked && stream_ && stream_->realtime() != RealtimeResult::kNotTried) {
                checked = true;
                if (stream_->realtime() == RealtimeResult::kRefused && !realtimeThroughKit(*stream_) &&
                    !realtimeTold) {
                    realtimeTold = true;
                    tell(
                        "the sound runs at normal priority (real-time scheduling was refused); a busy "
                        "machine "
                        "may interrupt it");
                }
            }
            if (stream_ && stream_->alive()) {
                if (phones_ != nullptr || !engine_.mayRest(kRestAfterSeconds)) continue;
                if (!rest()) return;
                checked = false;
                if (stream_->alive()) continue;
            }
            loseDevice();
            while (sleepFor(kRetryInterval)) {
                if (tryDevice()) {
                    checked = false;
                    break;
                }
            }
        }
    }

    // The engine has nothing to sound: the stream stops until a command, a sampler voice or a tap wakes
    // the engine (its wake handler), then starts again. False when asked to stop meanwhile.
    bool rest() {
        {
            std::lock_guard lock(mutex_);
            woken_ = false;
        }
        // Work that came in before the flag was cleared has cleared the engine's quiet run too.
        if (!engine_.mayRest(kRestAfterSeconds) || !stream_->pause()) return true;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || woken_; });
            if (stopping_) return false;
        }
        // A stream that cannot start again counts as lost: the caller opens the device afresh.
        if (!stream_->resume()) stream_->markFinished();
        return true;
    }

    // Where the process may not raise its own threads, RealtimeKit may (a desktop user's session).
    static bool realtimeThroughKit(const DeviceStream& stream) {
        std::string why;
        if (!os::makeThreadRealtimeThroughKit(stream.callbackThread(), kRealtimePriority, why)) return false;
        for (pid_t tid : serverClientThreads())
            (void)os::makeThreadRealtimeThroughKit(tid, kRealtimePriority, why);
        return true;
    }

    // The stream broke: the engine goes on at real time, silently.
    void loseDevice() {
        std::unique_ptr<DeviceStream> broken;
        {
            std::lock_guard lock(mutex_);
            if (stream_) underflowsBefore_ += stream_->underflows();
            broken = std::move(stream_);
        }
        if (phones_ != nullptr) {
            // The master plays on; the feed overflows quietly until a new stream starts it afresh.
            broken.reset();
            if (!lossTold_) {
                lossTold_ = true;
                tell("the headphone device was lost; trying it again every second");
            }
            return;
        }
        std::string error;
        clock_ = makeNullOutput(engine_);
        // The broken stream renders no more once closed; only then may the clock render.
        broken.reset();
        clock_->start(error);
        engine_.setOutputLost(true);
        if (!lossTold_) {
            lossTold_ = true;
            tell("the sound device was lost; playing on silently and trying it again every second");
        }
    }

    // Opens the device again; true once its stream runs and has taken over from the clock.
    bool tryDevice() {
        auto stream = std::make_unique<DeviceStream>(engine_, *source_, device_, latencyMs_);
        std::string error;
        if (!stream->open(false, error)) return false;
        for (int i = 0; i < 50 && !stream->running(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!stream->running()) return false;
        if (phones_ != nullptr) {
            phones_->restart();
            stream->arm();
            {
                std::lock_guard lock(mutex_);
                stream_ = std::move(stream);
            }
            tell("the headphone device is back");
            return true;
        }
        clock_->stop();
        clock_.reset();
        engine_.fadeIn();
        stream->arm();
        {
            std::lock_guard lock(mutex_);
            stream_ = std::move(stream);
        }
        engine_.setOutputLost(false);
        tell("the sound device is back");
        return true;
    }

    AudioEngine& engine_;
    PhonesFeed* phones_;
    std::unique_ptr<StreamSource> source_;
    std::string device_;
    double latencyMs_;
    std::function<void(const std::string&)> notice_;
    std::string name_;
    std::unique_ptr<StderrFilter> filter_;
    std::unique_ptr<DeviceStream> stream_;
    std::unique_ptr<AudioOutput> clock_;
    std::thread supervisor_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    // Set by the engine's wake handler; cleared when the stream goes to rest.
    bool woken_ = false;
    bool lossTold_ = false;
    std::uint64_t underflowsBefore_ = 0;
};

}  // namespace

std::unique_ptr<AudioOutput> makePortAudioOutput(AudioEngine& engine, std::string deviceName,
                                                 DeviceOptions options) {
    return std::make_unique<PortAudioOutput>(engine, std::move(deviceName), std::move(options));
}

std::unique_ptr<AudioOutput> makePhonesDeviceOutput(AudioEngine& engine, PhonesFeed& feed, std::string deviceName,
                                                    DeviceOptions options) {
    return std::make_unique<PortAudioOutput>(engine, std::move(deviceName), std::move(options), &feed);
}

}  // namespace korvex::audio
