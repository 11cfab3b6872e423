#include "appearance/ui/tooltip_style.h"

#include <QPalette>
#include <QToolTip>

namespace korvex::appearance {

void applyTooltipPalette() {
    QPalette palette = QToolTip::palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::ToolTipText, kTooltipText);
        palette.setColor(group, QPalette::ToolTipBase, kTooltipGround);
    }
    QToolTip::setPalette(palette);
}

QString tooltipRule() {
    return QStringLiteral("QToolTip { color: %1; background-color: %2; border: 1px solid %3; padding: 1px; }")
        .arg(kTooltipText.name(), kTooltipGround.name(), kTooltipBorder.name());
}

QString labelColourSheet(const QColor& colour) {
    return QStringLiteral("QLabel { color: %1; } ").arg(colour.name()) + tooltipRule();
}

}  // namespace korvex::appearance
