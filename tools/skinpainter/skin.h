#pragma once

// One skin's complete set of pictures, painted in memory: backgrounds first, then the keys and caps, each
// key painted over the part of its panel it covers so its rounded corners blend in.

#include "palette.h"

#include <QImage>

#include <map>
#include <string>
#include <string_view>

namespace korvex::skinpainter {

// File name ("cue1.bmp", "jog.ico" ...) to picture.
using Images = std::map<std::string, QImage>;

Images paintSkin(const Palette& pal);

// The part of the already painted panel that lies under the first control showing this bitmap.
QImage backgroundUnder(const Images& images, std::string_view bitmap);

// Parts of paintSkin, by area.
void paintButtons(const Palette& pal, Images& images);
void paintKnobs(const Palette& pal, Images& images);

}  // namespace korvex::skinpainter
