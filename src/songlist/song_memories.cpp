#include "songlist/song_memories.h"

namespace korvex::songlist {

namespace {

// Writes `text` into `column` at that column's own selected row; false when it has none.
bool storeAtSelection(SongList& list, Column column, const QString& text) {
    const int row = list.selected(column);
    if (row < 0 || row >= list.count()) return false;
    list.setField(column, row, text);
    return true;
}

}  // namespace

QString modeTooltip() {
    return QStringLiteral("MODE切り替え(End)");
}

SongMemories::SongMemories(std::array<SongList*, 2> lists, std::array<DeckPlayer*, 2> players)
    : lists_(lists), players_(players), captions_{QStringLiteral("CUE"), QStringLiteral("CUE")} {}

void SongMemories::cycleMode(int deck) {
    if (!isDeck(deck)) return;
    QString& caption = captions_[deck];
    if (caption == u"CUE") {
        caption = QStringLiteral("START");
    } else if (caption == u"START") {
        caption = QStringLiteral("END");
    } else if (caption == u"END") {
        caption = QStringLiteral("RESET");
    } else if (caption == u"RESET") {
        caption = QStringLiteral("CUE");
    }
}

void SongMemories::storememory(int deck, double position) {
    if (!isDeck(deck)) return;
    SongList& list = *lists_[deck];
    DeckPlayer& player = *players_[deck];
    if (list.current() < 0) return;

    const QString& mode = captions_[deck];
    const QString text = signedNumberText(position);
    if (mode == u"CUE") {
        storeAtSelection(list, kCue, text);
    } else if (mode == u"START") {
        if (storeAtSelection(list, kStart, text)) player.setSelectionStart(position);
    } else if (mode == u"END") {
        storeAtSelection(list, kEnd, text);
    } else if (mode == u"RESET") {
        // A reset leaves the cue memory at "0", which still counts as set, unlike a new song's "-1".
        if (!storeAtSelection(list, kCue, QStringLiteral("0"))) return;
        if (!storeAtSelection(list, kStart, QStringLiteral("-1"))) return;
        player.setSelectionStart(-1.0);
        if (!storeAtSelection(list, kEnd, QStringLiteral("-1"))) return;
        player.setSelectionEnd(-1.0);
    }
}

}  // namespace korvex::songlist
