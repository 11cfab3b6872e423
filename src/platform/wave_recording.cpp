#include "platform/wave_recording.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/audio/realtime.h"
#include "platform/dsp/format_converter.h"

namespace korvex::audio {

namespace {

// How often the writer drains the ring; the ring holds several seconds, so this leaves a wide margin.
constexpr auto kDrainPeriod = std::chrono::milliseconds(40);
// How often written data is forced to the disk.
constexpr auto kSyncPeriod = std::chrono::seconds(1);
// Frames moved from the ring per step.
constexpr std::size_t kChunkFrames = 4096;
// A RIFF file counts its size in 32 bits; the recording stops a little short of that.
constexpr std::uint64_t kMaxDataBytes = 0xFFFFFFFFull - (1u << 16);

// Copies `from` to `to` (created or replaced) and forces it to the disk.
bool copyFile(const std::string& from, const std::string& to, std::string& error) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = in >= 0 && out >= 0;
    std::vector<char> buffer(1 << 16);
    while (ok) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        for (ssize_t done = 0; ok && done < n;) {
            const ssize_t w = ::write(out, buffer.data() + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            ok = w > 0;
            if (ok) done += w;
        }
    }
    if (ok) ok = ::fsync(out) == 0;
    if (!ok) error = std::strerror(errno);
    if (in >= 0) ::close(in);
    if (out >= 0) ::close(out);
    return ok;
}

// Forces a closed file's contents to the disk.
void syncFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

// What only the writer thread touches while it runs.
struct WaveRecording::Writer {
    std::unique_ptr<dsp::FormatConverter> converter;
    std::vector<float> frames = std::vector<float>(kChunkFrames * 2);
    std::vector<std::int16_t> samples;
    std::uint64_t dataBytes = 0;
    std::uint64_t framesWritten = 0;
    std::chrono::steady_clock::time_point lastSync = std::chrono::steady_clock::now();
};

WaveRecording::WaveRecording(std::string folder, std::string stem, std::size_t ringFrames)
    : folder_(std::move(folder)),
      stem_(std::move(stem)),
      ringFrames_(ringFrames),
      state_(std::make_unique<Writer>()) {}

WaveRecording::~WaveRecording() {
    stop();
    closeFile();
    if (!saved_ && !kept_ && !tempPath_.empty()) std::remove(tempPath_.c_str());
}

std::uint64_t WaveRecording::lostFrames() const {
    return lostBefore_ + (ring_ ? ring_->lostFrames() : 0);
}

double WaveRecording::gapSeconds() const {
    if (!source_ || source_->sampleRate() <= 0) return gapBefore_;
    return gapBefore_ + static_cast<double>(source_->gapFrames()) / source_->sampleRate();
}

bool WaveRecording::openFile(std::string& error) {
    std::string pattern = (folder_.empty() ? std::string(".") : folder_) + "/" +
                          (stem_.empty() ? std::string("korvex") : stem_) + ".recording-XXXXXX.wav";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemps(name.data(), 4);
    if (fd < 0) {
        errorNumber_ = errno;
        error = std::strerror(errorNumber_);
        return false;
    }
    ::fchmod(fd, 0644);
    SF_INFO info{};
    info.samplerate = format_.rate;
    info.channels = format_.channels;
    info.format = SF_FORMAT_WAV | (format_.bits == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
    errno = 0;
    file_ = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
    if (file_ == nullptr) {
        // The header could not be written: as a rule the disk is full.
        errorNumber_ = errno != 0 ? errno : ENOSPC;
        error = sf_strerror(nullptr);
        ::close(fd);
        std::remove(name.data());
        return false;
    }
    fd_ = fd;
    tempPath_ = name.data();
    sf_command(file_, SFC_UPDATE_HEADER_NOW, nullptr, 0);
    return true;
}

WaveRecording::StartResult WaveRecording::start(std::unique_ptr<CaptureSource> source, std::string& error) {
    assertNotRealtime();
    errorNumber_ = 0;
    if (saved_ || kept_ || source == nullptr) {
        error = "nothing more can be recorded";
        return StartResult::kNoSource;
    }
    if (recording()) return StartResult::kStarted;
    if (file_ == nullptr && !openFile(error)) return StartResult::kNoFile;
    if (ring_) lostBefore_ += ring_->lostFrames();
    ring_ = std::make_unique<CaptureRing>(ringFrames_);
    state_->converter = std::make_unique<dsp::FormatConverter>(source->sampleRate(), format_.rate,
                                                               format_.channels, format_.bits);
    state_->samples.reserve(kChunkFrames * 2 * 9);
    if (!source->start(*ring_, error)) return StartResult::kNoSource;
    source_ = std::move(source);
    running_ = true;
    writer_ = std::thread([this] { run(); });
    return StartResult::kStarted;
}

void WaveRecording::stop() {
    if (!recording()) return;
    source_->stop();
    gapBefore_ = gapSeconds();
    source_.reset();
    {
        std::lock_guard<std::mutex> lock(wakeLock_);
        running_ = false;
    }
    wake_.notify_all();
    writer_.join();
}

void WaveRecording::run() {
    // The last pass runs after the stop, however early that came.
    for (bool last = false; !last;) {
        {
            std::unique_lock<std::mutex> lock(wakeLock_);
            wake_.wait_for(lock, kDrainPeriod, [this] { return !running_; });
            last = !running_;
        }
        drain(last);
    }
}

void WaveRecording::drain(bool last) {
    Writer& w = *state_;
    while (std::size_t n = ring_->read(w.frames.data(), kChunkFrames)) {
        w.converter->push(w.frames.data(), n, w.samples);
        if (w.samples.size() >= kChunkFrames * 2) writeSamples();
    }
    if (last) w.converter->flush(w.samples);
    writeSamples();
    if (file_ != nullptr) {
        sf_command(file_, SFC_UPDATE_HEADER_NOW, nullptr, 0);
        headerFrames_.store(w.framesWritten, std::memory_order_release);
        const auto now = std::chrono::steady_clock::now();
        if (last || now - w.lastSync >= kSyncPeriod) {
            ::fdatasync(fd_);
            w.lastSync = now;
        }
    }
}

void WaveRecording::writeSamples() {
    Writer& w = *state_;
    if (w.samples.empty()) return;
    if (!full()) {
        const std::uint64_t bytesPerSample = format_.bits == 8 ? 1 : 2;
        auto count = static_cast<std::uint64_t>(w.samples.size());
        count -= count % static_cast<std::uint64_t>(format_.channels);
        if (w.dataBytes + count * bytesPerSample > kMaxDataBytes) {
            count = (kMaxDataBytes - w.dataBytes) / bytesPerSample;
            count -= count % static_cast<std::uint64_t>(format_.channels);
            full_.store(true, std::memory_order_release);
        }
        const auto written = static_cast<std::uint64_t>(
            sf_write_short(file_, w.samples.data(), static_cast<sf_count_t>(count)));
        w.dataBytes += written * bytesPerSample;
        w.framesWritten += written / static_cast<std::uint64_t>(format_.channels);
        // A short write means the disk is full: what is in the file stays, nothing more is written.
        if (written < count) full_.store(true, std::memory_order_release);
    }
    w.samples.clear();
}

void WaveRecording::closeFile() {
    if (file_ == nullptr) return;
    sf_close(file_);
    file_ = nullptr;
    fd_ = -1;
}

WaveRecording::SaveResult WaveRecording::save(const std::string& path, std::string& error) {
    assertNotRealtime();
    errorNumber_ = 0;
    if (saved_) {
        error = "the recording was saved already";
        return SaveResult::kWriteFailed;
    }
    stop();
    if (file_ == nullptr && tempPath_.empty() && !openFile(error))
        return errorNumber_ == ENOENT || errorNumber_ == ENOTDIR ? SaveResult::kNoFolder
                                                                  : SaveResult::kWriteFailed;
    closeFile();
    syncFile(tempPath_);
    if (::rename(tempPath_.c_str(), path.c_str()) != 0) {
        const int why = errno;
        errorNumber_ = why;
        if (why != EXDEV) {
            error = std::strerror(why);
            // The recording stays in its temporary file; a later save or close decides.
            kept_ = true;
            return why == ENOENT || why == ENOTDIR ? SaveResult::kNoFolder : SaveResult::kWriteFailed;
        }
        // Another file system: copy beside the destination, then rename there.
        const std::string beside = path + ".saving";
        if (!copyFile(tempPath_, beside, error) || ::rename(beside.c_str(), path.c_str()) != 0) {
            errorNumber_ = errno;
            if (error.empty()) error = std::strerror(errno);
            std::remove(beside.c_str());
            kept_ = true;
            return SaveResult::kWriteFailed;
        }
        std::remove(tempPath_.c_str());
    }
    saved_ = true;
    tempPath_.clear();
    if (full()) {
        error = "the disk was full: the recording ends early";
        return SaveResult::kIncomplete;
    }
    if (lostFrames() > 0) {
        error = std::to_string(lostFrames()) + " frames were lost because the disk was too slow";
        return SaveResult::kIncomplete;
    }
    return SaveResult::kSaved;
}

}  // namespace korvex::audio
