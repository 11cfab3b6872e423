#include "control/list_editor.h"

#include <gtest/gtest.h>

#include "deck/deck_fakes.h"
#include "songlist/list_fakes.h"

namespace korvex::control {
namespace {

using namespace songlist;

using deck::testing::DeckRig;
using songlist::testing::FakePopupHost;
using Log = std::vector<std::string>;
using Row = std::array<QString, kColumnCount>;

QStringList titles(const SongList& list) {
    QStringList texts;
    for (int i = 0; i < list.count(); ++i) texts << list.field(kTitle, i);
    return texts;
}

void expectSelections(const SongList& list, int index) {
    for (int c = 0; c < kColumnCount; ++c)
        EXPECT_EQ(list.selected(static_cast<Column>(c)), index) << "column " << c;
}

class ListEditTest : public ::testing::Test {
protected:
    // Adds songs whose memories name them ("one" has cue "1.1", start "1.2" ...), so a memory that stays
    // behind when its song moves shows.
    void addSongs(int deck, const QStringList& names) {
        for (const QString& name : names) {
            const QString n = QString::number(songs_++);
            rig_.addSong(deck, name, n + ".1", n + ".2", n + ".3");
            SongList& list = deck == 0 ? rig_.listA : rig_.listB;
            list.setField(kTempo, list.count() - 1, n + ".4");
            list.setField(kVolume, list.count() - 1, n + ".5");
        }
        rig_.log.clear();
    }
    SongList& list(int deck) { return deck == 0 ? rig_.listA : rig_.listB; }
    // What the players were asked, in order (the rest of a load is the transport's business).
    Log playerCalls() const {
        Log calls;
        for (const std::string& entry : rig_.log) {
            if (entry.rfind("A ", 0) == 0 || entry.rfind("B ", 0) == 0) calls.push_back(entry);
        }
        return calls;
    }

