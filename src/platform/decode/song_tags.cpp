#include "platform/decode/song_tags.h"

#include <chrono>
#include <cstdint>

#include "platform/decode/decoder.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
}

namespace korvex::decode {
namespace {

using Clock = std::chrono::steady_clock;

// A file's header that takes longer than this to read (a stalled share) has no tags worth waiting for.
constexpr auto kDeadline = std::chrono::seconds(5);

// What FFmpeg's reads are interrupted by.
struct Interrupt {
    Clock::time_point deadline;
    const std::atomic<bool>* stop;
};

int interrupted(void* opaque) {
    const auto* interrupt = static_cast<const Interrupt*>(opaque);
    const bool stopped = interrupt->stop != nullptr && interrupt->stop->load(std::memory_order_relaxed);
    return stopped || Clock::now() > interrupt->deadline ? 1 : 0;
}

// The first non-empty value of `key` (FFmpeg's common names, case-insensitive): the file's own tags,
// then the audio streams' (Ogg and Opus keep their comments on the stream).
std::string tagValue(const AVFormatContext* format, const char* key) {
    auto valueIn = [key](const AVDictionary* dict) -> std::string {
        const AVDictionaryEntry* entry = av_dict_get(dict, key, nullptr, 0);
        return entry != nullptr && entry->value != nullptr ? std::string(entry->value) : std::string();
    };
    if (std::string value = valueIn(format->metadata); !value.empty()) return value;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream* stream = format->streams[i];
        if (stream->codecpar->codec_type != AVMEDIA_TYPE_AUDIO) continue;
        if (std::string value = valueIn(stream->metadata); !value.empty()) return value;
    }
    return {};
}

// The length the header states (the container's, else the audio stream's), else one reckoned from the file's
// size and bit rate; -1 when none can be told without decoding.
double headerSeconds(AVFormatContext* format) {
    if (format->duration != AV_NOPTS_VALUE && format->duration > 0)
        return static_cast<double>(format->duration) / AV_TIME_BASE;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream* stream = format->streams[i];
        if (stream->codecpar->codec_type != AVMEDIA_TYPE_AUDIO) continue;
        if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
            return static_cast<double>(stream->duration) * av_q2d(stream->time_base);
        const std::int64_t bitRate = stream->codecpar->bit_rate > 0 ? stream->codecpar->bit_rate : format->bit_rate;
        const std::int64_t bytes = format->pb != nullptr ? avio_size(format->pb) : -1;
        if (bitRate > 0 && bytes > 0) return static_cast<double>(bytes) * 8.0 / static_cast<double>(bitRate);
    }
    return -1.0;
}

}  // namespace

bool readSongTags(const std::string& path, SongTags& tags, const std::atomic<bool>* stop, SongDetails* details) {
    tags = {};
    if (Refusal why; !checkOrdinaryFile(path, why)) return false;
    AVFormatContext* format = avformat_alloc_context();
    if (format == nullptr) return false;
    Interrupt interrupt{Clock::now() + kDeadline, stop};
    format->interrupt_callback.callback = interrupted;
    format->interrupt_callback.opaque = &interrupt;
    // Only the header: the demuxers read their tags there (an MP3's ID3v1 at the end included), and no
    // packet is decoded.
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return false;
    // A guess from the name alone reads nothing of the file worth showing.
    const bool believed = format->probe_score > AVPROBE_SCORE_RETRY;
    if (believed) {
        tags.artist = tagValue(format, "artist");
        if (tags.artist.empty()) tags.artist = tagValue(format, "album_artist");
        tags.title = tagValue(format, "title");
        if (details != nullptr) {
            *details = {};
            details->album = tagValue(format, "album");
            details->genre = tagValue(format, "genre");
            details->date = tagValue(format, "date");
            details->seconds = headerSeconds(format);
        }
    }
    avformat_close_input(&format);
    return believed;
}

}  // namespace korvex::decode
