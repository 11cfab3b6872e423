#pragma once
// One deck's song list: seven parallel text columns (path, title, and the five per-song memories) with one
// selected index per column.
//
// The columns stay the same length at all times and rows only move as wholes. Numbers are kept as the
// text they were written or read as; both the plain form ("100", "-1") and the signed form used for
// computed values (" 2000", " 12.375", "-1") are accepted wherever a column is read. The selection of each
// column is its own: after a list file is loaded only the path column is selected until the next
// operation that selects, which is why there are seven indexes and not one.
//
// Indexes out of range are ignored rather than trusted (reads give "", writes and selections do nothing),
// and a full list refuses further rows instead of growing past what its count can say.

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>

namespace korvex::songlist {

// The columns in their fixed order (also the order of the list and settings files).
enum Column : int {
    kPath = 0,  // `List1`: full path of the music file
    kTitle,     // `title1`: the file name shown to the operator
    kTempo,     // `tempolis`: tempo memory in percent, "100" normal
    kVolume,    // `vollis`: trim knob position 0 .. 4000, 2000 = needle up
    kCue,       // `cuelis`: cue point in seconds, "-1" none
    kStart,     // `startlis`: start point in seconds, "-1" none
    kEnd,       // `endlis`: end point in seconds, "-1" none
    kColumnCount
};

// Largest number of entries a list holds (its count is a 16-bit signed value).
constexpr int kMaxEntries = 32767;

class SongList {
public:
    // Number of entries (the length of the path column).
    int count() const { return static_cast<int>(columns_[kPath].size()); }
    // The text at `index` in `column` ("" when there is no such row).
    const QString& field(Column column, int index) const;
    // Replaces one text, leaving every selection alone (no effect when there is no such row).
    void setField(Column column, int index, const QString& text);
    // Selected index of one column; -1 when none.
    int selected(Column column) const { return selection_[column]; }
    // The current entry: the path column's selection (-1 when none).
    int current() const { return selection_[kPath]; }
    // The current entry's text in `column` read at that column's own selection ("" when it has none).
    QString currentField(Column column) const;

    // Appends path, title, "100", the new-entry volume memory for `newtrim` (taken as 0 .. 40), "-1", "-1",
    // "-1" and selects the new entry in all seven columns. False, with nothing changed, when the list is
    // full.
    bool append(const QString& path, const QString& title, int newtrim);
    // Appends a whole row of seven texts as given (file loaders), leaving the selection alone. False, with
    // nothing changed, when the list is full.
    bool appendRow(const std::array<QString, kColumnCount>& row);
    // True when no further row fits.
    bool isFull() const { return count() >= kMaxEntries; }
    // Selects `index` (-1 for none) in the path column and then the same in the other six.
    void select(int index);
    // Gives the title column's selection to the six other columns (a mouse press in the title list).
    void synchroniseFromTitles();
    // Sets one column's selection alone (list file loading selects only the path column).
    void setSelected(Column column, int index);
    // Removes every entry; no column keeps a selection.
    void clear();
    // Removes the row at `index` from all seven columns. As in a list box, a selection on that row becomes
    // -1 and one below it moves up with its row (the caller sets the selection it wants afterwards).
    void removeRow(int index);
    // Swaps rows `a` and `b` in all seven columns; the selections stay where they are.
    void swapRows(int a, int b);
    // Grows with every change of the entries (not of the selections), so a view redraws only then.
    std::uint64_t revision() const { return revision_; }
    // The seven texts of one row (all "" when there is no such row).
    std::array<QString, kColumnCount> row(int index) const;

private:
    bool hasRow(int index) const { return index >= 0 && index < count(); }

    std::array<QStringList, kColumnCount> columns_;
    std::array<int, kColumnCount> selection_{-1, -1, -1, -1, -1, -1, -1};
    std::uint64_t revision_ = 0;
};

// The signed number form the program writes into memories: a leading blank for values >= 0, "-" for
// negative ones, "." as decimal separator, no trailing zeros, up to `digits` significant digits (15 for
// positions, 7 for tempo and volume values). Magnitudes from 10^digits up and below 0.0001 are written
// with an exponent (" 1E+15", " 1E-05"); a value that is not finite is written as " 0".
QString signedNumberText(double value, int digits = 15);
// Text to number for the cue and start memories and the tempo and volume memories: the whole text, blanks
// around it allowed, must be a decimal number ("." separator, optional sign and exponent); nothing when it
// is not, so a caller can skip what a broken memory would have driven.
std::optional<double> memoryNumber(const QString& text);
// memoryNumber() for callers that need a value whatever the text holds: 0 when it is not a number.
double memoryValue(const QString& text);
// Leading-number parse for the end memory: skips leading blanks and reads the longest numeric prefix
// ("12.5s" is 12.5); 0 when there is none.
double leadingNumber(const QString& text);

}  // namespace korvex::songlist
