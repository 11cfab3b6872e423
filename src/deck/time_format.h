#pragma once
// The deck's time texts and title marquees.
//
// Why it is shaped this way: every text here is a pure function of a few numbers, so the displays, the mini
// bar and the saved memories read the same everywhere and a test can check each character. The marquees
// keep no state of their own: a deck's three marquees (file label, deck display, top bar) share one tick
// counter, which the caller owns and passes in, so one function serves all three.
//
// Characters are counted as Unicode code points, so a title is never cut in the middle of a character.

#include <QString>

namespace korvex::deck {

// The length label: "/" + minutes + "'" + seconds of the duration rounded to whole seconds (halves to
// even), e.g. 205.4 s -> "/03'25". Minutes and seconds have at least two digits.
QString lengthText(double duration);

// The deck display: minutes "'" seconds "''" milliseconds of the position, or of the time left when
// `countdown` is set; never rounded up (59.9995 s -> "00'59''999"). Time left below zero shows zero.
QString deckTimeText(double position, double duration, bool countdown);

// The mini bar's time: whole minutes ":" seconds of the position, e.g. "02:05".
QString barTimeText(double position);

// The window caption while minimised: the bar time, two blanks and the title.
QString taskbarCaption(double position, const QString& title);

// Cuts a position to whole milliseconds (towards minus infinity), as cue targets are before a seek.
// Binary fractions within a nanosecond of a whole millisecond count as that millisecond, so "1.005" stays
// 1.005 and does not become 1.004.
double cutToMilliseconds(double seconds);

// A marquee's window width and the position of the title's first "." at or below which it stays still.
struct MarqueeShape {
    int width;
    int threshold;
};

// The file label under the deck, while the deck plays.
inline constexpr MarqueeShape kFileLabelMarquee{19, 16};
// The deck display, while a freshly loaded title waits.
inline constexpr MarqueeShape kDeckDisplayMarquee{11, 8};
// The title bar of the mini bar.
inline constexpr MarqueeShape kTopBarMarquee{13, 10};

// One tick of a marquee over `title`. When the title's first "." lies beyond the threshold, returns the
// window of `shape.width` characters starting at character (rollcount / 10) + 1 (1-based), advances
// `rollcount` and starts it over once the dot has come into the window; `changed` is then true. Otherwise
// `changed` is false, the label keeps its text and `rollcount` is untouched.
struct MarqueeFrame {
    bool changed = false;
    QString text;
};
MarqueeFrame marqueeStep(const QString& title, int& rollcount, MarqueeShape shape);

}  // namespace korvex::deck
