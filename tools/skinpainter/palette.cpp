#include "palette.h"

#include <QStringList>

namespace korvex::skinpainter {
namespace {

Palette orange() {
    Palette p;
    p.name = QStringLiteral("orange");
    p.base = QColor(0x101113);
    p.plateTop = QColor(0x35373c);
    p.plateBottom = QColor(0x24262a);
    p.rimLight = QColor(0x5d6067);
    p.rimDark = QColor(0x08090a);
    p.brushAmplitude = 9;
    p.lightSurface = false;
    p.silk = QColor(0xcfd2d7);
    p.silkDim = QColor(0x8a8e96);
    p.accent = QColor(0xff8a1c);
    p.cueLit = QColor(0xffb224);
    p.playLit = QColor(0x5fe05a);
    p.recLit = QColor(0xff3b2f);
    p.capTop = QColor(0x484b52);
    p.capBottom = QColor(0x2c2e33);
    p.capEdge = QColor(0x09090b);
    p.glyph = QColor(0xdfe2e6);
    p.well = QColor(0x0b0b0d);
    p.lcdTop = QColor(0x1d1409);
    p.lcdBottom = QColor(0x0c0905);
    p.metalLight = QColor(0xd7dade);
    p.metalDark = QColor(0x5b5f66);
    p.rubber = QColor(0x1b1c1f);
    p.needle = QColor(0xff9a30);
    p.displaySize = 15;
    p.slotSize = 9;
    p.listSize = 9;
    p.fontName = QStringLiteral("Noto Sans CJK JP");
    p.displayText[0] = QColor(0xffa83c);
    p.displayText[1] = QColor(0xffa83c);
    p.slotText = QColor(0xffc27a);
    p.listText[0] = QColor(0xf2dcc0);
    p.listText[1] = QColor(0xf2dcc0);
    p.listBack = QColor(0x15110d);
    return p;
}

Palette steel() {
    Palette p;
    p.name = QStringLiteral("steel");
    p.base = QColor(0x2f353d);
    p.plateTop = QColor(0x9aa4b0);
    p.plateBottom = QColor(0x76808c);
    p.rimLight = QColor(0xd5dce4);
    p.rimDark = QColor(0x2a3038);
    p.brushAmplitude = 12;
    p.lightSurface = true;
    p.silk = QColor(0x17202b);
    p.silkDim = QColor(0x34404e);
    p.accent = QColor(0x2f9dff);
    p.cueLit = QColor(0x8fdcff);
    p.playLit = QColor(0x4fe08a);
    p.recLit = QColor(0xff4036);
    p.capTop = QColor(0x4c5868);
    p.capBottom = QColor(0x2c3440);
    p.capEdge = QColor(0x121820);
    p.glyph = QColor(0xe8eef5);
    p.well = QColor(0x151a21);
    p.lcdTop = QColor(0x0c1a26);
    p.lcdBottom = QColor(0x060d14);
    p.metalLight = QColor(0xeef2f6);
    p.metalDark = QColor(0x6d7785);
    p.rubber = QColor(0x1f252d);
    p.needle = QColor(0x52b4ff);
    p.displaySize = 15;
    p.slotSize = 9;
    p.listSize = 9;
    p.fontName = QStringLiteral("Noto Sans CJK JP");
    p.displayText[0] = QColor(0x8ad8ff);
    p.displayText[1] = QColor(0x8ad8ff);
    p.slotText = QColor(0xbfe6ff);
    p.listText[0] = QColor(0xdde7f1);
    p.listText[1] = QColor(0xdde7f1);
    p.listBack = QColor(0x0f151c);
    return p;
}

// Red in the low byte, then green, then blue.
QString colourValue(const QColor& c) {
    const long value = static_cast<long>(c.red()) + 256L * c.green() + 65536L * c.blue();
    return QString::number(value);
}

}  // namespace

const std::vector<Palette>& palettes() {
    static const std::vector<Palette> all = {orange(), steel()};
    return all;
}

QString fontTxt(const Palette& pal) {
    QStringList lines;
    lines << QString::number(pal.displaySize) << QString::number(pal.displaySize)
          << QString::number(pal.slotSize) << QString::number(pal.listSize) << QString::number(pal.listSize);
    for (int i = 0; i < 5; ++i) lines << pal.fontName;
    lines << colourValue(pal.displayText[0]) << colourValue(pal.displayText[1]) << colourValue(pal.slotText)
          << colourValue(pal.listText[0]) << colourValue(pal.listText[1]) << colourValue(pal.listBack);
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

}  // namespace korvex::skinpainter
