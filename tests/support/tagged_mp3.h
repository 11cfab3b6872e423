#pragma once
// Many small tagged MP3 files, fast: one short MP3 made by the ffmpeg command (without tags), and each file
// that MP3 behind an ID3v2.4 tag of its own (UTF-8 texts), written here.

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace korvex::test {

// The frames of a `seconds` long MP3 tone without any tag, made once per process in `folder`.
inline const std::string& plainMp3Frames(const std::string& folder, double seconds = 0.3) {
    static std::string frames;
    if (!frames.empty()) return frames;
    const std::string path = folder + "/plain-tone.mp3";
    const std::string command =
        "ffmpeg -hide_banner -loglevel error -y -f lavfi -i sine=d=" + std::to_string(seconds) +
        " -ac 1 -b:a 32k -id3v2_version 0 '" + path + "'";
    if (std::system(command.c_str()) != 0) return frames;
    std::ifstream in(path, std::ios::binary);
    frames.assign(std::istreambuf_iterator<char>(in), {});
    std::remove(path.c_str());
    return frames;
}

// A synchsafe 28-bit size, as ID3v2.4 writes sizes.
inline std::string synchsafe(std::size_t n) {
    return {static_cast<char>((n >> 21) & 0x7f), static_cast<char>((n >> 14) & 0x7f),
            static_cast<char>((n >> 7) & 0x7f), static_cast<char>(n & 0x7f)};
}

// Writes `frames` behind an ID3v2.4 tag of the given text frames ({"TIT2", "Title"}, {"TPE1", ...}, TALB,
// TCON, TDRC); false when the file cannot be written.
inline bool writeTaggedMp3(const std::string& path, const std::string& frames,
                           const std::vector<std::pair<std::string, std::string>>& texts) {
    std::string body;
    for (const auto& [id, text] : texts) {
        const std::string payload = std::string(1, '\x03') + text;  // UTF-8
        body += id + synchsafe(payload.size()) + std::string(2, '\0') + payload;
    }
    const std::string header = std::string("ID3\x04\x00\x00", 6) + synchsafe(body.size());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << header << body << frames;
    return static_cast<bool>(out);
}

}  // namespace korvex::test