    DeckRig rig_;
    ListEditor editor_{rig_.transport};
    int songs_ = 1;
};

TEST_F(ListEditTest, DownUpAndDeleteMoveWholeSongsAndLeaveTheExpectedSelection) {
    addSongs(0, {"one", "two", "three"});
    const Row two = list(0).row(1);
    const Row three = list(0).row(2);
    list(0).select(1);
    editor_.downClick(0);
    EXPECT_EQ(titles(list(0)), QStringList({"one", "three", "two"}));
    EXPECT_EQ(list(0).row(2), two);
    expectSelections(list(0), 2);
    editor_.downClick(0);  // the last song stays last
    editor_.upClick(0);
    EXPECT_EQ(titles(list(0)), QStringList({"one", "two", "three"}));
    EXPECT_EQ(list(0).row(1), two);
    expectSelections(list(0), 1);
    editor_.upClick(0);
    editor_.upClick(0);  // the first song stays first
    EXPECT_EQ(titles(list(0)), QStringList({"two", "one", "three"}));
    expectSelections(list(0), 0);

    list(0).select(1);
    editor_.deleteClick(0);
    EXPECT_EQ(titles(list(0)), QStringList({"two", "three"}));
    EXPECT_EQ(list(0).row(1), three);
    expectSelections(list(0), -1);
    editor_.deleteClick(0);  // nothing selected: nothing removed
    EXPECT_EQ(list(0).count(), 2);
}

TEST_F(ListEditTest, MovingToTheOtherDeckAppendsTheWholeSongThereUnlessThatDeckIsFull) {
    addSongs(0, {"one", "two"});
    addSongs(1, {"x", "y"});
    const Row one = list(0).row(0);
    list(0).select(0);
    list(1).select(0);
    editor_.toOtherDeckClick(0);
    EXPECT_EQ(titles(list(0)), QStringList{"two"});
    expectSelections(list(0), -1);
    EXPECT_EQ(titles(list(1)), QStringList({"x", "y", "one"}));
    EXPECT_EQ(list(1).row(2), one);
    expectSelections(list(1), 0);

    editor_.toOtherDeckClick(1);  // "x" back to deck A
    EXPECT_EQ(titles(list(0)), QStringList({"two", "x"}));
    EXPECT_EQ(titles(list(1)), QStringList({"y", "one"}));

    // A full deck takes no more and the song stays where it was.
    for (int i = list(1).count(); i < kMaxEntries; ++i)
        list(1).appendRow({"p", "t", "100", "0", "-1", "-1", "-1"});
    list(0).select(0);
    editor_.toOtherDeckClick(0);
    EXPECT_EQ(titles(list(0)), QStringList({"two", "x"}));
    expectSelections(list(0), 0);
    EXPECT_EQ(list(1).count(), kMaxEntries);
}

TEST_F(ListEditTest, NextAndPreviousWrapLoadAndParkTheDeck) {
    addSongs(0, {"one", "two", "three"});
    list(0).select(2);
    editor_.nextClick(0);
    expectSelections(list(0), 0);
    EXPECT_EQ(playerCalls(), (Log{"A load /music/one", "A selstart 1.2", "A play", "A pause", "A stop"}));
    EXPECT_TRUE(rig_.transport.record(0).freshload);
    EXPECT_EQ(rig_.transport.view(0).text2, "one");

    rig_.log.clear();
    editor_.previousClick(0);
    expectSelections(list(0), 2);
    EXPECT_EQ(playerCalls(), (Log{"A load /music/three", "A selstart 3.2", "A play", "A pause", "A stop"}));

    rig_.log.clear();
    editor_.Presong(0);
    expectSelections(list(0), 1);
    EXPECT_EQ(playerCalls(), (Log{"A load /music/two", "A selstart 2.2", "A play", "A pause"}));
}

TEST_F(ListEditTest, StepsOnOneSongEmptyAndUnselectedLists) {
    addSongs(1, {"solo"});
    editor_.Nextsong(1);
    editor_.Presong(1);
    const Log reload{"B load /music/solo", "B selstart 1.2", "B play", "B pause"};
    Log twice = reload;
    twice.insert(twice.end(), reload.begin(), reload.end());
    EXPECT_EQ(playerCalls(), twice);

    rig_.log.clear();
    editor_.Nextsong(0);
    editor_.Presong(0);
    EXPECT_TRUE(rig_.log.empty());

    // Without a current song, Next starts at the first one and Previous does nothing.
    addSongs(0, {"one", "two"});
    list(0).select(-1);
    editor_.Presong(0);
    EXPECT_TRUE(rig_.log.empty());
    editor_.Nextsong(0);
    expectSelections(list(0), 0);
    EXPECT_EQ(rig_.log.front(), "A load /music/one");
}

TEST_F(ListEditTest, AfterAListFileLoadOnlyStepsActEditsNeedAHighlightedSong) {
    addSongs(0, {"one", "two"});
    addSongs(1, {"x"});
    const Row one = list(0).row(0);
    // What a list file leaves: the path column at the first song, nothing highlighted.
    list(0).select(-1);
    list(0).setSelected(kPath, 0);
    editor_.downClick(0);
    editor_.upClick(0);
    editor_.deleteClick(0);
    editor_.toOtherDeckClick(0);
    EXPECT_EQ(titles(list(0)), QStringList({"one", "two"}));
    EXPECT_EQ(list(0).row(0), one);
    EXPECT_EQ(titles(list(1)), QStringList{"x"});

    editor_.Nextsong(0);
    expectSelections(list(0), 1);
    EXPECT_EQ(rig_.log.front(), "A load /music/two");
}

TEST_F(ListEditTest, ATitlePressSelectsTheRowAndARightPressMenuLeavesTheDeckUnselected) {
    addSongs(0, {"one", "two", "three"});
    addSongs(1, {"x", "y"});
    FakePopupHost host;

    list(0).setSelected(kTitle, 1);  // the list took the left press
    editor_.titlePress(0, Qt::LeftButton, host);
    expectSelections(list(0), 1);
    EXPECT_TRUE(host.shown.isEmpty());

    host.choice = ListCommand::Up;
    editor_.titlePress(0, Qt::RightButton, host);
    EXPECT_EQ(host.shown, QStringList{"0 mnuMove0"});
    EXPECT_EQ(titles(list(0)), QStringList({"two", "one", "three"}));
    expectSelections(list(0), -1);

    // Nothing highlighted: no menu.
    editor_.titlePress(0, Qt::RightButton, host);
    EXPECT_EQ(host.shown.size(), 1);

    // A dismissed menu also ends without a selection.
    host.choice.reset();
    list(1).select(0);
    editor_.titlePress(1, Qt::RightButton, host);
    EXPECT_EQ(host.shown.back(), "1 mnuMove1");
    EXPECT_EQ(titles(list(1)), QStringList({"x", "y"}));
    expectSelections(list(1), -1);

    // Deck B's last item moves its song to deck A.
    host.choice = ListCommand::ToOtherDeck;
    list(1).select(1);
    editor_.titlePress(1, Qt::RightButton, host);
    EXPECT_EQ(titles(list(0)), QStringList({"two", "one", "three", "y"}));
    EXPECT_EQ(titles(list(1)), QStringList{"x"});
}

TEST_F(ListEditTest, ButtonsShowTheirPressedPictureOnlyWhileHeld) {
    editor_.press(ListButton::Up, 1);
    EXPECT_EQ(editor_.picture(ListButton::Up, 1), "up2.bmp");
    EXPECT_EQ(editor_.picture(ListButton::Up, 0), "up1.bmp");
    editor_.release(ListButton::Up, 1);
    EXPECT_EQ(editor_.picture(ListButton::Up, 1), "up1.bmp");

    editor_.press(ListButton::ToB, 1);  // one button for both decks
    EXPECT_EQ(editor_.picture(ListButton::ToB, 0), "tob2.bmp");
}

}  // namespace
}  // namespace korvex::control
