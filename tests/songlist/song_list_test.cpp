#include "songlist/song_list.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <clocale>
#include <cmath>
#include <string>

namespace korvex::songlist {
namespace {

using Row = std::array<QString, kColumnCount>;

// A row whose every text names its song and column, so a misplaced text shows where it came from.
Row rowOf(const QString& song) {
    Row row;
    for (int c = 0; c < kColumnCount; ++c) row[c] = song + QString::number(c);
    return row;
}

void expectSelections(const SongList& list, int index) {
    for (int c = 0; c < kColumnCount; ++c)
        EXPECT_EQ(list.selected(static_cast<Column>(c)), index) << "column " << c;
}

TEST(SongList, AppendAddsDefaultMemoriesAndSelectsTheEntryInAllColumns) {
    SongList list;
    ASSERT_TRUE(list.append("/m/a.mp3", "a.mp3", 20));
    EXPECT_EQ(list.count(), 1);
    expectSelections(list, 0);
    EXPECT_EQ(list.row(0), (Row{"/m/a.mp3", "a.mp3", "100", " 2000", "-1", "-1", "-1"}));

    list.append("/m/b.mp3", "b.mp3", 0);
    list.append("/m/c.mp3", "c.mp3", 40);
    expectSelections(list, 2);
    EXPECT_EQ(list.field(kVolume, 1), " 4000");
    EXPECT_EQ(list.field(kVolume, 2), " 0");
    // A setting outside the knob's travel cannot push the memory outside it.
    list.append("/m/d.mp3", "d.mp3", 400);
    EXPECT_EQ(list.field(kVolume, 3), " 0");
}

TEST(SongList, RemoveAndSwapMoveWholeRowsAndKeepColumnsParallel) {
    SongList list;
    for (const char* song : {"a", "b", "c", "d"}) list.appendRow(rowOf(song));
    list.setSelected(kPath, 2);
    list.setSelected(kTitle, 1);
    list.setSelected(kCue, 3);

    list.removeRow(1);
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.row(0), rowOf("a"));
    EXPECT_EQ(list.row(1), rowOf("c"));
    EXPECT_EQ(list.row(2), rowOf("d"));
    EXPECT_EQ(list.selected(kPath), 1);    // moved up with its row
    EXPECT_EQ(list.selected(kTitle), -1);  // its row is gone
    EXPECT_EQ(list.selected(kCue), 2);
    EXPECT_EQ(list.selected(kEnd), -1);

    list.swapRows(0, 2);
    EXPECT_EQ(list.row(0), rowOf("d"));
    EXPECT_EQ(list.row(2), rowOf("a"));
    EXPECT_EQ(list.selected(kPath), 1);

