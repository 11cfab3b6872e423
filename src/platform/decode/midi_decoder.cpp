// MIDI (.mid) tracks: the file is parsed at once for its length, then rendered by FluidSynth with the
// system's General MIDI soundfont on the track's worker thread, as fast as the synthesiser goes.
//
// A song ends at its end-of-track marker plus a release tail, but no later than a few seconds after its
// last sound (the last note or controller change): a file whose marker lies hours after its music would
// otherwise be rendered, and kept in memory, in full. Rendering also ends after a minute in which
// nothing sounds (a long pause before a far-away note).

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <vector>

#include <fluidsynth.h>

#include "platform/decode/decoder.h"

namespace korvex::decode {

namespace {

constexpr int kChunkFrames = 4096;
// Release time rendered after the end-of-track marker so held notes fade naturally.
constexpr double kTailSeconds = 1.0;
// The most that is rendered after the last sound, whatever the end-of-track marker says.
constexpr double kSoundTailSeconds = 4.0;
// Rendering stops once nothing has sounded for this long.
constexpr double kSilentSeconds = 60.0;
// Larger files are not MIDI songs (the largest orchestral files are a few hundred kilobytes).
constexpr off_t kMaxFileBytes = off_t{16} << 20;

// Reads a Standard MIDI File far enough to know it is one and how long it plays.
class MidiLength {
public:
    bool parse(const std::vector<std::uint8_t>& data, std::string& error) {
        data_ = &data;
        pos_ = 0;
        if (!expect("MThd") || read32() < 6)
            return fail(error, "not a MIDI file (the name says MIDI, the contents do not)");
        read16();  // format
        const unsigned tracks = read16();
        const std::uint16_t division = read16();
        if (ok_ && division == 0) return fail(error, "a damaged MIDI file (it has no tempo division)");
        pos_ = 8 + (static_cast<std::size_t>(data[4]) << 24 | static_cast<std::size_t>(data[5]) << 16 |
                    static_cast<std::size_t>(data[6]) << 8 | data[7]);
        std::uint64_t lastTick = 0;
        for (unsigned t = 0; t < tracks && ok_; ++t) {
            if (pos_ + 8 > data.size()) break;  // fewer tracks than announced: play what is there
            if (!expect("MTrk")) return fail(error, "a damaged MIDI file");
            const std::size_t length = read32();
            const std::size_t end = std::min(data.size(), pos_ + length);
            lastTick = std::max(lastTick, scanTrack(end));
            pos_ = end;
        }
        if (!ok_) return fail(error, "a damaged MIDI file");
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
    bool fail(std::string& error, const char* why) {
        error = why;
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

class MidiDecoder final : public Decoder {
public:
    MidiDecoder(std::vector<std::uint8_t> file, std::string soundfont, int rate, double seconds)
        : file_(std::move(file)), soundfont_(std::move(soundfont)), rate_(rate), seconds_(seconds) {}

    ~MidiDecoder() override {
        if (player_ != nullptr) delete_fluid_player(player_);
        if (synth_ != nullptr) delete_fluid_synth(synth_);
        if (settings_ != nullptr) delete_fluid_settings(settings_);
    }

    bool primeBeforeReturn() const override { return false; }

    bool decodeSome(DecodedAudio& out) override {
        if (ended_) return false;
        if (synth_ == nullptr && !start()) {
            failed_ = true;
            ended_ = true;
            return false;
        }
        // The file's own length decides the end, not the player's idea of it.
        const auto total = static_cast<long>(seconds_ * rate_);
        const long n = std::min<long>(kChunkFrames, total - rendered_);
        if (n <= 0) {
            ended_ = true;
            return false;
        }
        std::int16_t buffer[kChunkFrames * 2];
        fluid_synth_write_s16(synth_, static_cast<int>(n), buffer, 0, 2, buffer, 1, 2);
        if (!out.append(buffer, static_cast<std::size_t>(n))) ended_ = true;
        rendered_ += n;
        silent_ = fluid_synth_get_active_voice_count(synth_) == 0 ? silent_ + n : 0;
        if (silent_ > static_cast<long>(kSilentSeconds * rate_)) ended_ = true;
        return !ended_;
    }

    bool failed() const override { return failed_; }

private:
    bool start() {
        for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
            fluid_set_log_function(level, silentLog, nullptr);
        settings_ = new_fluid_settings();
        fluid_settings_setnum(settings_, "synth.sample-rate", rate_);
        fluid_settings_setint(settings_, "synth.dynamic-sample-loading", 1);
        fluid_settings_setint(settings_, "synth.lock-memory", 0);
        // The synthesiser's default level is far below that of recorded music.
        fluid_settings_setnum(settings_, "synth.gain", 0.6);
        fluid_settings_setstr(settings_, "player.timing-source", "sample");
        synth_ = new_fluid_synth(settings_);
        if (synth_ == nullptr || fluid_synth_sfload(synth_, soundfont_.c_str(), 1) == FLUID_FAILED)
            return false;
        player_ = new_fluid_player(synth_);
        if (player_ == nullptr ||
            fluid_player_add_mem(player_, file_.data(), file_.size()) != FLUID_OK ||
            fluid_player_play(player_) != FLUID_OK)
            return false;
        return true;
    }

    std::vector<std::uint8_t> file_;
    std::string soundfont_;
    int rate_;
    double seconds_;
    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;
    fluid_player_t* player_ = nullptr;
    long rendered_ = 0;
    long silent_ = 0;
    bool ended_ = false;
    bool failed_ = false;
};

// Reads the whole file. Opened without blocking and checked on the open descriptor, so a pipe put in
// place of the file after it was checked is still refused rather than waited on.
bool readMidiFile(const std::string& path, std::vector<std::uint8_t>& data, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = fileProblem(errno);
        return false;
    }
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0;
    if (!ok) error = fileProblem(errno);
    else if (S_ISDIR(info.st_mode)) error = fileProblem(EISDIR);
    else if (!S_ISREG(info.st_mode)) error = "not an ordinary file (a pipe, device or socket)";
    else if (info.st_size > kMaxFileBytes) error = "too large for a MIDI file";
    ok = ok && error.empty();
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
                                         std::string& error) {
    std::vector<std::uint8_t> data;
    if (!readMidiFile(path, data, error)) return nullptr;
    MidiLength length;
    if (!length.parse(data, error)) return nullptr;
    std::string soundfont = findSoundfont();
    if (soundfont.empty()) {
        error = "no General MIDI soundfont is installed";
        return nullptr;
    }
    info.sampleRate = sampleRate;
    info.duration = length.seconds();
    return std::make_unique<MidiDecoder>(std::move(data), std::move(soundfont), sampleRate, length.seconds());
}

}  // namespace korvex::decode
