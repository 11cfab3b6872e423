#pragma once
// The one stand-in for a deck's player in the model tests, and readable failure messages for texts.
//
// It keeps whatever it is told, acts at once (play, pause and stop change the state as soon as they are
// called, on a deck with a file), and can write every call into a log the test shares with other fakes.
// Its play head moves only when the test says so (advance()), as a real player's moves while it plays,
// so a test can tell the live position from a position the deck remembered.

#include <array>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/deck_player.h"

// Readable failure messages for texts.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace korvex::testing {

// A number as the logs write it ("12.5", "-1").
inline std::string num(double v) {
    std::ostringstream out;
    out << v;
    return out.str();
}

class FakeDeckPlayer final : public DeckPlayer {
public:
    FakeDeckPlayer() = default;
    // Logs each call as "<name> <call>" ("A load /music/one.mp3", "A seek 12.5", "A play").
    FakeDeckPlayer(std::vector<std::string>& log, std::string name) : log_(&log), name_(std::move(name)) {}

    void setFileName(const std::string& path) override {
        add("load " + path);
        opened.push_back(path);
        file = path;
        position = 0.0;
        state = 0;
    }
    const std::string& fileName() const override { return file; }
    double currentPosition() const override { return position; }
    void setCurrentPosition(double s) override {
        add("seek " + num(s));
        ++seeks;
        if (!file.empty()) position = std::clamp(s, 0.0, length);
    }
    double duration() const override { return file.empty() ? 0.0 : length; }
    // With `keepsRate` false the player plays on at rate 1 whatever it is told.
    double rate() const override { return keepsRate ? rateSet : 1.0; }
    void setRate(double r) override {
        ++rateWrites;
        rateSet = r;
    }
    int playState() const override { return state; }
    double selectionStart() const override { return selStart; }
    void setSelectionStart(double s) override {
        add("selstart " + num(s));
        calls << QStringLiteral("selstart %1").arg(s);
        selStart = s;
    }
    // The cue memory last handed over.
    void setCuePoint(double s) override { cue = s; }
    double selectionEnd() const override { return selEnd; }
    void setSelectionEnd(double s) override {
        add("selend " + num(s));
        calls << QStringLiteral("selend %1").arg(s);
        selEnd = s;
    }
    int volume() const override { return level; }
    void setVolume(int v) override {
        ++volumeWrites;
        level = v;
    }
    int balance() const override { return pan; }
    void setBalance(int b) override { pan = std::clamp(b, -10000, 10000); }
    bool mute() const override { return muted; }
    void setMute(bool m) override { muted = m; }
    void setEqualizer(double low, double mid, double high) override { eq = {low, mid, high}; }
    void setKeylock(bool on) override { keylock = on; }
    void setTrim(int hundredthsDb) override { trim = hundredthsDb; }
    void setPrelisten(bool on) override { prelisten = on; }
    // A file whose name holds "broken" cannot be opened.
    bool hasError() const override { return file.find("broken") != std::string::npos; }
    std::string problemForUser() const override {
        return hasError() ? "壊れています。\n別の曲を選んでください。" : "";
    }
    void play() override { act("play", 2); }
    void pause() override { act("pause", 1); }
    void stop() override { act("stop", 0); }

    // The play head moves on by `seconds` while the player plays.
    void advance(double seconds) {
        if (state == 2) position = std::min(position + seconds, length);
    }

    std::string file;
    double position = 0.0;
    double length = 200.0;
    double rateSet = 1.0;
    bool keepsRate = true;
    int state = 0;
    double selStart = -1.0;
    double selEnd = -1.0;
    double cue = -1.0;
    int level = 0;
    int pan = 0;
    bool muted = false;
    std::array<double, 3> eq{0.0, 0.0, 0.0};
    bool keylock = false;
    int trim = 0;
    bool prelisten = false;
    int seeks = 0;
    int rateWrites = 0;
    int volumeWrites = 0;
    // Every file name given, in order.
    std::vector<std::string> opened;
    // The selection calls, "selstart 12.5" and "selend -1".
    QStringList calls;

private:
    void add(const std::string& what) {
        if (log_ != nullptr) log_->push_back(name_ + " " + what);
    }
    void act(const std::string& what, int newState) {
        add(what);
        if (!file.empty()) state = newState;
    }
    std::vector<std::string>* log_ = nullptr;
    std::string name_;
};

}  // namespace korvex::testing