    // Rows that do not exist are left alone rather than trusted.
    list.removeRow(3);
    list.removeRow(-1);
    list.swapRows(0, 3);
    list.setField(kCue, 5, "9");
    list.select(3);
    EXPECT_EQ(list.count(), 3);
    EXPECT_EQ(list.row(0), rowOf("d"));
    EXPECT_EQ(list.field(kPath, 3), "");
    EXPECT_EQ(list.selected(kPath), 1);
}

TEST(SongList, EachColumnReadsAtItsOwnSelectionUntilTitlesSynchronise) {
    SongList list;
    for (const char* song : {"a", "b", "c"}) list.appendRow(rowOf(song));
    list.setSelected(kPath, 0);  // as after loading a list file
    EXPECT_EQ(list.current(), 0);
    EXPECT_EQ(list.currentField(kPath), "a0");
    EXPECT_EQ(list.currentField(kCue), "");

    list.setSelected(kTitle, 2);  // a press in the title list
    list.synchroniseFromTitles();
    expectSelections(list, 2);
    EXPECT_EQ(list.currentField(kCue), "c4");

    list.select(1);
    expectSelections(list, 1);
    list.select(-1);
    expectSelections(list, -1);
}

TEST(SongList, FullListRefusesMoreRowsWithoutChangingAnything) {
    SongList list;
    for (int i = 0; i < kMaxEntries; ++i) ASSERT_TRUE(list.appendRow(rowOf("s")));
    list.select(5);
    EXPECT_TRUE(list.isFull());
    EXPECT_FALSE(list.append("/m/x.mp3", "x.mp3", 20));
    EXPECT_FALSE(list.appendRow(rowOf("x")));
    EXPECT_EQ(list.count(), kMaxEntries);
    EXPECT_EQ(list.field(kEnd, kMaxEntries - 1), "s6");
    expectSelections(list, 5);
}

TEST(SongListNumbers, SignedFormTextsReadBackAsTheirValues) {
    // Positions keep 15 significant digits.
    const std::pair<double, const char*> forms[] = {{2000, " 2000"},
                                                    {12.375, " 12.375"},
                                                    {-1, "-1"},
                                                    {0, " 0"},
                                                    {-0.0, " 0"},
                                                    {0.5, " 0.5"},
                                                    {1e15, " 1E+15"},
                                                    {0.00001, " 1E-05"},
                                                    {-0.25, "-0.25"},
                                                    {123.456789012345, " 123.456789012345"},
                                                    {1234.56789012345, " 1234.56789012345"}};
    for (const auto& [value, text] : forms) {
        EXPECT_EQ(signedNumberText(value), text) << value;
        EXPECT_EQ(memoryValue(text), value) << text;
    }
    EXPECT_EQ(signedNumberText(1234.56789012345678), " 1234.56789012346");
    EXPECT_EQ(signedNumberText(1.0 / 3.0), " 0.333333333333333");
    EXPECT_EQ(signedNumberText(100.0000001, 7), " 100");
    EXPECT_EQ(signedNumberText(std::nan("")), " 0");
    // The plain form reads the same.
    for (const char* text : {"12.5", " 12.5", "12.5 ", "\t12.5"}) {
        EXPECT_EQ(memoryNumber(text), 12.5) << text;
        EXPECT_EQ(leadingNumber(text), 12.5) << text;
    }
    for (const char* text : {"+3", ".5", "5.", "1E-05", "2e3"}) EXPECT_TRUE(memoryNumber(text)) << text;
}

TEST(SongListNumbers, TextsThatAreNotWholeNumbers) {
    for (const char* text :
         {"", "  ", "abc", "12.5s", "1,5", "--1", ".", "-", "1e999", "0x10", "inf", "１"}) {
        EXPECT_FALSE(memoryNumber(text)) << text;
        EXPECT_EQ(memoryValue(text), 0.0) << text;
    }
    EXPECT_EQ(leadingNumber("12.5s"), 12.5);
    EXPECT_EQ(leadingNumber("  -3.25 x"), -3.25);
    EXPECT_EQ(leadingNumber("1e3x"), 1000.0);
    EXPECT_EQ(leadingNumber("1ex"), 1.0);
    EXPECT_EQ(leadingNumber("abc"), 0.0);
    EXPECT_EQ(leadingNumber("1e999"), 0.0);
}

TEST(SongListNumbers, TheLocaleChangesNothing) {
    const QLocale saved;
    const std::string savedC = std::setlocale(LC_ALL, nullptr);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"})
        if (std::setlocale(LC_ALL, name)) break;
    EXPECT_EQ(signedNumberText(12.375), " 12.375");
    EXPECT_EQ(signedNumberText(1234567.5), " 1234567.5");
    EXPECT_EQ(memoryValue("12.5"), 12.5);
    EXPECT_FALSE(memoryNumber("12,5"));
    EXPECT_EQ(leadingNumber("12,5"), 12.0);
    std::setlocale(LC_ALL, savedC.c_str());
    QLocale::setDefault(saved);
}

}  // namespace
}  // namespace korvex::songlist
