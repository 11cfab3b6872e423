// A skin's font.txt on arbitrary bytes: the reader may refuse it, but what it accepts has sizes a font can
// take.

#include <QByteArray>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "appearance/font_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (const auto settings = korvex::appearance::parseFontSettings(bytes)) {
        for (const double s : settings->sizes) {
            if (!std::isfinite(s)) std::abort();
        }
    }
    return 0;
}
