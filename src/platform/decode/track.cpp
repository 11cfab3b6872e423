#include "platform/decode/track.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <new>
#include <system_error>

#include "platform/audio/realtime.h"
#include "platform/decode/decoder.h"

namespace korvex::decode {

namespace {

// Decoded before open() returns, so a deck can start at once (0.1 s).
constexpr double kPrimeSeconds = 0.1;

bool looksLikeMidi(const std::string& path) {
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos) return false;
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == "mid" || ext == "midi" || ext == "rmi" || ext == "smf";
}

// Keeps the wanted blocks of `audio` in memory until the track is replaced: decodes on from where the
// decoder is while that is wanted, jumps (exactly) where it is not.
void fillCache(DecodedAudio& audio, Decoder& decoder) {
    // With nothing to do the worker sleeps (DecodedAudio::idleWait). A jump, a new cue or selection and a new
    // track wake it at once; what it cannot hear is the play head moving on, so it sleeps no longer than
    // the window decoded ahead of the head lasts at the fastest search.
    const auto blockFrames = static_cast<std::int64_t>(DecodedAudio::kBlockFrames);
    bool ended = audio.complete();
    while (!audio.cancelRequested()) {
        // The index's length replaces the container's guess (a VBR file without a table of contents).
        if (const std::int64_t indexed = decoder.indexedFrames(); indexed > 0)
            audio.setExpectedFrames(static_cast<std::size_t>(indexed));
        std::int64_t block = audio.nextWantedBlock();
        if (block < 0 && !audio.complete()) {
            // Nothing else wanted: decode the end, so the exact length is known.
            const std::int64_t length = decoder.indexedFrames();
            if (length > 0)
                block = std::min((length - 1) / blockFrames, static_cast<std::int64_t>(audio.endBlock()) - 1);
        }
        if (block < 0) {
            if (!decoder.workAhead()) audio.waitForWork(audio.idleWait());
            continue;
        }
        const std::int64_t from = block * blockFrames + static_cast<std::int64_t>(audio.blockFill(static_cast<std::size_t>(block)));
        if (ended || audio.writeFrame() != from) {
            const Decoder::Seek result = decoder.seekTo(from, audio);
            if (result == Decoder::Seek::Cancelled) continue;
            if (result == Decoder::Seek::PastEnd) {
                // Nothing at `from`: when the frame before it is there, the song ends exactly here.
                if (from > 0 && audio.resident_rt(from - 1, from - 1))
                    audio.finish(decoder.failed());
                else
                    audio.markEndBefore(static_cast<std::size_t>(block));
                ended = true;
                continue;
            }
            ended = false;
        }
        if (!decoder.decodeSome(audio) && !ended) {
            ended = true;
            audio.finish(decoder.failed() || audio.writeFrame() == 0);
        }
    }
}

}  // namespace

bool checkOrdinaryFile(const std::string& path, Refusal& error) {
    // Checked on the opened file, opened without waiting: a pipe or a device would block FFmpeg's open, or
    // never end, and one put in place of the file after a check by name would still be met.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = fileProblem(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        error = fileProblem(errno);
    else if (S_ISDIR(info.st_mode))
        error = fileProblem(EISDIR);
    else if (!S_ISREG(info.st_mode))
        error = {Refusal::Reason::NotOrdinary};
    else if (info.st_size == 0)
        error = {Refusal::Reason::Empty};
    ::close(fd);
    return !error;
}

std::unique_ptr<Decoder> openDecoder(const std::string& path, int midiRate, TrackInfo& info, Refusal& error) {
    if (!checkOrdinaryFile(path, error)) return nullptr;
    if (looksLikeMidi(path)) return openMidiDecoder(path, midiRate, info, error);
    return openFfmpegDecoder(path, info, error);
}

Track::Track(std::shared_ptr<DecodedAudio> audio, double probedDuration)
    : audio_(std::move(audio)),
      // A deck holds at most kMaxFrames of a song: a longer one is that long wherever its length is read.
      probedDuration_(std::min(probedDuration,
                               static_cast<double>(DecodedAudio::kMaxFrames) / audio_->sampleRate())) {}

Track::~Track() {
    audio_->requestCancel();
    if (worker_.joinable()) worker_.join();
}

double Track::duration() const {
    if (audio_->complete()) return static_cast<double>(audio_->availableFrames()) / audio_->sampleRate();
    return probedDuration_;
}

std::unique_ptr<Track> Track::open(const std::string& path, int midiRate, Refusal& error) {
    // No file, however built, may end the program: running out of memory on a crafted file is a refusal.
    try {
        return openTrack(path, midiRate, error);
    } catch (const std::bad_alloc&) {
        error = {Refusal::Reason::NoMemory};
        return nullptr;
    }
}

std::unique_ptr<Track> Track::openTrack(const std::string& path, int midiRate, Refusal& error) {
    audio::assertNotRealtime();
    if (path.empty()) {
        error = {Refusal::Reason::NoFileName};
        return nullptr;
    }
    TrackInfo info;
    std::unique_ptr<Decoder> decoder = openDecoder(path, midiRate, info, error);
    if (!decoder) return nullptr;
    auto audio = std::make_shared<DecodedAudio>(info.sampleRate);
    audio->setExpectedFrames(static_cast<std::size_t>(std::max(0.0, info.duration) * info.sampleRate));
    // A decoder that cannot jump decodes the song once, whole.
    if (!decoder->canSeek()) audio->keepEverything();
    if (decoder->primeBeforeReturn()) {
        const auto wanted = static_cast<std::size_t>(kPrimeSeconds * info.sampleRate);
        bool more = true;
        while (more && audio->availableFrames() < wanted) more = decoder->decodeSome(*audio);
        if (audio->availableFrames() == 0) {
            error = {Refusal::Reason::NoAudio};
            return nullptr;
        }
        if (!more) audio->finish(decoder->failed());
    }
    std::unique_ptr<Track> track(new Track(audio, info.duration));
    if (!audio->complete() || decoder->canSeek()) {
        // The worker owns the decoder; it stops when the track is replaced. It runs below the interface
        // and the sound, so a busy machine takes its time from decoding first.
        auto work = [audio, dec = std::move(decoder)]() mutable {
            audio::lowerDecoderPriority();
            bool failed = false;
            try {
                if (dec->canSeek())
                    fillCache(*audio, *dec);
                else
                    while (!audio->cancelRequested() && dec->decodeSome(*audio)) {
                    }
                failed = dec->failed();
            } catch (const std::bad_alloc&) {
                failed = true;  // the track ends where memory ran out
            }
            const bool emptyMidi = audio->availableFrames() == 0;
            audio->finish(failed || emptyMidi);
            dec.reset();
        };
        try {
            track->worker_ = std::thread(std::move(work));
        } catch (const std::system_error&) {
            error = {Refusal::Reason::NoThreads};
            return nullptr;
        }
    }
    return track;
}

}  // namespace korvex::decode
