#pragma once

// The colours and text settings that make one shipped skin. Every painting routine takes a Palette, so a
// new skin is a new Palette and nothing else.

#include <QColor>
#include <QString>

#include <vector>

namespace korvex::skinpainter {

struct Palette {
    QString name;  // skin folder name

    // Hardware surfaces.
    QColor base;         // the chassis seen in the gaps between plates
    QColor plateTop;     // plate gradient, top
    QColor plateBottom;  // plate gradient, bottom
    QColor rimLight;     // bevel highlight
    QColor rimDark;      // bevel shadow
    int brushAmplitude;  // strength of the brushed-metal streaks (alpha, 0..255)
    bool lightSurface;   // dark print on a light plate instead of light print on a dark one

    // Print on the plates.
    QColor silk;     // labels
    QColor silkDim;  // scales and secondary labels

    // Lights.
    QColor accent;   // LEDs, selected and active looks, indicator lines
    QColor cueLit;   // the CUE button while lit
    QColor playLit;  // the Play/Pause button while playing
    QColor recLit;   // recording and closing

    // Keys and caps.
    QColor capTop;
    QColor capBottom;
    QColor capEdge;
    QColor glyph;

    // Wells, slots and displays.
    QColor well;
    QColor lcdTop;
    QColor lcdBottom;
    QColor metalLight;  // jog rim and knob metal
    QColor metalDark;
    QColor rubber;  // jog platter and knob bodies
    QColor needle;  // the trim needle the window draws over the knob (used by the preview)

    // font.txt: sizes in points, the font, text colours and the song lists' background.
    int displaySize;
    int slotSize;
    int listSize;
    QString fontName;
    QColor displayText[2];
    QColor slotText;
    QColor listText[2];
    QColor listBack;
};

// The shipped skins; the first is the default.
const std::vector<Palette>& palettes();

// The skin's font.txt: sixteen lines, CR LF ends, colours as red + green·256 + blue·65536.
QString fontTxt(const Palette& pal);

}  // namespace korvex::skinpainter
