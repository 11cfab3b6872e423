#pragma once
// A player that keeps whatever it is told, a master output, and a rig wiring two decks, the main timer,
// continuous play and the mixer as the application does (the transport's hooks forward to the mixer).

#include <QString>
#include <algorithm>
#include <string>

#include "app/player_hooks.h"
#include "deck/continuous_play.h"
#include "deck/main_timer.h"
#include "mixer/mixer.h"

namespace korvex::mixer::testing {

// Songs are 200 s long; play, pause and stop act at once. With `keepsRate` false the rate stays 1.
class FakePlayer final : public DeckPlayer {
public:
    void setFileName(const std::string& path) override {
        file = path;
        position = 0.0;
        state = 0;
    }
    const std::string& fileName() const override { return file; }
    double currentPosition() const override { return position; }
    void setCurrentPosition(double s) override {
        ++seeks;
        if (!file.empty()) position = std::clamp(s, 0.0, 200.0);
    }
    double duration() const override { return file.empty() ? 0.0 : 200.0; }
    double rate() const override { return keepsRate ? rateSet : 1.0; }
    void setRate(double r) override {
        ++rateWrites;
        rateSet = r;
    }
    int playState() const override { return state; }
    double selectionStart() const override { return -1.0; }
    void setSelectionStart(double) override {}
    double selectionEnd() const override { return -1.0; }
    void setSelectionEnd(double) override {}
    int volume() const override { return level; }
    void setVolume(int v) override {
        ++volumeWrites;
        level = v;
    }
    int balance() const override { return pan; }
    void setBalance(int b) override { pan = std::clamp(b, -10000, 10000); }
    bool mute() const override { return false; }
    void setMute(bool) override {}
    bool hasError() const override { return false; }
    void play() override { act(2); }
    void pause() override { act(1); }
    void stop() override { act(0); }

    std::string file;
    double position = 0.0, rateSet = 1.0;
    int state = 0, level = 0, pan = 0, seeks = 0, rateWrites = 0, volumeWrites = 0;
    bool keepsRate = true;

private:
    void act(int s) {
        if (!file.empty()) state = s;
    }
};

class FakeMaster final : public MasterOutput {
public:
    std::uint32_t masterVolume() const override { return value; }
    void setMasterVolume(std::uint32_t packed) override {
        ++writes;
        value = packed;
    }
    std::uint32_t value = 0xFFFFFFFFu;
    int writes = 0;
};

// The transport's hooks as the application forwards them (no song memories here).
using MixerHooks = app::PlayerHooks;

struct MixerRig {
    MixerRig() {
        transport.setHooks(hooks);
        mixer.start();
    }
    FakePlayer& player(int deck) { return deck == 0 ? playerA : playerB; }
    // Appends a song with these tempo and volume memories, makes it current and loads it.
    void load(int deck, const QString& title, const QString& tempo = QStringLiteral("100"),
              const QString& volume = QStringLiteral(" 2000")) {
        songlist::SongList& l = deck == 0 ? listA : listB;
        l.append(QStringLiteral("/music/") + title, title, 20);
        l.setField(songlist::kTempo, l.count() - 1, tempo);
        l.setField(songlist::kVolume, l.count() - 1, volume);
        transport.loadsong(deck);
    }
    void playing(int deck, const QString& title, double position) {
        load(deck, title);
        transport.PLAYBTNON(deck);
        player(deck).position = position;
    }
    void ticks(int n) {
        for (int i = 0; i < n; ++i) timer.tick();
    }

    FakePlayer playerA, playerB;
    songlist::SongList listA, listB;
    deck::DeckSettings settings;
    deck::DeckTransport transport{playerA, playerB, listA, listB, settings};
    deck::MainTimer timer{transport};
    FakeMaster master;
    Mixer mixer{transport, master};
    deck::ContinuousPlay continuous{transport};
    MixerHooks hooks{mixer, continuous};
};

}  // namespace korvex::mixer::testing

[[maybe_unused]] static void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
