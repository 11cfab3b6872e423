#pragma once
// The program's icon for the desktop's menus, painted in a skin's style.

#include <QImage>

#include "palette.h"

namespace korvex::skinpainter {

// A `size` x `size` icon with a transparent surround.
QImage appIcon(const Palette& pal, int size);

}  // namespace korvex::skinpainter
