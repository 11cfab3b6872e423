#pragma once
// Stand-ins for what the decks reach: a player and the hooks, each writing what it was asked into one log,
// plus a rig holding two decks with their lists, settings, transport and timer.

#include <QString>
#include <algorithm>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "deck/deck_transport.h"
#include "deck/main_timer.h"
#include "platform/deck_player.h"
#include "songlist/song_list.h"

namespace korvex::deck::testing {

inline std::string num(double v) {
    std::ostringstream out;
    out << v;
    return out.str();
}

// A player whose songs are `length` seconds long; play, pause and stop change the state at once, events are
// fired by the test when it wants them.
class LoggingPlayer final : public DeckPlayer {
public:
    LoggingPlayer(std::vector<std::string>& log, std::string name) : log_(log), name_(std::move(name)) {}
    void setFileName(const std::string& path) override {
        add("load " + path);
        file = path;
        position = 0.0;
        state = 0;
    }
    const std::string& fileName() const override { return file; }
    double currentPosition() const override { return position; }
    void setCurrentPosition(double s) override {
        add("seek " + num(s));
        if (!file.empty()) position = std::clamp(s, 0.0, length);
    }
    double duration() const override { return file.empty() ? 0.0 : length; }
    double rate() const override { return 1.0; }
    void setRate(double) override {}
    int playState() const override { return state; }
    double selectionStart() const override { return selStart; }
    void setSelectionStart(double s) override {
        add("selstart " + num(s));
        selStart = s;
    }
    double selectionEnd() const override { return -1.0; }
    void setSelectionEnd(double) override {}
    void setCuePoint(double s) override { cue = s; }
    int volume() const override { return 0; }
    void setVolume(int) override {}
    int balance() const override { return 0; }
    void setBalance(int) override {}
    bool mute() const override { return false; }
    void setMute(bool) override {}
    bool hasError() const override { return false; }
    void play() override { act("play", 2); }
    void pause() override { act("pause", 1); }
    void stop() override { act("stop", 0); }

    std::string file;
    double position = 0.0;
    double length = 200.0;
    double selStart = -1.0;
    double cue = -1.0;  // the cue memory last handed over
    int state = 0;

private:
    void add(const std::string& what) { log_.push_back(name_ + " " + what); }
    void act(const std::string& what, int newState) {
        add(what);
        if (!file.empty()) state = newState;
    }
    std::vector<std::string>& log_;
    std::string name_;
};

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

// Readable failure messages for texts.
[[maybe_unused]] static void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
