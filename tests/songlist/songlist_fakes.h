#pragma once
// Test stand-ins for what the song list operations reach outside themselves: a deck player, the file
// dialogs and the deck side, each recording what it was asked.

#include <QString>
#include <QStringList>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/deck_player.h"
#include "songlist/song_adder.h"

// Readable failure messages for texts.
[[maybe_unused]] static void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace korvex::songlist::testing {

// A player that opens any file whose name does not contain "broken".
class FakePlayer final : public DeckPlayer {
public:
    void setFileName(const std::string& path) override {
        opened.push_back(path);
        name = path;
        position = 0.0;
        state = 0;
    }
    const std::string& fileName() const override { return name; }
    double currentPosition() const override { return position; }
    void setCurrentPosition(double seconds) override { position = seconds; }
    double duration() const override { return 100.0; }
    double rate() const override { return 1.0; }
    void setRate(double) override {}
    int playState() const override { return state; }
    double selectionStart() const override { return -1.0; }
    void setSelectionStart(double) override {}
    double selectionEnd() const override { return -1.0; }
    void setSelectionEnd(double) override {}
    int volume() const override { return 0; }
    void setVolume(int) override {}
    int balance() const override { return 0; }
    void setBalance(int) override {}
    bool mute() const override { return false; }
    void setMute(bool) override {}
    bool hasError() const override { return name.find("broken") != std::string::npos; }
    void play() override { state = 2; }
    void pause() override { state = 1; }
    void stop() override { state = 0; }

    std::string name;
    double position = 0.0;
    int state = 0;
    std::vector<std::string> opened;  // every file name given, in order
};

// Answers each dialog with `answer` (nothing = cancel) and keeps the state it was shown with.
class FakeDialogs final : public FileDialogs {
public:
    bool showOpen(DialogState& state) override { return respond(state); }
    bool showSave(DialogState& state) override { return respond(state); }

    std::optional<QString> answer;
    std::vector<DialogState> shown;

private:
    bool respond(DialogState& state) {
        shown.push_back(state);
        if (!answer) return false;
        state.fileName = *answer;
        return true;
    }
};

// Records the deck side's calls as "added 0 title", "loaded 1 title" and "message text".
class FakeDeckSide final : public DeckLoadTarget {
public:
    void songAdded(int deck, const QString& title) override {
        calls.push_back(QStringLiteral("added %1 %2").arg(deck).arg(title));
    }
    void dropLoaded(int deck, const QString& title) override {
        calls.push_back(QStringLiteral("loaded %1 %2").arg(deck).arg(title));
    }
    void showMessage(const QString& text) override { calls.push_back(QStringLiteral("message ") + text); }

    QStringList calls;
};

}  // namespace korvex::songlist::testing
