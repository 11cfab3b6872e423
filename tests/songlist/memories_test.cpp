#include "songlist/song_memories.h"

#include <gtest/gtest.h>

#include "songlist/songlist_fakes.h"

namespace korvex::songlist {
namespace {

using testing::FakePlayer;

class MemoriesTest : public ::testing::Test {
protected:
    MemoriesTest() {
        lists_[0].append("/m/a.mp3", "a.mp3", 20);
        lists_[0].append("/m/b.mp3", "b.mp3", 20);
        lists_[0].setField(kTempo, 1, " 97.5");
    }
    // Cycles deck `deck`'s mode to `caption`.
    void modeTo(int deck, const QString& caption) {
        for (int i = 0; i < 4 && memories_.modeCaption(deck) != caption; ++i) memories_.cycleMode(deck);
    }
    QStringList memoriesOf(int row) const {
        return {lists_[0].field(kCue, row), lists_[0].field(kStart, row), lists_[0].field(kEnd, row)};
    }

    std::array<SongList, 2> lists_;
    std::array<FakePlayer, 2> players_;
    SongMemories memories_{{&lists_[0], &lists_[1]}, {&players_[0], &players_[1]}};
};

TEST_F(MemoriesTest, TheModeCyclesAndCueStartAndEndStoreThePositionInTheSignedForm) {
    QStringList seen;
    for (const double position : {3.0, 12.5, 181.125, -1.0}) {
        seen << memories_.modeCaption(0);
        if (position >= 0) memories_.storememory(0, position);
        memories_.cycleMode(0);
    }
    EXPECT_EQ(seen, QStringList({"CUE", "START", "END", "RESET"}));
    EXPECT_EQ(memories_.modeCaption(0), "CUE");
    EXPECT_EQ(memories_.modeCaption(1), "CUE");
    EXPECT_EQ(memoriesOf(1), QStringList({" 3", " 12.5", " 181.125"}));
    EXPECT_EQ(memoriesOf(0), QStringList({"-1", "-1", "-1"}));
    // Only START tells the player.
    EXPECT_EQ(players_[0].calls, QStringList{"selstart 12.5"});
    EXPECT_TRUE(players_[1].calls.isEmpty());
}

TEST_F(MemoriesTest, ResetSetsZeroAndNotSetAndClearsThePlayersSelection) {
    lists_[0].setField(kCue, 1, " 4");
    lists_[0].setField(kStart, 1, " 5");
    lists_[0].setField(kEnd, 1, " 6");
    modeTo(0, "RESET");
    memories_.storememory(0, 77.0);
    EXPECT_EQ(memoriesOf(1), QStringList({"0", "-1", "-1"}));
    EXPECT_EQ(lists_[0].field(kTempo, 1), " 97.5");
    EXPECT_EQ(lists_[0].field(kVolume, 1), " 2000");
    EXPECT_EQ(players_[0].calls, QStringList({"selstart -1", "selend -1"}));
}

TEST_F(MemoriesTest, NothingIsStoredWithoutASelectedSong) {
    lists_[0].select(-1);
    for (const char* mode : {"CUE", "START", "END", "RESET"}) {
        modeTo(0, mode);
        memories_.storememory(0, 9.0);
    }
    EXPECT_EQ(memoriesOf(0), QStringList({"-1", "-1", "-1"}));
    EXPECT_EQ(memoriesOf(1), QStringList({"-1", "-1", "-1"}));
    EXPECT_TRUE(players_[0].calls.isEmpty());

    // After a list file load only the path column is selected: the memory columns have no row to write.
    lists_[0].setSelected(kPath, 0);
    modeTo(0, "START");
    memories_.storememory(0, 9.0);
    EXPECT_EQ(memoriesOf(0), QStringList({"-1", "-1", "-1"}));
    EXPECT_TRUE(players_[0].calls.isEmpty());
}

}  // namespace
}  // namespace korvex::songlist
