#include "deck/deck_transport.h"

#include <gtest/gtest.h>

#include "deck_fakes.h"

namespace korvex::deck {
namespace {

using Log = std::vector<std::string>;

class DeckTransportTest : public ::testing::Test {
protected:
    DeckTransportTest() {
        rig.hooks.onStore = [this](int, double p) { storeCue(p); };
    }
    // What the memory mode "CUE" does with a stored position.
    void storeCue(double p) {
        rig.listA.setField(songlist::kCue, rig.listA.current(), songlist::signedNumberText(p));
    }
    // Deck A loaded with a cue memory at 12.5 s, started and left at `position`.
    void playingAt(double position) {
        rig.load(0, QStringLiteral("song.mp3"), QStringLiteral(" 12.5"));
        t.playPress(0);
        t.playRelease(0);
        rig.playerA.position = position;
        rig.log.clear();
    }
    DeckView& view() { return t.view(0); }
    DeckRecord& rec() { return t.record(0); }

    testing::DeckRig rig;
    DeckTransport& t = rig.transport;
};

TEST_F(DeckTransportTest, LoadSongAppliesTheRowsMemoriesAndShowsTheTitle) {
    rig.addSong(0, QStringLiteral("first.mp3"), QStringLiteral(" 3"), QStringLiteral(" 1.5"));
    rig.listA.setField(songlist::kTempo, 0, QStringLiteral(" 104.5"));
    view().lbfilename = QStringLiteral("old");
    t.loadsong(0);
    EXPECT_EQ(rig.log, (Log{"A load /music/first.mp3", "pitchset 0 104.5", "trimlinedraw 0", "volcontrol",
                            "A selstart 1.5"}));
    EXPECT_EQ(view().text2, "first.mp3");
    EXPECT_EQ(view().lbfilename, "");
    EXPECT_EQ(view().totaltime, "/03'20") << "the length shows as the song is loaded";
    EXPECT_EQ(view().playPicture, "play1.bmp");
    EXPECT_EQ(view().cuePicture, "cue2.bmp");
    EXPECT_TRUE(rec().freshload);

    // Only a cue memory reading exactly "-1" shows the idle CUE look; "0" is a cue point.
    rig.addSong(0, QStringLiteral("second.mp3"), QStringLiteral("-1"));
    t.loadsong(0);
    EXPECT_EQ(view().cuePicture, "cue1.bmp");
    rig.addSong(0, QStringLiteral("third.mp3"), QStringLiteral("0"));
    t.loadsong(0);
    EXPECT_EQ(view().cuePicture, "cue2.bmp");
}

TEST_F(DeckTransportTest, LoadingIntoAPausedOrStandingByDeckEndsThoseStates) {
    playingAt(50.0);
    t.playPress(0);
    ASSERT_TRUE(rec().headplay);
    rig.load(0, QStringLiteral("next.mp3"));
    EXPECT_FALSE(rec().headplay || rec().deckheld || rec().cuestandby);
    t.cuePress(0);
    ASSERT_TRUE(rec().cuestandby);
    rig.load(0, QStringLiteral("other.mp3"));
    EXPECT_FALSE(rec().headplay || rec().deckheld || rec().cuestandby);
    EXPECT_EQ(view().lbfilename, "");
    // Without a current row a load leaves the playing deck alone.
    playingAt(50.0);
    rig.listA.select(-1);
    t.loadsong(0);
    EXPECT_EQ(rig.log, Log{});
    EXPECT_EQ(rig.playerA.state, kPlaying);
}

TEST_F(DeckTransportTest, PlayPressStartsALoadedDeck) {
    rig.load(0, QStringLiteral("song.mp3"));
    t.setLivedeck(1);
    t.playPress(0);
    EXPECT_EQ(rig.log, (Log{"volcontrol", "A play"}));
    EXPECT_EQ(t.livedeck(), 0);
    EXPECT_FALSE(rec().freshload);
    EXPECT_EQ(view().totaltime, "/03'20");
}

TEST_F(DeckTransportTest, PlayPauseTwiceOnAPlayingDeckResumesFromTheLoopPosition) {
    playingAt(42.5);
    t.setLivedeck(1);
    t.playPress(0);
    // Pause leaves the player running: the timer's loop does the rest.
    EXPECT_EQ(rig.log, Log{});
    EXPECT_TRUE(rec().headplay && rec().deckheld);
    EXPECT_DOUBLE_EQ(rec().cuepos, 42.5);
    EXPECT_DOUBLE_EQ(rec().jogstart, 42.5);
    EXPECT_EQ(view().text2, "00'42''500");
    EXPECT_EQ(t.livedeck(), 0);

    rig.ticks(6);  // the loop's blink leaves CUE on its idle look
    ASSERT_EQ(view().cuePicture, "cue1.bmp");
    rig.playerA.position = 42.56;
    rig.log.clear();
    t.playPress(0);
    EXPECT_EQ(rig.log, (Log{"A stop", "volcontrol", "A play"}));
    EXPECT_DOUBLE_EQ(rig.playerA.position, 42.56);
    EXPECT_FALSE(rec().headplay || rec().deckheld);
    EXPECT_EQ(view().cuePicture, "cue2.bmp");
}

TEST_F(DeckTransportTest, CueOnAPlayingDeckStandsByAtTheCueMemoryASecondCuePlaysWhileHeldAndPlayStarts) {
    playingAt(80.0);
    t.cuePress(0);
    EXPECT_EQ(rig.log, (Log{"volcontrol", "A pause", "A seek 12.5"}));
    EXPECT_EQ(view().playPicture, "play1.bmp");
    EXPECT_EQ(view().cuePicture, "cue2.bmp");
    EXPECT_EQ(view().cueOffset, 10);
    EXPECT_EQ(view().lbfilename, "CUE STAND BY!");
    EXPECT_TRUE(rec().cuestandby && rec().deckheld);
    EXPECT_DOUBLE_EQ(rec().jogstart, 12.5);
    EXPECT_DOUBLE_EQ(rec().cuepos, 12.5);

    rig.log.clear();
    t.cueRelease(0);
    EXPECT_EQ(rig.log, (Log{"A seek 12.5", "volcontrol"}));
    EXPECT_EQ(view().text2, "00'12''500");
    EXPECT_EQ(view().totaltime, "/03'20");
    EXPECT_EQ(view().cueOffset, 0);

    // The player's late report of the pause keeps the standby label up.
    t.statechanged(0);
    EXPECT_EQ(view().lbfilename, "CUE STAND BY!");

    // A second CUE plays only while it is held.
    rig.log.clear();
    t.cuePress(0);
    EXPECT_EQ(rig.log, Log{"A play"});
    rig.playerA.position = 14.0;
    t.statechanged(0);
    EXPECT_EQ(view().lbfilename, "song.mp3");
    rig.log.clear();
    t.cueRelease(0);
    EXPECT_EQ(rig.log, (Log{"A pause", "A seek 12.5", "volcontrol"}));
    EXPECT_DOUBLE_EQ(rig.playerA.position, 12.5);
    EXPECT_EQ(view().playPicture, "play1.bmp");
    EXPECT_EQ(view().lbfilename, "CUE STAND BY!");
    EXPECT_TRUE(rec().cuestandby);

    // PLAY from standby starts the deck there.
    t.setLivedeck(1);
    rig.log.clear();
    t.playPress(0);
    EXPECT_EQ(rig.log, Log{"A play"});
    EXPECT_FALSE(rec().cuestandby || rec().deckheld);
    EXPECT_EQ(t.livedeck(), 0);
    EXPECT_DOUBLE_EQ(rig.playerA.position, 12.5);
}

TEST_F(DeckTransportTest, CueWhilePausedStoresThePausePositionThenParksThere) {
    playingAt(33.25);
    t.playPress(0);
    // The pause loop plays on from the pause point: the stored position is that point, not the live one.
    rig.playerA.advance(0.04);
    rig.log.clear();
    t.cuePress(0);
    EXPECT_EQ(rig.log, (Log{"A pause", "storememory 0 33.25", "volcontrol", "A seek 33.25"}));
    EXPECT_EQ(rig.listA.currentField(songlist::kCue), " 33.25");
    EXPECT_FALSE(rec().headplay);
    EXPECT_TRUE(rec().cuestandby);
    EXPECT_DOUBLE_EQ(rig.playerA.position, 33.25);
}

TEST_F(DeckTransportTest, StopOnAPausedDeckEndsTheLoopRewindsAndShowsTheTitle) {
    playingAt(60.0);
    t.playPress(0);
    rig.ticks(6);
    ASSERT_EQ(view().cuePicture, "cue1.bmp");  // mid-blink
    rig.log.clear();
    t.stopdeck(0);
    EXPECT_EQ(rig.log, (Log{"A stop", "A seek 0"}));
    EXPECT_FALSE(rec().headplay || rec().deckheld || rec().cuestandby);
    EXPECT_TRUE(rec().freshload);
    EXPECT_EQ(view().text2, "song.mp3");
    EXPECT_EQ(view().totaltime, "");
    EXPECT_EQ(view().playPicture, "play1.bmp");
    EXPECT_EQ(view().cuePicture, "cue2.bmp");
    rig.log.clear();
    rig.ticks(6);
    EXPECT_FALSE(rig.logged("A seek 60"));
}

TEST_F(DeckTransportTest, StopFromStandbyOnANeverStartedDeckTakesTheLabelDown) {
    rig.load(0, QStringLiteral("song.mp3"));
    t.cuePress(0);
    t.cueRelease(0);
    ASSERT_EQ(view().lbfilename, "CUE STAND BY!");
    t.stopdeck(0);
    EXPECT_EQ(view().lbfilename, "");
}

TEST_F(DeckTransportTest, AnEmptyDeckOnlyChangesPictures) {
    t.playPress(0);
    t.playRelease(0);
    t.cuePress(0);
    t.cueRelease(0);
    t.PLAYBTNON(0);
    EXPECT_EQ(rig.log, Log{});
    EXPECT_EQ(view().playPicture, "play2.bmp");
    EXPECT_EQ(view().cuePicture, "cue2.bmp");
    EXPECT_EQ(view().totaltime, "");
    EXPECT_FALSE(rec().cuestandby || rec().deckheld);
}

TEST_F(DeckTransportTest, PlayerEventsDriveTheFileLabelAndContinuousPlay) {
    rig.load(1, QStringLiteral("b-side.mp3"));
    rig.playerB.state = kPlaying;
    rig.playerB.onStateChanged(0, 2);
    EXPECT_EQ(t.view(1).lbfilename, "b-side.mp3");
    rig.playerB.state = 0;
    rig.playerB.onStateChanged(2, 0);
    EXPECT_EQ(t.view(1).lbfilename, "");
    rig.playerB.onEndReached();
    EXPECT_EQ(rig.log, Log{"nonstop 1"});
}

}  // namespace
}  // namespace korvex::deck
