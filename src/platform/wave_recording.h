#pragma once
// One recording to a WAVE file that survives a crash: a temporary file, written while recording, whose
// header is brought up to date every time data is written (several times a second) and whose data reaches
// the disk at least once a second; saving closes it and moves it into place in one rename.
//
// Threads: the owner (the recorder's command interpreter, on the user-interface thread) calls every public
// method. While recording, a writer thread drains the capture ring every few milliseconds, converts the
// frames and writes them; the audio thread only fills the ring. The writer never blocks the audio thread:
// a slow disk shows as lost frames (counted), a full disk ends the writing and keeps what was written.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/capture.h"

typedef struct sf_private_tag SNDFILE;

namespace korvex::audio {

struct WaveFormat {
    int rate = 11025;
    int channels = 1;
    int bits = 8;
};

class WaveRecording {
public:
    // The temporary file is created on the first start() in `folder`, named after `stem` (a file name
    // without its folder and extension) followed by ".recording-XXXXXX.wav". The ring between the source and
    // the writer holds `ringFrames` frames (about six seconds at 44.1 kHz by default).
    WaveRecording(std::string folder, std::string stem, std::size_t ringFrames = std::size_t{1} << 18);
    // Stops and deletes the temporary file, unless it was saved or a save of it failed (then it stays where
    // it is, so no recording is ever lost).
    ~WaveRecording();
    WaveRecording(const WaveRecording&) = delete;
    WaveRecording& operator=(const WaveRecording&) = delete;

    // The format of the file; only before the first start().
    void setFormat(const WaveFormat& format) { format_ = format; }
    const WaveFormat& format() const { return format_; }
    bool started() const { return file_ != nullptr; }

    // Starts (or, after stop(), resumes) recording `source`, which must outlive the recording; its frames are
    // appended to the file. Otherwise the reason is in `error`: the file cannot be made, or the source does
    // not start (or the recording is finished).
    enum class StartResult { kStarted, kNoFile, kNoSource };
    StartResult start(std::unique_ptr<CaptureSource> source, std::string& error);
    // Stops the source and writes out everything it delivered; the header is then up to date.
    void stop();
    bool recording() const { return writer_.joinable(); }

    enum class SaveResult { kSaved, kNoFolder, kWriteFailed, kIncomplete };
    // Finishes the file and moves it to `path` (replacing a file there). kIncomplete: saved, but the disk
    // filled while recording or frames were lost, so the file holds less than was played (`error` says
    // what). Afterwards nothing more can be recorded into this recording; after a failed save, only another
    // save.
    SaveResult save(const std::string& path, std::string& error);
    bool saved() const { return saved_; }
    // Leaves the temporary file in place when the recording is destroyed unsaved.
    void keep() { kept_ = true; }
    // The system's error number of the last file operation that failed in start() or save() (0 when none
    // did, or the failure was not the system's), so a caller can tell a missing folder from a read-only one
    // or a full disk.
    int errorNumber() const { return errorNumber_; }

    // The temporary file (empty before the first start and after a save).
    const std::string& tempPath() const { return tempPath_; }
    // Frames the file's header counts (the last update; any thread).
    std::uint64_t framesInHeader() const { return headerFrames_.load(std::memory_order_acquire); }
    // Frames dropped because the writer fell behind (any thread).
    std::uint64_t lostFrames() const;
    // The capture device is lost now: silence stands in for it until it is back.
    bool inputLost() const { return source_ && source_->lost(); }
    // Seconds of silence that stood in for a lost capture device, in this recording so far.
    double gapSeconds() const;
    // The disk filled (or the file reached the WAVE size limit); writing stopped there.
    bool full() const { return full_.load(std::memory_order_acquire); }

private:
    bool openFile(std::string& error);
    void run();
    // Drains the ring into the file; `last` flushes the converter too.
    void drain(bool last);
    void writeSamples();
    void closeFile();

    std::string folder_;
    std::string stem_;
    WaveFormat format_;
    std::string tempPath_;
    SNDFILE* file_ = nullptr;
    int fd_ = -1;
    bool saved_ = false;
    bool kept_ = false;
    int errorNumber_ = 0;
    std::size_t ringFrames_;
    std::unique_ptr<CaptureRing> ring_;
    std::unique_ptr<CaptureSource> source_;
    std::uint64_t lostBefore_ = 0;
    double gapBefore_ = 0.0;
    struct Writer;
    std::unique_ptr<Writer> state_;
    std::thread writer_;
    std::mutex wakeLock_;
    std::condition_variable wake_;
    bool running_ = false;
    std::atomic<std::uint64_t> headerFrames_{0};
    std::atomic<bool> full_{false};
};

}  // namespace korvex::audio
