// Continuous play at the end of a song: the finished deck stops and waits on its next song.

#include "deck/continuous_play.h"

#include <gtest/gtest.h>

#include <limits>

#include "deck_fakes.h"

namespace korvex::deck {
namespace {

using Log = std::vector<std::string>;

class ContinuousPlayTest : public ::testing::Test {
protected:
    // Deck A plays the second of three songs; deck B plays one song whose cue memory is set.
    void SetUp() override {
        rig.settings.autoplay2 = true;
        rig.hooks.onNonstop = [this](int deck) { continuous.nonstop(deck); };
        for (const char* title : {"s1.mp3", "s2.mp3", "s3.mp3"}) rig.addSong(0, QString::fromLatin1(title));
        rig.load(1, QStringLiteral("b.mp3"), QStringLiteral(" 12.5"));
        rig.transport.PLAYBTNON(1);
        rig.listA.select(1);
        rig.transport.loadsong(0);
        rig.transport.PLAYBTNON(0);
        rig.log.clear();
    }

    testing::DeckRig rig;
    std::vector<double> dice;
    ContinuousPlay continuous{rig.transport, [this] {
                                  const double d = dice.front();
                                  dice.erase(dice.begin());
                                  return d;
                              }};
};

TEST_F(ContinuousPlayTest, TheEndedDeckStopsAndWaitsOnItsNextSong) {
    int took = -1;
    continuous.onHandedOver = [&](int deck) { took = deck; };
    rig.playerA.onEndReached();
    EXPECT_EQ(rig.log, (Log{"nonstop 0", "A stop", "A load /music/s3.mp3", "pitchset 0 100", "trimlinedraw 0",
                            "volcontrol", "A selstart -1", "A play", "A pause"}));
    EXPECT_EQ(took, 1);
    EXPECT_EQ(rig.transport.livedeck(), 1);
    EXPECT_TRUE(rig.transport.record(0).freshload);
    EXPECT_FALSE(rig.transport.record(1).freshload);
    const DeckView& a = rig.transport.view(0);
    const DeckView& b = rig.transport.view(1);
    EXPECT_EQ(a.playPicture + b.playPicture + b.cuePicture + b.totaltime, "play1.bmpplay2.bmpcue2.bmp/03'20");
    // From the last song to the first; a one-song list reloads its song.
    rig.playerA.onEndReached();
    EXPECT_EQ(rig.playerA.file, "/music/s1.mp3");
    continuous.nonstop(1);
    EXPECT_TRUE(rig.logged("B load /music/b.mp3"));
}

TEST_F(ContinuousPlayTest, NothingHappensWithoutContinuousPlayOrASongWaitingAndAStoppedDeckKeepsItsLook) {
    rig.settings.autoplay2 = false;
    continuous.nonstop(0);
    rig.settings.autoplay2 = true;
    rig.listB.select(-1);
    continuous.nonstop(0);
    EXPECT_EQ(rig.log, Log{});
    EXPECT_EQ(rig.playerA.state, 2);

    // A waiting deck that does not play keeps its look, and the given step to the next song is used.
    rig.listB.select(0);
    rig.transport.stopdeck(1);
    std::vector<int> stepped;
    continuous.setNextsong([&](int deck) { stepped.push_back(deck); });
    continuous.nonstop(0);
    EXPECT_EQ(rig.transport.view(1).playPicture, "play1.bmp");
    EXPECT_EQ(stepped, std::vector<int>{0});
    EXPECT_EQ(rig.listA.current(), 1);
}

TEST_F(ContinuousPlayTest, RandomPlayPicksARowAndLoadsTheOneAfterIt) {
    rig.settings.random = true;
    // floor(3 x dice) is the row picked, the row after it (wrapping) is loaded; a source straying out of
    // [0, 1) still picks a row of the list.
    dice = {0.0, 0.999, 0.5, 1.0, -0.5, std::numeric_limits<double>::quiet_NaN()};
    for (int expected : {1, 0, 2, 0, 1, 1}) {
        continuous.nonstop(0);
        EXPECT_EQ(rig.listA.current(), expected);
    }
}

}  // namespace
}  // namespace korvex::deck
