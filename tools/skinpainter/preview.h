#pragma once

#include "palette.h"
#include "skin.h"

#include <QImage>

namespace korvex::skinpainter {

// The main window with every panel shown and the recorder window beside it, built from the skin's
// pictures at the layout table's places, with sample texts in the displays and lists.
QImage composePreview(const Palette& pal, const Images& images);

}  // namespace korvex::skinpainter
