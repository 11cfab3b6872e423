#pragma once
// Test stand-ins for what the song list operations reach outside themselves: the file dialogs and the deck
// side (and the shared fake player), each recording what it was asked.

#include <QString>
#include <QStringList>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "songlist/song_adder.h"
#include "support/fake_deck_player.h"

namespace korvex::songlist::testing {

// The shared fake player; it cannot open a file whose name holds "broken".
using FakePlayer = korvex::testing::FakeDeckPlayer;

// Answers each dialog with `answer` (nothing = cancel) and keeps the state it was shown with.
class FakeDialogs final : public FileDialogs {
public:
    bool showOpen(DialogState& state) override { return respond(state); }
    bool showSave(DialogState& state) override { return respond(state); }
    // With `many` set, the songs dialog answers with those files (or that folder, with `folder`).
    SongChoice showOpenSongs(DialogState& state, QStringList& chosen) override {
        if (!many) return FileDialogs::showOpenSongs(state, chosen);
        shown.push_back(state);
        chosen = *many;
        state.fileName = chosen.value(0);
        return folder ? SongChoice::kFolder : SongChoice::kFiles;
    }

    std::optional<QString> answer;
    std::optional<QStringList> many;
    bool folder = false;
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
