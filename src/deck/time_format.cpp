#include "deck/time_format.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

namespace korvex::deck {
namespace {

// Longest time a display is asked to show; anything beyond (or not a number) is treated as nonsense.
constexpr double kLongestSeconds = 1e12;
// Allowance, in milliseconds, for binary fractions just below a whole millisecond (1.001 s is stored as
// 1.000999...).
constexpr double kMillisecondSlack = 1e-6;

double sane(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0.0) return 0.0;
    return std::min(seconds, kLongestSeconds);
}

std::int64_t roundHalfEven(double x) {
    const double whole = std::floor(x);
    const double rest = x - whole;
    auto n = static_cast<std::int64_t>(whole);
    if (rest > 0.5 || (rest == 0.5 && n % 2 != 0)) ++n;
    return n;
}

// The number with at least `width` digits, zero-padded on the left.
// Written digit by digit: the deck displays take two of these per deck on every tick.
QString padded(std::int64_t value, int width) {
    if (value < 0) return QStringLiteral("%1").arg(static_cast<qlonglong>(value), width, 10, QLatin1Char('0'));
    char digits[20];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    QString out;
    out.reserve(std::max(count, width));
    for (int i = count; i < width; ++i) out += QLatin1Char('0');
    while (count > 0) out += QLatin1Char(digits[--count]);
    return out;
}

QString minutesSeconds(std::int64_t seconds, const QString& separator) {
    return padded(seconds / 60, 2) + separator + padded(seconds % 60, 2);
}

std::u32string codePoints(const QString& text) {
    std::u32string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out.push_back(QChar::surrogateToUcs4(c, text.at(i + 1)));
            ++i;
        } else {
            out.push_back(c.unicode());
        }
    }
    return out;
}

}  // namespace

QString lengthText(double duration) {
    return QStringLiteral("/") + minutesSeconds(roundHalfEven(sane(duration)), QStringLiteral("'"));
}

QString deckTimeText(double position, double duration, bool countdown) {
    const double t = sane(countdown ? duration - position : position);
    const double whole = std::floor(t);
    const auto ms = std::min<std::int64_t>(
        999, static_cast<std::int64_t>(std::floor((t - whole) * 1000.0 + kMillisecondSlack)));
    return minutesSeconds(static_cast<std::int64_t>(whole), QStringLiteral("'")) + QStringLiteral("''") +
           padded(ms, 3);
}

QString barTimeText(double position) {
    return minutesSeconds(static_cast<std::int64_t>(std::floor(sane(position))), QStringLiteral(":"));
}

QString taskbarCaption(double position, const QString& title) {
    return barTimeText(position) + QStringLiteral("  ") + title;
}

double cutToMilliseconds(double seconds) {
    if (!std::isfinite(seconds)) return 0.0;
    return std::floor(seconds * 1000.0 + kMillisecondSlack) / 1000.0;
}

MarqueeFrame marqueeStep(const QString& title, int& rollcount, MarqueeShape shape) {
    const std::u32string chars = codePoints(title);
    const std::size_t found = chars.find(U'.');
    const long long dot = found == std::u32string::npos ? 0 : static_cast<long long>(found) + 1;
    if (dot <= shape.threshold) return {};

    const long long count = std::max(rollcount, 0);
    const auto first = static_cast<std::size_t>(count / 10);
    MarqueeFrame frame;
    frame.changed = true;
    if (first < chars.size()) {
        const std::size_t length =
            std::min(static_cast<std::size_t>(std::max(shape.width, 0)), chars.size() - first);
        frame.text = QString::fromUcs4(chars.data() + first, static_cast<qsizetype>(length));
    }
    const long long next = count + 1;
    rollcount = next / 10 > dot - shape.threshold ? 0 : static_cast<int>(next);
    return frame;
}

}  // namespace korvex::deck
