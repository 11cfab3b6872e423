#pragma once
// A deck playing a 440 Hz tone on an engine driven by hand, the recorder's command interface recording
// that engine's mix, and the recorder window's model on it.

#include <sndfile.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "deck/deck_settings.h"
#include "platform/capture.h"
#include "recorder/command_interface.h"
#include "recorder/recorder.h"
#include "songlist/list_fakes.h"
#include "songlist/songlist_fakes.h"
#include "support/engine_rig.h"
#include "support/signals.h"

namespace korvex::test {

struct RecorderRig {
    std::string dir = tempDir();
    EngineRig rig;
    // What a record command captures: the engine's mix unless a test says otherwise.
    std::function<std::unique_ptr<audio::CaptureSource>()> makeSource;
    recorder::CommandInterface commands{
        [this] { return makeSource ? makeSource() : audio::makeMixCapture(rig.engine); }};

    RecorderRig() {
        writeWav16(dir + "/tone.wav", sine(440.0, 12.0));
        rig.load(dir + "/tone.wav");
        rig.player.play();
        commands.setDestination(QString::fromStdString(dir + "/set.wav"));
    }

    // Sends `command`; the code, with the text kept in `text`.
    int mci(const QString& command) { return commands.mci(command, text); }
    int mci(const char* command) { return mci(QString::fromUtf8(command)); }

    QString text;
};

// The recorder window's model on a RecorderRig, with fake dialogs and message boxes.
struct RecorderModel {
    RecorderRig r;
    deck::DeckSettings settings;  // 16-bit stereo 44100 unless changed
    songlist::DialogState dialog;
    songlist::testing::FakeDialogs dialogs;
    songlist::testing::FakeMessages boxes;
    recorder::Recorder recorder{r.commands, settings, dialog, dialogs, boxes};
    QStringList imgrec;

    RecorderModel() {
        recorder.onImgrec = [this](const QString& bitmap) { imgrec << bitmap; };
    }
    QString destination() const { return QString::fromStdString(r.dir + "/set.wav"); }
};

// A fresh folder on a disk of `kilobytes` that fills at once (a tmpfs of that size; root only): ready() is
// false when it cannot be made.
class TinyDisk {
public:
    explicit TinyDisk(int kilobytes) : path_(tempDir() + "/tiny") {
        ::mkdir(path_.c_str(), 0755);
        const std::string size = "size=" + std::to_string(kilobytes) + "k";
        ready_ = ::geteuid() == 0 && ::mount("tmpfs", path_.c_str(), "tmpfs", 0, size.c_str()) == 0;
    }
    ~TinyDisk() {
        if (ready_) ::umount2(path_.c_str(), MNT_DETACH);
    }
    bool ready() const { return ready_; }
    QString path() const { return QString::fromStdString(path_); }

private:
    std::string path_;
    bool ready_ = false;
};

// A fresh folder nobody may write into while it lives: a folder without write permission, or for root
// (whom permissions do not stop) a read-only tmpfs mounted there. ready() is false when neither works.
class ReadOnlyFolder {
public:
    ReadOnlyFolder() : path_(tempDir() + "/readonly") {
        ::mkdir(path_.c_str(), 0755);
        if (::geteuid() != 0)
            ready_ = ::chmod(path_.c_str(), 0555) == 0;
        else
            ready_ = mounted_ = ::mount("tmpfs", path_.c_str(), "tmpfs", MS_RDONLY, "size=64k") == 0;
    }
    ~ReadOnlyFolder() {
        if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
        ::chmod(path_.c_str(), 0755);
    }
    bool ready() const { return ready_; }
    QString path() const { return QString::fromStdString(path_); }

private:
    std::string path_;
    bool ready_ = false;
    bool mounted_ = false;
};

// A recorded file's format and samples (as 16-bit values, interleaved).
struct WaveFile {
    SF_INFO info{};
    std::vector<short> samples;
    bool ok = false;
};

inline WaveFile readWave(const std::string& path) {
    WaveFile wave;
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &wave.info);
    if (file == nullptr) return wave;
    wave.samples.resize(static_cast<std::size_t>(wave.info.frames * wave.info.channels));
    sf_read_short(file, wave.samples.data(), static_cast<sf_count_t>(wave.samples.size()));
    sf_close(file);
    wave.ok = true;
    return wave;
}

// One channel of a wave as floats.
inline std::vector<float> channelOf(const WaveFile& wave, int which = 0) {
    std::vector<float> out;
    for (std::size_t i = static_cast<std::size_t>(which); i < wave.samples.size();
         i += static_cast<std::size_t>(wave.info.channels))
        out.push_back(static_cast<float>(wave.samples[i]) / 32768.0f);
    return out;
}

}  // namespace korvex::test
