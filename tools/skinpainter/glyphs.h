#pragma once

// The small symbols printed on keys: transport, search, list editing, window buttons and the fader
// pattern curves. Each is drawn filled or stroked, antialiased, centred in a box.

#include <QColor>
#include <QPainter>
#include <QRectF>

namespace korvex::skinpainter {

enum class Glyph {
    kNone,
    kPlay,
    kPlayPause,
    kStop,
    kSearchBack,
    kSearchForward,
    kPreviousSong,
    kNextSong,
    kPlus,
    kMinus,
    kUp,
    kDown,
    kArrowLeft,
    kArrowRight,
    kJumpLeft,
    kJumpRight,
    kSwitch,
    kCentre,
    kClose,
    kMinimise,
    kToBar,
    kRecord,
    kSave,
    kLock,
    kHeadphones,
};

// Draws a glyph filling at most the box, keeping its own proportions.
void drawGlyph(QPainter& p, Glyph glyph, const QRectF& box, const QColor& colour);

// The level curves of a crossfader pattern (0, 1, 2 as the pattern table's defaults; 3 the cut-in jump):
// deck A's level falling from left to right, deck B's rising.
void drawFaderCurve(QPainter& p, int pattern, const QRectF& box, const QColor& deckA, const QColor& deckB);

}  // namespace korvex::skinpainter
