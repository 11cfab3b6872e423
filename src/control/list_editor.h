#pragma once
// Editing and stepping the decks' song lists: move a song up or down, delete it, move it to the other deck
// (image buttons and the title lists' popup menus), and step a deck to its next or previous song.
//
// Why it is shaped this way: every edit moves whole rows of the seven columns, so a song's memories always
// travel with it, and the song an edit acts on is the one highlighted in the title list; with nothing
// highlighted (after a list file is loaded, or after a delete) the edits do nothing rather than act on a
// song the operator cannot see. The popup menus and the buttons' pictures are data here; the window shows
// a menu through PopupMenuHost and draws the picture names, so a test can right-click a title, choose
// "上へ" and check the lists and selections without a display. Stepping loads through the deck transport,
// as a double-click does.

#include <QString>
#include <Qt>
#include <array>
#include <optional>

#include "deck/deck_transport.h"
#include "songlist/song_list.h"

namespace korvex::control {

// What a popup menu item does to the deck whose title list was clicked.
enum class ListCommand { Up, Down, Delete, ToOtherDeck };

// One popup menu item: its name, its caption and what it does.
struct PopupItem {
    QString name;
    QString caption;
    ListCommand command;
};

// A title list's popup menu: its name, its caption and its items in menu order.
struct PopupMenu {
    QString name;
    QString caption;
    std::array<PopupItem, 4> items;
};

// The popup menu of deck 0's title list (`mnuMove0`) or deck 1's (`mnuMove1`).
const PopupMenu& popupMenu(int deck);

// Shows a popup menu; the window layer implements this with a QMenu at the mouse.
class PopupMenuHost {
public:
    virtual ~PopupMenuHost() = default;
    // Shows `menu` for `deck`'s title list and returns the item chosen, nothing when it was dismissed.
    virtual std::optional<ListCommand> showPopup(int deck, const PopupMenu& menu) = 0;
};

// The image buttons beside the lists. ToA and ToB exist once; the others once per deck.
enum class ListButton { Add, Delete, Down, Up, ToA, ToB, Next, Previous };
inline constexpr int kListButtonCount = 8;

class ListEditor {
public:
    // Works on the transport's lists and players; `transport` must outlive the editor.
    explicit ListEditor(deck::DeckTransport& transport);

    // --- clicks and presses -------------------------------------------------------------------------------
    // `Imgup`, `mnuUp0`/`mnuUp1`: the highlighted song one row up.
    void upClick(int deck);
    // `Imgdwn`, `mnuDown0`/`mnuDown1`: the highlighted song one row down.
    void downClick(int deck);
    // `Imgdell`, `mnuDel0`/`mnuDel1`: deletes the highlighted song.
    void deleteClick(int deck);
    // `ImgtoB` / `toB` (from 0), `ImgtoA` / `toA` (from 1): the highlighted song to the end of the other
    // list.
    void toOtherDeckClick(int from);
    // `SongNext` / `SongPre`: steps, then marks the deck freshly loaded and stops its player.
    void nextClick(int deck);
    void previousClick(int deck);
    // A menu item's command for `deck`.
    void run(int deck, ListCommand command);
    // A mouse press in `deck`'s title list, after the list has taken any selection the press makes (a left
    // press selects the row under the mouse). A right press with a song highlighted shows the deck's menu
    // and runs the item chosen; the title list then loses its highlight. Last, every column takes the title
    // list's selection.
    void titlePress(int deck, Qt::MouseButton button, PopupMenuHost& host);

    // --- operations ---------------------------------------------------------------------------------------
    // `soat1`: swaps the highlighted song with the next one and keeps it highlighted.
    void soat1(int deck);
    // `soat2`: removes the highlighted song; afterwards nothing is selected.
    void soat2(int deck);
    // `soat3`: swaps the highlighted song with the previous one and keeps it highlighted.
    void soat3(int deck);
    // `soat4`: appends the highlighted song of `from` to the other list (whose selection stays), then
    // removes it from `from`.
    void soat4(int from);
    // `Nextsong`: the current song (the path column's selection) moves one row on, from the last to the
    // first; the song is loaded and the player plays and pauses at once. No selection starts at the first.
    // `byOperator` false (continuous play moving on past an end): "演奏中のデッキを保護" does not stop it.
    void Nextsong(int deck, bool byOperator = true);
    // `Presong`: the same one row back, from the first to the last. No selection does nothing.
    void Presong(int deck);

    // --- button pictures ----------------------------------------------------------------------------------
    // The bitmap a button shows ("up1.bmp" at rest, "up2.bmp" while held). ToA and ToB ignore `deck`.
    const QString& picture(ListButton button, int deck) const;
    void press(ListButton button, int deck);
    void release(ListButton button, int deck);
    // A button's bitmap name at rest or pressed.
    static QString pictureName(ListButton button, bool pressed);

private:
    static bool isDeck(int deck) { return deck == 0 || deck == 1; }
    // The highlighted row when it is a row of the list, else nothing.
    static std::optional<int> highlighted(const songlist::SongList& list);
    // Steps to `target` (a valid row), loads it and plays and pauses.
    void stepTo(int deck, int target, bool byOperator = true);
    QString& pictureSlot(ListButton button, int deck);

    deck::DeckTransport& transport_;
    std::array<std::array<QString, 2>, kListButtonCount> pictures_;
};

}  // namespace korvex::control
