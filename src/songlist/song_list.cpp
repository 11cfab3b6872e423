#include "songlist/song_list.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace korvex::songlist {

namespace {

// Highest and lowest `newtrim` the configuration offers; outside them the volume memory would leave the
// trim knob's 0 .. 4000 travel.
constexpr int kMinNewtrim = 0;
constexpr int kMaxNewtrim = 40;

const QString& emptyText() {
    static const QString empty;
    return empty;
}

bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

// Length of the decimal number that starts at `from`: optional sign, digits with an optional "." (at least
// one digit in all), then an exponent only when digits follow it. 0 when no number starts there.
qsizetype numberLength(const QString& text, qsizetype from) {
    qsizetype i = from;
    const qsizetype n = text.size();
    if (i < n && (text[i] == u'+' || text[i] == u'-')) ++i;
    qsizetype digits = 0;
    for (; i < n && isAsciiDigit(text[i]); ++i) ++digits;
    if (i < n && text[i] == u'.') {
        ++i;
        for (; i < n && isAsciiDigit(text[i]); ++i) ++digits;
    }
    if (digits == 0) return 0;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        if (j < n && (text[j] == u'+' || text[j] == u'-')) ++j;
        const qsizetype exponentStart = j;
        while (j < n && isAsciiDigit(text[j])) ++j;
        if (j > exponentStart) i = j;
    }
    return i - from;
}

// Converts a text numberLength() accepted whole; nothing when the value does not fit a double.
std::optional<double> convertNumber(const QString& number) {
    std::string ascii = number.toStdString();
    if (!ascii.empty() && ascii.front() == '+') ascii.erase(0, 1);
    double value = 0.0;
    const char* first = ascii.data();
    const char* last = first + ascii.size();
    const std::from_chars_result result = std::from_chars(first, last, value, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != last || !std::isfinite(value)) return std::nullopt;
    return value;
}

}  // namespace

const QString& SongList::field(Column column, int index) const {
    return hasRow(index) ? columns_[column][index] : emptyText();
}

void SongList::setField(Column column, int index, const QString& text) {
    if (!hasRow(index)) return;
    columns_[column][index] = text;
    ++revision_;
}

QString SongList::currentField(Column column) const {
    return field(column, selection_[column]);
}

bool SongList::append(const QString& path, const QString& title, int newtrim) {
    const int trim = std::clamp(newtrim, kMinNewtrim, kMaxNewtrim);
    const QString minusOne = QStringLiteral("-1");
    if (!appendRow({path, title, QStringLiteral("100"), signedNumberText(4000 - 100 * trim), minusOne,
                    minusOne, minusOne})) {
        return false;
    }
    selection_.fill(count() - 1);
    return true;
}

bool SongList::appendRow(const std::array<QString, kColumnCount>& row) {
    if (isFull()) return false;
    for (int c = 0; c < kColumnCount; ++c) columns_[c].append(row[c]);
    ++revision_;
    return true;
}

void SongList::select(int index) {
    if (index != -1 && !hasRow(index)) return;
    selection_.fill(index);
}

void SongList::synchroniseFromTitles() {
    selection_.fill(selection_[kTitle]);
}

void SongList::setSelected(Column column, int index) {
    if (index == -1 || hasRow(index)) selection_[column] = index;
}

void SongList::clear() {
    for (QStringList& column : columns_) column.clear();
    selection_.fill(-1);
    ++revision_;
}

void SongList::removeRow(int index) {
    if (!hasRow(index)) return;
    for (QStringList& column : columns_) column.removeAt(index);
    ++revision_;
    for (int& selected : selection_) {
        if (selected == index) {
            selected = -1;
        } else if (selected > index) {
            --selected;
        }
    }
}

void SongList::swapRows(int a, int b) {
    if (!hasRow(a) || !hasRow(b)) return;
    for (QStringList& column : columns_) column.swapItemsAt(a, b);
    ++revision_;
}

std::array<QString, kColumnCount> SongList::row(int index) const {
    std::array<QString, kColumnCount> texts;
    if (!hasRow(index)) return texts;
    for (int c = 0; c < kColumnCount; ++c) texts[c] = columns_[c][index];
    return texts;
}

QString signedNumberText(double value, int digits) {
    if (!std::isfinite(value)) return QStringLiteral(" 0");
    if (value == 0.0) value = 0.0;  // no "-0"
    // The shortest general form with at most `digits` significant digits: no trailing zeros, no point
    // for whole numbers, an exponent only for very large or very small magnitudes; never the locale's.
    char buffer[64];
    const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                                      std::chars_format::general, std::clamp(digits, 1, 17));
    QString text = QString::fromLatin1(buffer, result.ptr - buffer);
    text.replace(u'e', u'E');
    return value < 0.0 ? text : QLatin1Char(' ') + text;
}

std::optional<double> memoryNumber(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || numberLength(trimmed, 0) != trimmed.size()) return std::nullopt;
    return convertNumber(trimmed);
}

double memoryValue(const QString& text) {
    return memoryNumber(text).value_or(0.0);
}

double leadingNumber(const QString& text) {
    qsizetype start = 0;
    while (start < text.size() && isBlank(text[start])) ++start;
    const qsizetype length = numberLength(text, start);
    if (length == 0) return 0.0;
    return convertNumber(text.mid(start, length)).value_or(0.0);
}

}  // namespace korvex::songlist
