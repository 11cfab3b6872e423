#pragma once
// The artist and title a music file carries in its tags (ID3v1 and ID3v2, Vorbis comments, MP4 atoms,
// ASF/WMA attributes, RIFF INFO), read through FFmpeg's demuxer without decoding any audio.
//
// The texts come as FFmpeg gives them: usually UTF-8, but a tag written in another encoding (Shift-JIS
// in a Vorbis comment, say) arrives as its raw bytes, and ID3 texts marked Latin-1 arrive converted from
// Latin-1 whatever they really were. Making display text of them is the caller's business.

#include <atomic>
#include <string>

namespace korvex::decode {

struct SongTags {
    std::string artist;
    std::string title;
};

// What the music library keeps of a song besides: album, genre, the year or date as tagged, and the length
// the header tells (stated, or reckoned from the bit rate) in seconds, below 0 when it tells none.
struct SongDetails {
    std::string album;
    std::string genre;
    std::string date;
    double seconds = -1.0;
};

// Reads the tags of the file at `path` (UTF-8). False when the file cannot be opened as a music file
// (a folder, a pipe or a device is refused without waiting on it); true with empty texts when it has no
// tags. Blocks for the file's header only, at most a few seconds on a stalled disk, and gives up as soon as
// `stop` (when given) is set; safe on any thread. `details`, when given, gets the rest of what the header
// tells.
bool readSongTags(const std::string& path, SongTags& tags, const std::atomic<bool>* stop = nullptr,
                  SongDetails* details = nullptr);

}  // namespace korvex::decode
