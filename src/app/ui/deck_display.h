#pragma once

#include <QGlyphRun>
#include <QLabel>
#include <QList>
#include <QString>
#include <QVector>

namespace korvex::app {

// A deck's big display. While a deck plays its time changes on every tick, and a label lays out and shapes
// its text anew for each paint: most of what a paint costs. A time is only digits and marks, and digits
// of one font take the same room, so this display lays out the time's shape once ("00'00''000") and
// paints each new time by putting the digits' glyphs in the places found. Anything else (a title, a
// message, a font whose digits differ in width) is painted as any label paints it.
class DeckDisplay : public QLabel {
public:
    explicit DeckDisplay(QWidget* parent);

    // Whether the last paint took the laid-out shape (for the tests).
    bool paintedFromShape() const { return paintedFromShape_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The text with every digit as '0', or empty when the text is not a time.
    static QString shapeOf(const QString& text);
    // Lays out `shape`; runs_ stays empty when its digits cannot be swapped in place.
    void layOut(const QString& shape);

    QString shape_;               // the shape laid out, empty when none is
    QList<QGlyphRun> runs_;       // its glyphs and their places, from the line's origin
    QVector<quint32> digits_;     // the glyph of each digit '0' to '9'
    qreal advance_ = 0;           // the line's advance
    qreal height_ = 0;            // the line's height
    bool paintedFromShape_ = false;
};

}  // namespace korvex::app
