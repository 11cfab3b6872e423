#pragma once
// Stand-ins for what the decks reach: the shared fake player and the hooks, each writing what it was asked
// into one log, plus a rig holding two decks with their lists, settings, transport and timer.

#include <QString>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "deck/deck_transport.h"
#include "deck/main_timer.h"
#include "songlist/song_list.h"
#include "support/fake_deck_player.h"

namespace korvex::deck::testing {

using korvex::testing::num;
// The shared fake player, logging into the rig's log.
using LoggingPlayer = korvex::testing::FakeDeckPlayer;

class LoggingHooks final : public DeckHooks {
public:
    explicit LoggingHooks(std::vector<std::string>& log) : log_(log) {}
    void volcontrol() override { log_.push_back("volcontrol"); }
    void pitchset(int d, double t) override { log_.push_back("pitchset " + num(d) + " " + num(t)); }
    void switching() override {
        log_.push_back("switching");
        if (onSwitching) onSwitching();
    }
    bool slideflag() const override { return sliding; }
    int faderpattern() const override { return pattern; }
    bool slideStep() override {
        ++slideSteps;
        return slideEnds;
    }
    void searchegnL(int d) override { log_.push_back("searchL " + num(d)); }
    void searchegnR(int d) override { log_.push_back("searchR " + num(d)); }
    void trimlinedraw(int d) override { log_.push_back("trimlinedraw " + num(d)); }
    void storememory(int d, double p) override {
        log_.push_back("storememory " + num(d) + " " + num(p));
        if (onStore) onStore(d, p);
    }
    void recordstart() override { log_.push_back("recordstart"); }
    void nonstop(int d) override {
        log_.push_back("nonstop " + num(d));
        if (onNonstop) onNonstop(d);
    }
    bool minimumdisplay() override {
        ++miniDisplays;
        return mini;
    }

    bool sliding = false;
    int pattern = 0;
    bool slideEnds = false;
    bool mini = false;
    int slideSteps = 0;
    int miniDisplays = 0;
    std::function<void()> onSwitching;
    std::function<void(int, double)> onStore;
    std::function<void(int)> onNonstop;

private:
    std::vector<std::string>& log_;
};

// Two decks with their lists, wired as the application wires them.
struct DeckRig {
    DeckRig() { transport.setHooks(hooks); }

    // Appends a song and makes it current; memories are given as the list holds them.
    void addSong(int deck, const QString& title, const QString& cue = QStringLiteral("-1"),
                 const QString& start = QStringLiteral("-1"), const QString& end = QStringLiteral("-1")) {
        songlist::SongList& l = deck == 0 ? listA : listB;
        l.append(QStringLiteral("/music/") + title, title, 20);
        const int row = l.count() - 1;
        l.setField(songlist::kCue, row, cue);
        l.setField(songlist::kStart, row, start);
        l.setField(songlist::kEnd, row, end);
    }
    // Loads a song into the deck and clears the log.
    void load(int deck, const QString& title, const QString& cue = QStringLiteral("-1"),
              const QString& end = QStringLiteral("-1")) {
        addSong(deck, title, cue, QStringLiteral("-1"), end);
        transport.loadsong(deck);
        log.clear();
    }
    LoggingPlayer& player(int deck) { return deck == 0 ? playerA : playerB; }
    void ticks(int n) {
        for (int i = 0; i < n; ++i) timer.tick();
    }
    bool logged(const std::string& entry) const {
        return std::find(log.begin(), log.end(), entry) != log.end();
    }

    std::vector<std::string> log;
    LoggingPlayer playerA{log, "A"};
    LoggingPlayer playerB{log, "B"};
    songlist::SongList listA;
    songlist::SongList listB;
    DeckSettings settings;
    LoggingHooks hooks{log};
    DeckTransport transport{playerA, playerB, listA, listB, settings};
    MainTimer timer{transport};
};

}  // namespace korvex::deck::testing
