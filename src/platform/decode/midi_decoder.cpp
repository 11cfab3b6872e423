// MIDI (.mid) tracks: the file is parsed at once for its length, then rendered by FluidSynth with the
// system's General MIDI soundfont on the track's worker thread, as fast as the synthesiser goes.
//
// A song ends at its end-of-track marker plus a release tail, but no later than a few seconds after its
// last sound (the last note or controller change): a file whose marker lies hours after its music would
// otherwise be rendered, and kept in memory, in full. Rendering also ends after a minute in which
// nothing sounds (a long pause before a far-away note).
//
// The synthesiser cannot start in the middle of a song and sound as it would have there (notes held from
// before, reverb tails). A song longer than the deck's cache is therefore rendered once, straight through,
// into an unlinked scratch file on disk (10 MB a minute), in the background while the deck is idle; a jump
// reads the rendered samples back, exactly those of a straight render. A jump past what has been rendered
// waits for the render to reach it. Should the scratch file fail (a full disk), a jump behind the
// synthesiser renders again from the start, which is slower but gives the same samples.
//
// The synthesiser renders floating-point samples; a look-ahead peak limiter turns down what would go past
// full scale, smoothly and ahead of the peak, before the samples become 16-bit, so no song clips.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <map>
#include <vector>

#include <sys/types.h>

#include <fluidsynth.h>

#include "platform/decode/decoder.h"
#include "platform/dsp/peak_limiter.h"

namespace korvex::decode {

namespace {

constexpr int kChunkFrames = 4096;
// Release time rendered after the end-of-track marker so held notes fade naturally.
constexpr double kTailSeconds = 1.0;
// The most that is rendered after the last sound, whatever the end-of-track marker says.
constexpr double kSoundTailSeconds = 4.0;
// Rendering stops once nothing has sounded for this long.
constexpr double kSilentSeconds = 60.0;
// The synthesiser's level: General MIDI songs come out, on average, as loud as the MP3 files the player is
// measured with (bench/midi_loudness.sh), and only the hottest songs have peaks for the limiter to catch.
// At 0.6 most songs of a set went past full scale.
constexpr double kSynthGain = 0.15;
// Larger files are not MIDI songs (the largest orchestral files are a few hundred kilobytes).
constexpr off_t kMaxFileBytes = off_t{16} << 20;

// Reads a Standard MIDI File far enough to know it is one and how long it plays.
class MidiLength {
public:
    bool parse(const std::vector<std::uint8_t>& data, Refusal& error) {
        data_ = &data;
        pos_ = 0;
        if (!expect("MThd") || read32() < 6) return fail(error, Refusal::Reason::NotMidi);
        read16();  // format
        const unsigned tracks = read16();
        const std::uint16_t division = read16();
        if (ok_ && division == 0) return fail(error, Refusal::Reason::DamagedMidi);
        pos_ = 8 + (static_cast<std::size_t>(data[4]) << 24 | static_cast<std::size_t>(data[5]) << 16 |
                    static_cast<std::size_t>(data[6]) << 8 | data[7]);
        std::uint64_t lastTick = 0;
        for (unsigned t = 0; t < tracks && ok_; ++t) {
            if (pos_ + 8 > data.size()) break;  // fewer tracks than announced: play what is there
            if (!expect("MTrk")) return fail(error, Refusal::Reason::DamagedMidi);
            const std::size_t length = read32();
            const std::size_t end = std::min(data.size(), pos_ + length);
            lastTick = std::max(lastTick, scanTrack(end));
            pos_ = end;
        }
        if (!ok_) return fail(error, Refusal::Reason::DamagedMidi);
        seconds_ = std::min(ticksToSeconds(lastTick, division) + kTailSeconds,
                            ticksToSeconds(lastSound_, division) + kSoundTailSeconds);
        return true;
    }

