#pragma once
// A skin's font.txt and the fonts and colours the main window's texts show.
//
// font.txt holds sixteen lines in a fixed order: five sizes, five names, five text colours and the song
// lists' background. Colours are 32-bit values with red in the low byte. `loadfonts` applies the file line
// by line to what the window shows and stops at the first line it cannot use: the lines before it stay
// applied, the rest keep what they had, and the labels around the deck displays take the display's colour
// only when the whole file was read. So the state lives here (DisplayFonts), not in the file, and the
// window draws it.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>

namespace korvex::appearance {

// The sixteen values of font.txt, as the controls hold them.
struct FontSettings {
    // Point sizes: deck A display (`text2`(0)), deck B display, slot labels (`Text1`), deck A list
    // (`List1`(0)), deck B list.
    std::array<double, 5> sizes{15, 15, 9, 9, 9};
    // Font names in the same order.
    std::array<QString, 5> names{};
    // Text colours: deck A display, deck B display, slot labels, deck A song list (`title1`(0)), deck B
    // song list.
    std::array<std::uint32_t, 5> colours{0x3CA8FF, 0x3CA8FF, 0x7AC3FF, 0xC0DDF2, 0xC0DDF2};
    // Background of both song lists.
    std::uint32_t listBackground = 0x0D1215;
    bool operator==(const FontSettings&) const = default;
};

// What the main window's texts show.
struct DisplayFonts {
    // The controls font.txt is read into and written from.
    FontSettings controls;
    // `lbfilename`, `modelabel`, `Pitchper` and `Keyfocus` of each deck.
    std::array<std::uint32_t, 2> labelColours{0x3CA8FF, 0x3CA8FF};
    // `Totaltime` of each deck: only `loadfonts` changes it.
    std::array<std::uint32_t, 2> totaltimeColours{0x3CA8FF, 0x3CA8FF};
    bool operator==(const DisplayFonts&) const = default;
};

// Largest point size a font control takes.
inline constexpr double kMaxFontSize = 2160.0;

// `loadfonts` on a font.txt's bytes (UTF-8, or CP932 when they are not valid UTF-8): applies its lines in
// order until one is missing or unusable (a size that is not a number in 0 < size <= kMaxFontSize, an empty
// name, a colour that is not a 32-bit number; blanks around numbers are ignored). When all sixteen were
// applied, the deck labels and the length labels take deck A's display colour. Returns the number of lines
// applied.
int applyFontFile(const QByteArray& bytes, DisplayFonts& fonts);
// `loadfonts` on the file at `path`: a file that cannot be read changes nothing. True when all sixteen
// lines were applied.
bool loadfonts(const QString& path, DisplayFonts& fonts);

// The whole of a font.txt; empty when it is incomplete or a line is unusable.
std::optional<FontSettings> parseFontSettings(const QByteArray& bytes);
std::optional<FontSettings> readFontSettings(const QString& path);

// The sixteen lines of a font.txt for `settings`.
QStringList fontFileLines(const FontSettings& settings);
// Writes font.txt to `path` (CR LF ends, UTF-8), creating its folder when needed; the old file is replaced
// only once the new one is complete. True on success.
bool writeFontFile(const QString& path, const FontSettings& settings);

// Red, green and blue of a colour value (red in the low byte).
inline int redOf(std::uint32_t c) {
    return static_cast<int>(c & 0xFF);
}
inline int greenOf(std::uint32_t c) {
    return static_cast<int>((c >> 8) & 0xFF);
}
inline int blueOf(std::uint32_t c) {
    return static_cast<int>((c >> 16) & 0xFF);
}
// A colour value from red, green and blue.
inline std::uint32_t colourValue(int red, int green, int blue) {
    return static_cast<std::uint32_t>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}

}  // namespace korvex::appearance
