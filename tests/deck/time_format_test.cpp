#include "deck/time_format.h"

#include <gtest/gtest.h>

#include <limits>

#include "deck_fakes.h"

namespace korvex::deck {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(TimeFormat, LengthRoundsHalvesToEvenWhileDeckAndBarTimesAreNeverRoundedUp) {
    for (const auto& [seconds, text] : {std::pair{205.4, "/03'25"},
                                        {59.5, "/01'00"},
                                        {58.5, "/00'58"},
                                        {125 * 60.0, "/125'00"},
                                        {kNaN, "/00'00"}})
        EXPECT_EQ(lengthText(seconds), text) << seconds;
    // 1.001 is stored as 1.000999...; the display still says one millisecond.
    for (const auto& [seconds, text] : {std::pair{65.25, "01'05''250"},
                                        {12.3456, "00'12''345"},
                                        {59.9995, "00'59''999"},
                                        {125 * 60.0, "125'00''000"},
                                        {1.001, "00'01''001"}})
        EXPECT_EQ(deckTimeText(seconds, 9000.0, false), text) << seconds;
    // Counting down shows the time left, down to zero.
    for (const auto& [seconds, text] :
         {std::pair{140.25, "00'59''750"}, {200.0, "00'00''000"}, {200.02, "00'00''000"}})
        EXPECT_EQ(deckTimeText(seconds, 200.0, true), text) << seconds;
    EXPECT_EQ(barTimeText(std::numeric_limits<double>::infinity()), "00:00");
    EXPECT_EQ(taskbarCaption(125.9, QStringLiteral("曲.mp3")), "02:05  曲.mp3");
}

TEST(TimeFormat, CueTargetsAreCutToWholeMilliseconds) {
    for (const auto& [seconds, cut] : {std::pair{12.3456, 12.345}, {-1.0, -1.0}, {1.005, 1.005}, {kNaN, 0.0}})
        EXPECT_DOUBLE_EQ(cutToMilliseconds(seconds), cut) << seconds;
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