    // How long the song plays, release tail included.
    double seconds() const { return seconds_; }

private:
    // Reads one track and returns its last tick; lastSound_ becomes the latest tick of a channel event.
    std::uint64_t scanTrack(std::size_t end) {
        std::uint64_t tick = 0;
        std::uint8_t status = 0;
        while (pos_ < end && ok_) {
            tick += readVarLen(end);
            std::uint8_t byte = at(pos_);
            if (byte & 0x80) {
                status = byte;
                ++pos_;
            } else if (status == 0) {
                ok_ = false;
                break;
            }
            if (status == 0xFF) {
                const std::uint8_t type = at(pos_++);
                const std::size_t length = readVarLen(end);
                if (type == 0x51 && length == 3)
                    tempos_[tick] = (static_cast<std::uint32_t>(at(pos_)) << 16) |
                                    (static_cast<std::uint32_t>(at(pos_ + 1)) << 8) | at(pos_ + 2);
                pos_ += length;
                if (type == 0x2F) break;
                status = 0;
            } else if (status == 0xF0 || status == 0xF7) {
                pos_ += readVarLen(end);
                status = 0;
            } else {
                const std::uint8_t kind = status & 0xF0;
                pos_ += (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
                if (pos_ <= end) lastSound_ = std::max(lastSound_, tick);
            }
        }
        return tick;
    }

    double ticksToSeconds(std::uint64_t ticks, std::uint16_t division) const {
        if (division & 0x8000) {
            const int fps = -static_cast<std::int8_t>(division >> 8);
            const int perFrame = division & 0xFF;
            return fps > 0 && perFrame > 0 ? static_cast<double>(ticks) / (fps * perFrame) : 0.0;
        }
        double seconds = 0.0;
        std::uint64_t lastTick = 0;
        double microsPerBeat = 500000.0;
        for (const auto& [tick, tempo] : tempos_) {
            if (tick >= ticks) break;
            seconds += static_cast<double>(tick - lastTick) * microsPerBeat / 1e6 / division;
            lastTick = tick;
            microsPerBeat = tempo;
        }
        return seconds + static_cast<double>(ticks - lastTick) * microsPerBeat / 1e6 / division;
    }

    std::uint8_t at(std::size_t i) {
        if (i >= data_->size()) {
            ok_ = false;
            return 0;
        }
        return (*data_)[i];
    }
    bool expect(const char* tag) {
        for (int i = 0; i < 4; ++i)
            if (at(pos_ + static_cast<std::size_t>(i)) != static_cast<std::uint8_t>(tag[i])) return false;
        pos_ += 4;
        return ok_;
    }
    std::uint32_t read32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = (v << 8) | at(pos_++);
        return v;
    }
    std::uint16_t read16() {
        const auto v = static_cast<std::uint16_t>((at(pos_) << 8) | at(pos_ + 1));
        pos_ += 2;
        return v;
    }
    std::size_t readVarLen(std::size_t end) {
        std::size_t v = 0;
        for (int i = 0; i < 4 && pos_ < end; ++i) {
            const std::uint8_t b = at(pos_++);
            v = (v << 7) | (b & 0x7F);
            if (!(b & 0x80)) return v;
        }
        return v;
    }
    bool fail(Refusal& error, Refusal::Reason why) {
        error = {why};
        return false;
    }

