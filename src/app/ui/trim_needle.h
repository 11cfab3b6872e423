#pragma once
// The trim knob's needle: a 2-pixel line from the knob's centre to the end point the mixer places. It
// takes no mouse input; the knob base under it does.

#include <QColor>
#include <QPointF>
#include <QWidget>

namespace korvex::app {

class TrimNeedle : public QWidget {
public:
    // `boxTwips` is the trim base's box on its panel; the needle turns around the box's centre.
    TrimNeedle(QWidget* parent, const QRect& boxTwips);

    // Moves the free end to (x2, y2), panel twips.
    void setEnd(double x2, double y2);
    QPointF end() const { return end_; }
    void setColour(const QColor& colour);
    const QColor& colour() const { return colour_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect box_;
    QPointF end_;
    QColor colour_{255, 176, 80};
};

}  // namespace korvex::app
