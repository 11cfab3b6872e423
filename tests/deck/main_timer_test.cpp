#include "deck/main_timer.h"

#include <gtest/gtest.h>

#include "deck_fakes.h"

namespace korvex::deck {
namespace {

using Log = std::vector<std::string>;

class MainTimerTest : public ::testing::Test {
protected:
    void playing(int deck, const QString& title, double position, const QString& end = QStringLiteral("-1")) {
        rig.load(deck, title, QStringLiteral("-1"), end);
        t.playPress(deck);
        rig.player(deck).position = position;
        rig.log.clear();
    }
    void pausedAt(int deck, double position) {
        playing(deck, QStringLiteral("song.mp3"), position);
        t.playPress(deck);
        rig.log.clear();
    }
    // The ticks (counted from 1) whose log holds `entry`.
    std::vector<int> ticksWith(const std::string& entry, int n) {
        std::vector<int> found;
        for (int i = 1; i <= n; ++i) {
            rig.log.clear();
            rig.timer.tick();
            if (rig.logged(entry)) found.push_back(i);
        }
        return found;
    }

    testing::DeckRig rig;
    DeckTransport& t = rig.transport;
};

TEST_F(MainTimerTest, PauseLoopReplaysDeckAEveryThirdTickWithBlinkingButtons) {
    pausedAt(0, 10.0);
    rig.timer.tick();
    rig.timer.tick();
    EXPECT_EQ(rig.log, Log{});
    rig.timer.tick();
    EXPECT_EQ(rig.log, (Log{"A seek 10", "A play"}));
    EXPECT_EQ(t.view(0).playPicture, "play1.bmp");
    EXPECT_EQ(t.view(0).cuePicture, "cue2.bmp");
    rig.ticks(3);
    EXPECT_EQ(t.view(0).playPicture, "play2.bmp");
    EXPECT_EQ(t.view(0).cuePicture, "cue1.bmp");
    EXPECT_EQ(ticksWith("A seek 10", 9), (std::vector<int>{3, 6, 9}));
    // The players keep the places they may be sent to ready: every tick hands them the decks' cue memories.
    EXPECT_DOUBLE_EQ(rig.player(0).cue, 10.0);
    t.record(0).cuepos = 33.5;
    t.record(1).cuepos = 7.5;
    rig.timer.tick();
    EXPECT_DOUBLE_EQ(rig.player(0).cue, 33.5);
    EXPECT_DOUBLE_EQ(rig.player(1).cue, 7.5);
}

TEST_F(MainTimerTest, DeckBLoopsEverySixTicksWhateverTheSetting) {
    rig.settings.headinterval = 4;
    pausedAt(0, 10.0);
    pausedAt(1, 20.0);
    EXPECT_EQ(ticksWith("B seek 20", 12), (std::vector<int>{6, 12}));
    rig.settings.headinterval = 0;
    EXPECT_EQ(ticksWith("A seek 10", 3), (std::vector<int>{1, 2, 3}));
}

TEST_F(MainTimerTest, ALoopingDeckWithoutAFileEndsThatTickOnly) {
    pausedAt(0, 10.0);
    playing(1, QStringLiteral("b.mp3"), 65.25);
    rig.settings.pitchwait = 5;
    rig.ticks(2);
    EXPECT_EQ(rig.settings.pitchwait, 3);
    rig.playerA.file.clear();
    t.view(1).text2.clear();
    rig.log.clear();
    rig.timer.tick();
    EXPECT_EQ(rig.log, Log{"A seek 10"});
    EXPECT_EQ(t.view(1).text2, "");
    EXPECT_EQ(rig.settings.pitchwait, 3);
    rig.timer.tick();
    EXPECT_EQ(t.view(1).text2, "01'05''250");
    EXPECT_EQ(rig.settings.pitchwait, 2);
    // The following ticks run in full too.
    t.view(1).text2.clear();
    rig.ticks(3);
    EXPECT_EQ(t.view(1).text2, "01'05''250");
    EXPECT_EQ(rig.settings.pitchwait, 0);
}

TEST_F(MainTimerTest, PlayingDeckShowsItsTimeAndScrollsItsFileLabel) {
    playing(0, QStringLiteral("ABCDEFGHIJKLMNOPQRS.mp3"), 65.25);
    rig.timer.tick();
    EXPECT_EQ(t.view(0).text2, "01'05''250");
    EXPECT_EQ(t.view(0).lbfilename, "ABCDEFGHIJKLMNOPQRS");
    rig.ticks(10);
    EXPECT_EQ(t.view(0).lbfilename, "BCDEFGHIJKLMNOPQRS.");
    rig.settings.countdown = true;
    rig.timer.tick();
    EXPECT_EQ(t.view(0).text2, "02'14''750");
}

TEST_F(MainTimerTest, FreshlyLoadedTitleScrollsInTheDeckDisplay) {
    rig.load(0, QStringLiteral("abcdefghijkl.mp3"));
    rig.timer.tick();
    EXPECT_EQ(t.view(0).text2, "abcdefghijk");
    rig.ticks(10);
    EXPECT_EQ(t.view(0).text2, "bcdefghijkl");
    rig.load(1, QStringLiteral("short.mp3"));
    rig.ticks(10);
    EXPECT_EQ(t.view(1).text2, "short.mp3");
}

TEST_F(MainTimerTest, EndMemoryHandsOverOnTheFirstTickPastIt) {
    playing(1, QStringLiteral("unset.mp3"), 150.0);
    playing(0, QStringLiteral("a.mp3"), 29.99, QStringLiteral(" 30"));
    rig.timer.tick();
    EXPECT_FALSE(rig.logged("nonstop 0") || rig.logged("nonstop 1"));
    // A list read from a file selects only its path column: the end memory then reads empty, which is unset.
    rig.listB.setSelected(songlist::kEnd, -1);
    // Continuous play stops the deck and loads its next title, which stays up.
    rig.hooks.onNonstop = [this](int) {
        rig.playerA.stop();
        t.view(0).text2 = QStringLiteral("next.mp3");
    };
    rig.playerA.position = 30.01;
    rig.timer.tick();
    EXPECT_TRUE(rig.logged("nonstop 0"));
    EXPECT_FALSE(rig.logged("nonstop 1"));
    EXPECT_EQ(t.view(0).text2, "next.mp3");
}

TEST_F(MainTimerTest, EarlyStartOfTheOtherDeckJustBeforeTheEnd) {
    rig.settings.autoplay2 = true;
    playing(0, QStringLiteral("a.mp3"), 199.89);
    rig.ticks(3);
    EXPECT_FALSE(rig.logged("A play")) << "an empty deck has no end to hand over from";
    rig.load(1, QStringLiteral("b.mp3"));
    rig.timer.tick();
    EXPECT_FALSE(rig.logged("B play"));
    rig.playerA.position = 199.91;
    EXPECT_EQ(ticksWith("B play", 2), (std::vector<int>{1, 2}));
    EXPECT_FALSE(rig.logged("switching"));  // the crossfader is not touched

    rig.listB.select(-1);
    EXPECT_EQ(ticksWith("B play", 2), std::vector<int>{});
    rig.listB.select(0);
    rig.settings.autoplay2 = false;
    EXPECT_EQ(ticksWith("B play", 2), std::vector<int>{});
    rig.settings.autoplay2 = true;
    rig.hooks.sliding = true;
    EXPECT_EQ(ticksWith("B play", 2), std::vector<int>{});
    rig.hooks.sliding = false;
    rig.settings.gapticks = 0;
    rig.playerA.position = 199.999;
    EXPECT_EQ(ticksWith("B play", 2), std::vector<int>{});
}

TEST_F(MainTimerTest, CrossfadeIsAskedForOncePerSongEnd) {
    rig.settings.autoplay2 = true;
    rig.settings.autocrossfadeplay = true;
    rig.hooks.onSwitching = [this] { rig.hooks.sliding = true; };
    playing(0, QStringLiteral("a.mp3"), 197.4);
    rig.load(1, QStringLiteral("b.mp3"));
    rig.timer.tick();
    EXPECT_FALSE(rig.logged("switching"));
    rig.playerA.position = 197.6;
    EXPECT_EQ(ticksWith("switching", 3), (std::vector<int>{1}));
    rig.hooks.sliding = false;
    // Deck A's next song, with pattern 1 and its own switch time, asks again when it nears its end.
    rig.playerA.position = 0.0;
    rig.timer.tick();
    rig.hooks.pattern = 1;
    rig.settings.switchtime[1] = 100;
    rig.playerA.position = 195.1;
    EXPECT_EQ(ticksWith("switching", 1), (std::vector<int>{1}));
    // Both decks ending in one tick: the second must not cancel the slide the first started.
    rig.hooks.sliding = false;
    rig.playerA.position = 0.0;
    rig.timer.tick();
    rig.playerA.position = 199.0;
    playing(1, QStringLiteral("b.mp3"), 199.0);
    rig.timer.tick();
    EXPECT_EQ(std::count(rig.log.begin(), rig.log.end(), "switching"), 1);
}

TEST_F(MainTimerTest, SearchStepsEveryOtherTickUnlessTheMiniBarShowsOrASlideEnds) {
    t.record(0).searchback = true;
    rig.hooks.slideEnds = true;
    rig.ticks(2);
    EXPECT_EQ(rig.hooks.slideSteps, 2);
    EXPECT_EQ(rig.hooks.miniDisplays, 0);
    EXPECT_FALSE(rig.logged("searchL 0"));
    rig.hooks.slideEnds = false;
    rig.ticks(2);
    EXPECT_EQ(rig.hooks.miniDisplays, 2);
    EXPECT_TRUE(rig.logged("searchL 0"));

    t.record(1).searchfwd = true;
    EXPECT_EQ(ticksWith("searchL 0", 4), (std::vector<int>{2, 4}));
    EXPECT_EQ(ticksWith("searchR 1", 4), (std::vector<int>{2, 4}));
    rig.hooks.mini = true;
    EXPECT_EQ(ticksWith("searchL 0", 4), std::vector<int>{});
}

}  // namespace
}  // namespace korvex::deck