    const std::vector<std::uint8_t>* data_ = nullptr;
    std::size_t pos_ = 0;
    bool ok_ = true;
    double seconds_ = 0.0;
    std::uint64_t lastSound_ = 0;
    std::map<std::uint64_t, std::uint32_t> tempos_;
};

void silentLog(int, const char*, void*) {}

// The limiter's float output as 16-bit samples, rounded; anything out of range is held to it.
void toPcm16(const float* in, std::int16_t* out, std::size_t samples) {
    for (std::size_t i = 0; i < samples; ++i) {
        const float v = in[i] * 32768.0f;
        out[i] = v >= 32767.0f    ? std::int16_t{32767}
                 : v <= -32768.0f ? std::int16_t{-32768}
                 : v == v         ? static_cast<std::int16_t>(std::lround(v))
                                  : std::int16_t{0};
    }
}

// An unlinked scratch file for rendered samples, in $TMPDIR, /var/tmp (on disk where /tmp is in memory)
// or /tmp; -1 when none can be made.
int openScratchFile() {
    std::vector<std::string> dirs;
    if (const char* tmp = std::getenv("TMPDIR"); tmp != nullptr && *tmp != '\0') dirs.emplace_back(tmp);
    dirs.emplace_back("/var/tmp");
    dirs.emplace_back("/tmp");
    for (const std::string& dir : dirs) {
        int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd >= 0) return fd;
        std::string name = dir + "/korvex-midi-XXXXXX";
        fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd >= 0) {
            ::unlink(name.c_str());
            return fd;
        }
    }
    return -1;
}

class MidiDecoder final : public Decoder {
public:
    // `scratch` (owned) holds rendered samples for jumps; -1 renders once, straight into the deck.
    MidiDecoder(std::vector<std::uint8_t> file, std::string soundfont, int rate, double seconds, int scratch)
        : file_(std::move(file)),
          soundfont_(std::move(soundfont)),
          rate_(rate),
          seconds_(seconds),
          scratch_(scratch),
          limiter_(rate) {}

    ~MidiDecoder() override {
        stopSynth();
        if (settings_ != nullptr) delete_fluid_settings(settings_);
        if (scratch_ >= 0) ::close(scratch_);
    }

    bool primeBeforeReturn() const override { return false; }
    bool canSeek() const override { return scratch_ >= 0; }
    std::int64_t indexedFrames() const override { return end_ > 0 ? end_ : 0; }

    bool decodeSome(DecodedAudio& out) override {
        const std::int64_t at = out.writeFrame();
        if (at < spilled_) {
            // Rendered before: read back.
            const auto n = static_cast<std::size_t>(std::min<std::int64_t>(kChunkFrames, spilled_ - at));
            std::int16_t buffer[kChunkFrames * 2];
            if (!readScratch(at, n, buffer)) return renderAndAppend(out);
            return out.append(buffer, n);
        }
        return renderAndAppend(out);
    }

    Seek seekTo(std::int64_t frame, DecodedAudio& out) override {
        if (frame >= spilled_) {
            // Not rendered yet (or not kept): the synthesiser goes there.
            if (!moveSynthTo(frame, out)) return out.cancelRequested() ? Seek::Cancelled : Seek::PastEnd;
        }
        out.setWriteFrame(frame);
        return Seek::Done;
    }

    bool workAhead() override {
        if (scratch_ < 0 || end_ >= 0 || scratchBroken_ || synthAt_ != spilled_) return false;
        std::int16_t buffer[kChunkFrames * 2];
        return render(buffer, kChunkFrames) > 0;
    }

    bool failed() const override { return failed_; }

private:
    // Renders the next frames at the deck's write position and appends them. False at the end.
    bool renderAndAppend(DecodedAudio& out) {
        const std::int64_t at = out.writeFrame();
        if (synthAt_ != at && !moveSynthTo(at, out)) return false;
        std::int16_t buffer[kChunkFrames * 2];
        const std::size_t n = render(buffer, kChunkFrames);
        return n > 0 && out.append(buffer, n);
    }

    // Brings the synthesiser to `frame`, rendering (and keeping in the scratch file) on the way; from the
    // start again when it is past it. False when the song ends first, or on cancel.
    bool moveSynthTo(std::int64_t frame, const DecodedAudio& out) {
        if (synthAt_ > frame) stopSynth();
        std::int16_t buffer[kChunkFrames * 2];
        while (synthAt_ < frame) {
            if (out.cancelRequested()) return false;
            if (render(buffer, static_cast<std::size_t>(std::min<std::int64_t>(kChunkFrames, frame - synthAt_))) == 0)
                return false;
        }
        return end_ < 0 || frame < end_;
    }

