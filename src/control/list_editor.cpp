#include "control/list_editor.h"

namespace korvex::control {

namespace {

// The bitmap name of each button without its "1.bmp" / "2.bmp" ending, in ListButton order.
constexpr std::array<const char*, kListButtonCount> kPictureStems = {
    "add", "dell", "down", "up", "toa", "tob", "nextsong", "presong",
};

bool isShared(ListButton button) {
    return button == ListButton::ToA || button == ListButton::ToB;
}

}  // namespace

const PopupMenu& popupMenu(int deck) {
    static const PopupMenu deckA{
        QStringLiteral("mnuMove0"),
        QStringLiteral("移動1"),
        {{
            {QStringLiteral("mnuUp0"), QStringLiteral("上へ"), ListCommand::Up},
            {QStringLiteral("mnuDown0"), QStringLiteral("下へ"), ListCommand::Down},
            {QStringLiteral("mnuDel0"), QStringLiteral("削除"), ListCommand::Delete},
            {QStringLiteral("toB"), QStringLiteral("ﾌﾟﾚｲﾔｰＢへ"), ListCommand::ToOtherDeck},
        }}};
    static const PopupMenu deckB{
        QStringLiteral("mnuMove1"),
        QStringLiteral("移動２"),
        {{
            {QStringLiteral("mnuUp1"), QStringLiteral("上へ"), ListCommand::Up},
            {QStringLiteral("mnuDown1"), QStringLiteral("下へ"), ListCommand::Down},
            {QStringLiteral("mnuDel1"), QStringLiteral("削除"), ListCommand::Delete},
            {QStringLiteral("toA"), QStringLiteral("ﾌﾟﾚｲﾔｰＡへ"), ListCommand::ToOtherDeck},
        }}};
    return deck == 0 ? deckA : deckB;
}

ListEditor::ListEditor(deck::DeckTransport& transport) : transport_(transport) {
    for (int b = 0; b < kListButtonCount; ++b) {
        const QString rest = pictureName(static_cast<ListButton>(b), false);
        pictures_[b] = {rest, rest};
    }
}

void ListEditor::upClick(int deck) {
    soat3(deck);
}

void ListEditor::downClick(int deck) {
    soat1(deck);
}

void ListEditor::deleteClick(int deck) {
    soat2(deck);
}

void ListEditor::toOtherDeckClick(int from) {
    soat4(from);
}

void ListEditor::nextClick(int deck) {
    if (!isDeck(deck)) return;
    Nextsong(deck);
    transport_.record(deck).freshload = true;
    transport_.player(deck).stop();
    transport_.touch();
}

void ListEditor::previousClick(int deck) {
    if (!isDeck(deck)) return;
    Presong(deck);
    transport_.record(deck).freshload = true;
    transport_.player(deck).stop();
    transport_.touch();
}

void ListEditor::run(int deck, ListCommand command) {
    switch (command) {
        case ListCommand::Up:
            upClick(deck);
            break;
        case ListCommand::Down:
            downClick(deck);
            break;
        case ListCommand::Delete:
            deleteClick(deck);
            break;
        case ListCommand::ToOtherDeck:
            toOtherDeckClick(deck);
            break;
    }
}

void ListEditor::titlePress(int deck, Qt::MouseButton button, PopupMenuHost& host) {
    if (!isDeck(deck)) return;
    songlist::SongList& list = transport_.list(deck);
    if (button == Qt::RightButton && list.selected(songlist::kTitle) != -1) {
        if (const std::optional<ListCommand> chosen = host.showPopup(deck, popupMenu(deck)))
            run(deck, *chosen);
        list.setSelected(songlist::kTitle, -1);
    }
    list.synchroniseFromTitles();
    transport_.touch();
}

std::optional<int> ListEditor::highlighted(const songlist::SongList& list) {
    const int row = list.selected(songlist::kTitle);
    if (row < 0 || row >= list.count()) return std::nullopt;
    return row;
}

void ListEditor::soat1(int deck) {
    if (!isDeck(deck)) return;
    songlist::SongList& list = transport_.list(deck);
    const std::optional<int> row = highlighted(list);
    if (!row || *row + 1 >= list.count()) return;
    list.swapRows(*row, *row + 1);
    list.select(*row + 1);
    transport_.touch();
}

void ListEditor::soat3(int deck) {
    if (!isDeck(deck)) return;
    songlist::SongList& list = transport_.list(deck);
    const std::optional<int> row = highlighted(list);
    if (!row || *row == 0) return;
    list.swapRows(*row, *row - 1);
    list.select(*row - 1);
    transport_.touch();
}

void ListEditor::soat2(int deck) {
    if (!isDeck(deck)) return;
    songlist::SongList& list = transport_.list(deck);
    const std::optional<int> row = highlighted(list);
    if (!row) return;
    list.removeRow(*row);
    list.select(-1);
    transport_.touch();
}

void ListEditor::soat4(int from) {
    if (!isDeck(from)) return;
    songlist::SongList& source = transport_.list(from);
    const std::optional<int> row = highlighted(source);
    if (!row) return;
    // A full list takes no more songs; the song then stays where it was rather than being lost.
    if (!transport_.list(1 - from).appendRow(source.row(*row))) return;
    soat2(from);
}

void ListEditor::Nextsong(int deck, bool byOperator) {
    if (!isDeck(deck)) return;
    const songlist::SongList& list = transport_.list(deck);
    if (list.count() == 0) return;
    const int current = list.current();
    stepTo(deck, current >= list.count() - 1 ? 0 : current + 1, byOperator);
}

void ListEditor::Presong(int deck) {
    if (!isDeck(deck)) return;
    const songlist::SongList& list = transport_.list(deck);
    const int current = list.current();
    if (list.count() == 0 || current < 0) return;
    stepTo(deck, current == 0 ? list.count() - 1 : current - 1);
}

void ListEditor::stepTo(int deck, int target, bool byOperator) {
    if (byOperator && transport_.keepsLiveDeck(deck)) return;
    transport_.list(deck).select(target);
    transport_.loadsong(deck);
    DeckPlayer& player = transport_.player(deck);
    // A song the player cannot open ends the step with the selection moved.
    if (player.hasError()) return;
    player.play();
    player.pause();
}

const QString& ListEditor::picture(ListButton button, int deck) const {
    return pictures_[static_cast<int>(button)][isShared(button) || deck == 0 ? 0 : 1];
}

QString& ListEditor::pictureSlot(ListButton button, int deck) {
    return pictures_[static_cast<int>(button)][isShared(button) || deck == 0 ? 0 : 1];
}

void ListEditor::press(ListButton button, int deck) {
    pictureSlot(button, deck) = pictureName(button, true);
    transport_.touch();
}

void ListEditor::release(ListButton button, int deck) {
    pictureSlot(button, deck) = pictureName(button, false);
    transport_.touch();
}

QString ListEditor::pictureName(ListButton button, bool pressed) {
    return QLatin1String(kPictureStems[static_cast<int>(button)]) +
           (pressed ? QLatin1String("2.bmp") : QLatin1String("1.bmp"));
}

}  // namespace korvex::control
