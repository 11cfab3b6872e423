#pragma once
// A skin's font.txt: sizes, names and colours of the deck displays, the sampler slot labels and the song
// lists, sixteen lines in a fixed order. Colours are 32-bit values with red in the low byte.

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

namespace korvex::appearance {

struct FontSettings {
    // Point sizes: deck A display, deck B display, slot labels, deck A list, deck B list.
    std::array<double, 5> sizes{15, 15, 9, 9, 9};
    // Font names in the same order.
    std::array<QString, 5> names{};
    // Text colours: deck A display, deck B display, slot labels, deck A list, deck B list.
    std::array<std::uint32_t, 5> colours{0x3CA8FF, 0x3CA8FF, 0x7AC3FF, 0xC0DDF2, 0xC0DDF2};
    // Background of both song lists.
    std::uint32_t listBackground = 0x0D1215;
};

// Reads a font.txt; empty when the file cannot be read or a line is missing or malformed.
std::optional<FontSettings> readFontSettings(const QString& path);
// The same for a font.txt's bytes (UTF-8, or CP932 when they are not valid UTF-8). A size that is not a
// finite number counts as malformed.
std::optional<FontSettings> parseFontSettings(const QByteArray& bytes);

// Red, green and blue of a colour value (red in the low byte).
inline int redOf(std::uint32_t c) { return static_cast<int>(c & 0xFF); }
inline int greenOf(std::uint32_t c) { return static_cast<int>((c >> 8) & 0xFF); }
inline int blueOf(std::uint32_t c) { return static_cast<int>((c >> 16) & 0xFF); }

}  // namespace korvex::appearance
