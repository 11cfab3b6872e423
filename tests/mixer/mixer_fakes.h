#pragma once
// The shared fake player, a master output, and a rig wiring two decks, the main timer,
// continuous play and the mixer as the application does (the transport's hooks forward to the mixer).

#include <QString>
#include <algorithm>
#include <string>

#include "app/player_hooks.h"
#include "deck/continuous_play.h"
#include "deck/main_timer.h"
#include "mixer/mixer.h"
#include "support/fake_deck_player.h"

namespace korvex::mixer::testing {

// The shared fake player: songs are 200 s long, play, pause and stop act at once.
using FakePlayer = korvex::testing::FakeDeckPlayer;

class FakeMaster final : public MasterOutput {
public:
    std::uint32_t masterVolume() const override { return value; }
    void setMasterVolume(std::uint32_t packed) override {
        ++writes;
        value = packed;
    }
    void setPhonesLevel(float level) override { phonesLevel = level; }
    void setPhonesMix(float mix) override { phonesMix = mix; }
    std::uint32_t value = 0xFFFFFFFFu;
    int writes = 0;
    float phonesLevel = -1.0f;
    float phonesMix = -1.0f;
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
