#pragma once
// Test stand-ins for the list file, list editing and memory operations: message boxes that answer as told,
// a popup menu host that chooses as told, and a player that records its selection calls. Each records what
// it was asked.

#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <vector>

#include "platform/deck_player.h"
#include "songlist/list_editor.h"
#include "songlist/message_boxes.h"

namespace korvex::songlist::testing {

// One message box as it was shown.
struct ShownBox {
    QString text;
    QString title;
    MessageButtons buttons;
    MessageIcon icon;
};

// Answers every question with `answer`.
class FakeMessages final : public MessageBoxes {
public:
    MessageAnswer ask(const QString& text, const QString& title, MessageButtons buttons,
                      MessageIcon icon) override {
        shown.push_back({text, title, buttons, icon});
        return answer;
    }
    void inform(const QString& text, const QString& title, MessageIcon icon) override {
        shown.push_back({text, title, MessageButtons::Ok, icon});
    }
    // The texts shown, in order.
    QStringList texts() const {
        QStringList all;
        for (const ShownBox& box : shown) all << box.text;
        return all;
    }

    MessageAnswer answer = MessageAnswer::Yes;
    std::vector<ShownBox> shown;
};

// Chooses `choice` from every menu shown (nothing = dismissed) and keeps the menus' names.
class FakePopupHost final : public PopupMenuHost {
public:
    std::optional<ListCommand> showPopup(int deck, const PopupMenu& menu) override {
        shown.push_back(QString::number(deck) + u' ' + menu.name);
        return choice;
    }

    std::optional<ListCommand> choice;
    QStringList shown;
};

// A player that records "selstart X" and "selend X" and keeps the values.
class SelectionPlayer final : public DeckPlayer {
public:
    void setFileName(const std::string& path) override { name = path; }
    const std::string& fileName() const override { return name; }
    double currentPosition() const override { return 0.0; }
    void setCurrentPosition(double) override {}
    double duration() const override { return 100.0; }
    double rate() const override { return 1.0; }
    void setRate(double) override {}
    int playState() const override { return 1; }
    double selectionStart() const override { return start; }
    void setSelectionStart(double seconds) override {
        start = seconds;
        calls << QStringLiteral("selstart %1").arg(seconds);
    }
    double selectionEnd() const override { return end; }
    void setSelectionEnd(double seconds) override {
        end = seconds;
        calls << QStringLiteral("selend %1").arg(seconds);
    }
    int volume() const override { return 0; }
    void setVolume(int) override {}
    int balance() const override { return 0; }
    void setBalance(int) override {}
    bool mute() const override { return false; }
    void setMute(bool) override {}
    bool hasError() const override { return false; }
    void play() override {}
    void pause() override {}
    void stop() override {}

    std::string name;
    double start = 30.0;
    double end = 90.0;
    QStringList calls;
};

}  // namespace korvex::songlist::testing
