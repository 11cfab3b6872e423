#include "deck/time_format.h"

#include <gtest/gtest.h>

#include <limits>

#include "deck_fakes.h"

namespace korvex::deck {
namespace {

TEST(TimeFormat, LengthRoundsToWholeSecondsHalvesToEven) {
    EXPECT_EQ(lengthText(205.4), "/03'25");
    EXPECT_EQ(lengthText(59.5), "/01'00");
    EXPECT_EQ(lengthText(58.5), "/00'58");
    EXPECT_EQ(lengthText(0.0), "/00'00");
    EXPECT_EQ(lengthText(125 * 60.0), "/125'00");
}

TEST(TimeFormat, DeckTimeIsNeverRoundedUp) {
    EXPECT_EQ(deckTimeText(65.25, 200.0, false), "01'05''250");
    EXPECT_EQ(deckTimeText(12.3456, 200.0, false), "00'12''345");
    EXPECT_EQ(deckTimeText(59.9995, 200.0, false), "00'59''999");
    EXPECT_EQ(deckTimeText(125 * 60.0, 9000.0, false), "125'00''000");
    // 1.001 is stored as 1.000999...; the display still says one millisecond.
    EXPECT_EQ(deckTimeText(1.001, 200.0, false), "00'01''001");
}

TEST(TimeFormat, CountdownShowsTimeLeftDownToZero) {
    EXPECT_EQ(deckTimeText(140.25, 200.0, true), "00'59''750");
    EXPECT_EQ(deckTimeText(200.0, 200.0, true), "00'00''000");
    EXPECT_EQ(deckTimeText(200.02, 200.0, true), "00'00''000");
    EXPECT_EQ(lengthText(std::numeric_limits<double>::quiet_NaN()), "/00'00");
    EXPECT_EQ(barTimeText(std::numeric_limits<double>::infinity()), "00:00");
}

TEST(TimeFormat, BarTimeAndTaskbarCaption) {
    EXPECT_EQ(barTimeText(125.9), "02:05");
    EXPECT_EQ(taskbarCaption(125.9, QStringLiteral("曲.mp3")), "02:05  曲.mp3");
}

TEST(TimeFormat, CueTargetsAreCutToWholeMilliseconds) {
    EXPECT_DOUBLE_EQ(cutToMilliseconds(12.3456), 12.345);
    EXPECT_DOUBLE_EQ(cutToMilliseconds(-1.0), -1.0);
    EXPECT_DOUBLE_EQ(cutToMilliseconds(1.005), 1.005);
    EXPECT_DOUBLE_EQ(cutToMilliseconds(std::numeric_limits<double>::quiet_NaN()), 0.0);
}

// Runs `n` ticks of a marquee and returns the texts shown.
std::vector<QString> run(const QString& title, int& rollcount, MarqueeShape shape, int n) {
    std::vector<QString> shown;
    for (int i = 0; i < n; ++i) shown.push_back(marqueeStep(title, rollcount, shape).text);
    return shown;
}

TEST(Marquee, FileLabelMovesEveryTenTicksAndStartsOverOnceTheDotIsIn) {
    // The first "." is character 20: the window starts at characters 1 .. 5, then over again.
    const QString title = QStringLiteral("ABCDEFGHIJKLMNOPQRS.mp3");
    int rollcount = 0;
    const std::vector<QString> shown = run(title, rollcount, kFileLabelMarquee, 51);
    EXPECT_EQ(shown[0], "ABCDEFGHIJKLMNOPQRS");
    EXPECT_EQ(shown[9], "ABCDEFGHIJKLMNOPQRS");
    EXPECT_EQ(shown[10], "BCDEFGHIJKLMNOPQRS.");
    EXPECT_EQ(shown[49], "EFGHIJKLMNOPQRS.mp3");
    EXPECT_EQ(shown[50], "ABCDEFGHIJKLMNOPQRS");
    EXPECT_EQ(rollcount, 1);
}

TEST(Marquee, TopBarWithDotAtFifteenShowsStartsOneToSix) {
    const QString title = QStringLiteral("abcdefghijklmn.wav");
    int rollcount = 0;
    const std::vector<QString> shown = run(title, rollcount, kTopBarMarquee, 61);
    EXPECT_EQ(shown[0], "abcdefghijklm");
    EXPECT_EQ(shown[59], "fghijklmn.wav");
    EXPECT_EQ(shown[60], "abcdefghijklm");
}

TEST(Marquee, StaysStillWhenTheDotIsWithinTheThresholdOrMissing) {
    int rollcount = 7;
    EXPECT_FALSE(marqueeStep(QStringLiteral("0123456789abcde.mp3"), rollcount, kFileLabelMarquee).changed);
    EXPECT_FALSE(
        marqueeStep(QStringLiteral("a title without any dot at all"), rollcount, kFileLabelMarquee).changed);
    EXPECT_FALSE(marqueeStep(QString(), rollcount, kDeckDisplayMarquee).changed);
    EXPECT_EQ(rollcount, 7);
    EXPECT_TRUE(marqueeStep(QStringLiteral("0123456789abcdef.mp3"), rollcount, kFileLabelMarquee).changed);
}

TEST(Marquee, ShortTitlesAndStaleCountersAreSafe) {
    // A counter left over from a longer title: one empty frame, then it starts over.
    int rollcount = 500;
    const MarqueeFrame frame = marqueeStep(QStringLiteral("abcdefghi.x"), rollcount, kDeckDisplayMarquee);
    EXPECT_TRUE(frame.changed);
    EXPECT_EQ(frame.text, "");
    EXPECT_EQ(rollcount, 0);
    rollcount = -40;
    EXPECT_EQ(marqueeStep(QStringLiteral("abcdefghi.x"), rollcount, kDeckDisplayMarquee).text, "abcdefghi.x");
    // A character outside the basic plane counts as one and is never cut in half.
    rollcount = 10;
    const QString wide = QStringLiteral("\U0001F3B5abcdefghijk.mp3");
    EXPECT_EQ(marqueeStep(wide, rollcount, kDeckDisplayMarquee).text, "abcdefghijk");
}

}  // namespace
}  // namespace korvex::deck
