#pragma once
// Tooltips in one pair of colours, dark text on a pale ground, whatever the skin. A style sheet rule without
// a selector ("color: ...") reaches the widget's tooltip as well, and the skins' light captions (orange,
// pale blue) on a tooltip's pale ground could not be read: a label's colour is given to labels only, and
// the sheet names the tooltip's colours itself.

#include <QColor>
#include <QString>

namespace korvex::appearance {

// The tooltip's text, ground and border.
inline const QColor kTooltipText{0x00, 0x00, 0x00};
inline const QColor kTooltipGround{0xff, 0xff, 0xdc};
inline const QColor kTooltipBorder{0x76, 0x76, 0x76};

// Gives the tooltips of widgets without a style sheet these colours.
void applyTooltipPalette();
// The style sheet rule that keeps a widget's tooltip in these colours.
QString tooltipRule();
// The style sheet of a label with text of `colour`, its tooltip kept readable.
QString labelColourSheet(const QColor& colour);

}  // namespace korvex::appearance