    // Renders up to `wanted` frames into `buffer` and keeps them in the scratch file; 0 once the song has
    // ended (or the synthesiser could not start).
    std::size_t render(std::int16_t* buffer, std::size_t wanted) {
        if (end_ >= 0 && synthAt_ >= end_) return 0;
        if (synth_ == nullptr && !startSynth()) {
            failed_ = true;
            end_ = synthAt_;
            return 0;
        }
        // The file's own length decides the end, not the player's idea of it.
        const auto total = static_cast<std::int64_t>(seconds_ * rate_);
        const auto n = static_cast<int>(std::min<std::int64_t>(static_cast<std::int64_t>(wanted), total - synthAt_));
        if (n <= 0) {
            end_ = synthAt_;
            return 0;
        }
        synthesise(buffer, n);
        if (scratch_ >= 0 && !scratchBroken_ && synthAt_ == spilled_) {
            if (writeScratch(synthAt_, buffer, static_cast<std::size_t>(n)))
                spilled_ += n;
            else
                scratchBroken_ = true;  // from here on, jumps behind the synthesiser render again
        }
        synthAt_ += n;
        silent_ = fluid_synth_get_active_voice_count(synth_) == 0 ? silent_ + n : 0;
        if (silent_ > static_cast<std::int64_t>(kSilentSeconds * rate_)) end_ = synthAt_;
        return static_cast<std::size_t>(n);
    }

    // The synthesiser's next `frames` frames through the limiter, as 16-bit samples.
    void synthesise(std::int16_t* buffer, int frames) {
        float mixed[kChunkFrames * 2];
        fluid_synth_write_float(synth_, frames, mixed, 0, 2, mixed, 1, 2);
        limiter_.process(mixed, mixed, static_cast<std::size_t>(frames));
        toPcm16(mixed, buffer, static_cast<std::size_t>(frames) * 2);
    }

    bool writeScratch(std::int64_t frame, const std::int16_t* buffer, std::size_t frames) {
        return scratchIo(frame, reinterpret_cast<const char*>(buffer), frames, ::pwrite);
    }
    bool readScratch(std::int64_t frame, std::size_t frames, std::int16_t* buffer) const {
        return scratchIo(frame, reinterpret_cast<char*>(buffer), frames, ::pread);
    }
    // Moves `frames` stereo frames between `bytes` and the scratch file at `frame` with `io` (pread or
    // pwrite); false when the file cannot take or give them all.
    template <typename Byte, typename Io>
    bool scratchIo(std::int64_t frame, Byte* bytes, std::size_t frames, Io io) const {
        constexpr std::size_t kFrameBytes = 2 * sizeof(std::int16_t);
        std::size_t size = frames * kFrameBytes;
        auto offset = static_cast<off_t>(frame * static_cast<std::int64_t>(kFrameBytes));
        while (size > 0) {
            const ssize_t n = io(scratch_, bytes, size, offset);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            bytes += n;
            size -= static_cast<std::size_t>(n);
            offset += n;
        }
        return true;
    }

    void stopSynth() {
        if (player_ != nullptr) delete_fluid_player(player_);
        if (synth_ != nullptr) delete_fluid_synth(synth_);
        player_ = nullptr;
        synth_ = nullptr;
        synthAt_ = 0;
        silent_ = 0;
        limiter_.reset();
    }

    bool startSynth() {
        if (settings_ == nullptr) makeSettings();
        synth_ = new_fluid_synth(settings_);
        if (synth_ == nullptr || fluid_synth_sfload(synth_, soundfont_.c_str(), 1) == FLUID_FAILED)
            return false;
        player_ = new_fluid_player(synth_);
        if (player_ == nullptr ||
            fluid_player_add_mem(player_, file_.data(), file_.size()) != FLUID_OK ||
            fluid_player_play(player_) != FLUID_OK)
            return false;
        // The limiter looks ahead: it is given its head start of the song, so that frame n of its output is
        // frame n of the song.
        std::int16_t discarded[kChunkFrames * 2];
        for (int left = limiter_.latency(); left > 0; left -= kChunkFrames)
            synthesise(discarded, std::min(left, kChunkFrames));
        return true;
    }

