// Settings file reader on arbitrary bytes, with the decks, the mixer and continuous play wired as in the
// player (players and the master output stand-ins). Whatever the reader makes of the bytes, the file saved
// from it must read back in full, without a reset, and save to the same lines again.

#include <QByteArray>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/player_hooks.h"
#include "app/settings_file.h"
#include "deck/continuous_play.h"
#include "deck/deck_transport.h"
#include "mixer/mixer.h"
#include "base/text_lines.h"

namespace {

using namespace korvex;

// Keeps what it is told; plays nothing.
class NullPlayer final : public DeckPlayer {
public:
    void setFileName(const std::string& path) override { file_ = path; }
    const std::string& fileName() const override { return file_; }
    double currentPosition() const override { return 0.0; }
    void setCurrentPosition(double) override {}
    double duration() const override { return 100.0; }
    double rate() const override { return rate_; }
    void setRate(double rate) override { rate_ = rate; }
    int playState() const override { return 0; }
    double selectionStart() const override { return start_; }
    void setSelectionStart(double seconds) override { start_ = seconds; }
    double selectionEnd() const override { return -1.0; }
    void setSelectionEnd(double) override {}
    int volume() const override { return volume_; }
    void setVolume(int volume) override { volume_ = volume; }
    int balance() const override { return 0; }
    void setBalance(int) override {}
    bool mute() const override { return false; }
    void setMute(bool) override {}
    bool hasError() const override { return false; }
    void play() override {}
    void pause() override {}
    void stop() override {}

private:
    std::string file_;
    double rate_ = 1.0;
    double start_ = 0.0;
    int volume_ = 0;
};

class NullMaster final : public mixer::MasterOutput {
public:
    std::uint32_t masterVolume() const override { return 0xFFFFFFFFu; }
    void setMasterVolume(std::uint32_t) override {}
};

class CountingMessages final : public songlist::MessageBoxes {
public:
    songlist::MessageAnswer ask(const QString&, const QString&, songlist::MessageButtons,
                                songlist::MessageIcon) override {
        ++shown;
        return songlist::MessageAnswer::Ok;
    }
    void inform(const QString&, const QString&, songlist::MessageIcon) override { ++shown; }
    int shown = 0;
};

// Everything the settings file reaches. With `wired`, the transport's hooks reach the mixer.
struct Rig {
    explicit Rig(bool wired) {
        if (wired) transport.setHooks(hooks);
    }

    NullPlayer playerA, playerB;
    songlist::SongList listA, listB;
    deck::DeckSettings settings;
    deck::DeckTransport transport{playerA, playerB, listA, listB, settings};
    NullMaster master;
    mixer::Mixer mixer{transport, master};
    deck::ContinuousPlay continuous{transport};
    app::PlayerHooks hooks{mixer, continuous, nullptr};
    appearance::ViewFlags view;
    QString skinname = QStringLiteral("orange");
    int newtrim = 20;
    bool startup = false;
    bool samplerenabled = true;
    QString dialogFolder;
    app::KeptSettings kept;
    app::SlotSettings slots;
    CountingMessages messages;
    app::SettingsFile file{QString(),
                           app::SettingsTargets{transport, mixer.settings(), view, skinname, newtrim, startup,
                                                samplerenabled, dialogFolder, kept, slots},
                           messages};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    Rig first(true);
    first.mixer.start();
    first.file.loadLines(songlist::splitLines(songlist::decodeText(bytes)));
    const QStringList saved = first.file.lines();

    Rig second(false);
    const QStringList reread = songlist::splitLines(songlist::decodeText(songlist::encodeLines(saved)));
    if (second.file.loadLines(reread) != app::SettingsLoad::kRead || second.messages.shown != 0) std::abort();
    if (second.file.lines() != saved) std::abort();
    return 0;
}
