#pragma once

// The large pictures: the player panel with every knob's scale and track, the sampler strip, the song-list
// panel, the title bar and the recorder's background.

#include "palette.h"

#include <QImage>

namespace korvex::skinpainter {

QImage paintPlayerPanel(const Palette& pal);
QImage paintSamplerStrip(const Palette& pal);
QImage paintListPanel(const Palette& pal);
QImage paintTitleBar(const Palette& pal);
QImage paintRecorderBase(const Palette& pal);
// The waveform overview's empty strip: a dark glass slot the window draws the song's waveform on.
QImage paintWaveStrip(const Palette& pal);

}  // namespace korvex::skinpainter