    void makeSettings() {
        for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
            fluid_set_log_function(level, silentLog, nullptr);
        settings_ = new_fluid_settings();
        fluid_settings_setnum(settings_, "synth.sample-rate", rate_);
        fluid_settings_setint(settings_, "synth.dynamic-sample-loading", 1);
        fluid_settings_setint(settings_, "synth.lock-memory", 0);
        fluid_settings_setnum(settings_, "synth.gain", kSynthGain);
        fluid_settings_setstr(settings_, "player.timing-source", "sample");
    }

    std::vector<std::uint8_t> file_;
    std::string soundfont_;
    int rate_;
    double seconds_;
    int scratch_;
    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;
    fluid_player_t* player_ = nullptr;
    std::int64_t synthAt_ = 0;  // frames the synthesiser has rendered
    std::int64_t spilled_ = 0;  // frames [0, spilled_) are in the scratch file
    std::int64_t end_ = -1;     // the song's exact length once the synthesiser has reached it
    std::int64_t silent_ = 0;
    bool scratchBroken_ = false;
    bool failed_ = false;
    dsp::PeakLimiter limiter_;
};

// Reads the whole file. Opened without blocking and checked on the open descriptor, so a pipe put in
// place of the file after it was checked is still refused rather than waited on.
bool readMidiFile(const std::string& path, std::vector<std::uint8_t>& data, Refusal& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = fileProblem(errno);
        return false;
    }
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0;
    if (!ok) error = fileProblem(errno);
    else if (S_ISDIR(info.st_mode)) error = fileProblem(EISDIR);
    else if (!S_ISREG(info.st_mode))
        error = {Refusal::Reason::NotOrdinary};
    else if (info.st_size > kMaxFileBytes)
        error = {Refusal::Reason::TooLargeForMidi};
    ok = ok && !error;
    if (ok) {
        data.resize(static_cast<std::size_t>(info.st_size));
        std::size_t done = 0;
        while (done < data.size()) {
            const ssize_t n = ::read(fd, data.data() + done, data.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                error = fileProblem(errno);
                ok = false;
                break;
            }
            if (n == 0) break;
            done += static_cast<std::size_t>(n);
        }
        data.resize(done);
    }
    ::close(fd);
    return ok;
}

}  // namespace

std::string findSoundfont() {
    if (const char* env = std::getenv("KORVEX_SOUNDFONT"); env != nullptr && *env != '\0') return env;
    for (const char* path : {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/FluidR3_GM.sf2",
                             "/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/soundfonts/default.sf2"}) {
        if (::access(path, R_OK) == 0) return path;
    }
    return {};
}

std::unique_ptr<Decoder> openMidiDecoder(const std::string& path, int sampleRate, TrackInfo& info,
                                         Refusal& error) {
    std::vector<std::uint8_t> data;
    if (!readMidiFile(path, data, error)) return nullptr;
    MidiLength length;
    if (!length.parse(data, error)) return nullptr;
    std::string soundfont = findSoundfont();
    if (soundfont.empty()) {
        error = {Refusal::Reason::NoSoundfont};
        return nullptr;
    }
    info.sampleRate = sampleRate;
    info.duration = length.seconds();
    // A song the deck keeps whole anyway needs no scratch file.
    const double cacheFrames = static_cast<double>(DecodedAudio::defaultCacheBlocks() * DecodedAudio::kBlockFrames);
    const int scratch = length.seconds() * sampleRate > cacheFrames ? openScratchFile() : -1;
    return std::make_unique<MidiDecoder>(std::move(data), std::move(soundfont), sampleRate, length.seconds(), scratch);
}

}  // namespace korvex::decode
