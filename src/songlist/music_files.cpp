#include "songlist/music_files.h"

#include <array>

namespace korvex::songlist {

namespace {

constexpr std::array<const char*, 2> kMp3{"audio/mpeg", "audio/x-mp3"};
constexpr std::array<const char*, 3> kWav{"audio/wav", "audio/x-wav", "audio/vnd.wave"};
constexpr std::array<const char*, 2> kMid{"audio/midi", "audio/x-midi"};
constexpr std::array<const char*, 1> kWma{"audio/x-ms-wma"};
constexpr std::array<const char*, 1> kMpg{"video/mpeg"};
constexpr std::array<const char*, 2> kFlac{"audio/flac", "audio/x-flac"};
constexpr std::array<const char*, 3> kOgg{"audio/ogg", "audio/x-vorbis+ogg", "audio/x-flac+ogg"};
constexpr std::array<const char*, 2> kOpus{"audio/x-opus+ogg", "audio/opus"};
constexpr std::array<const char*, 2> kM4a{"audio/mp4", "audio/x-m4a"};
constexpr std::array<const char*, 1> kMp4{"video/mp4"};
constexpr std::array<const char*, 2> kAac{"audio/aac", "audio/x-aac"};
constexpr std::array<const char*, 2> kAiff{"audio/x-aiff", "audio/aiff"};
constexpr std::array<const char*, 1> kWavPack{"audio/x-wavpack"};

// ".wmd" (a Windows Media download package) has always been taken by drops and folder scans; no desktop
// hands one to a music player, so it has no MIME type.
const std::array<MusicKind, 17> kKinds{{
    {".mp3", kMp3},   {".wav", kWav},   {".mid", kMid},   {".wmd", {}},     {".wma", kWma},   {".mpg", kMpg},
    {".flac", kFlac}, {".ogg", kOgg},   {".oga", kOgg},   {".opus", kOpus}, {".m4a", kM4a},   {".mp4", kMp4},
    {".aac", kAac},   {".aif", kAiff},  {".aiff", kAiff}, {".aifc", kAiff}, {".wv", kWavPack},
}};

}  // namespace

std::span<const MusicKind> musicKinds() {
    return kKinds;
}

bool hasMusicEnding(const QString& name) {
    for (const MusicKind& kind : kKinds)
        if (name.endsWith(QLatin1StringView(kind.ending), Qt::CaseInsensitive)) return true;
    return false;
}

QString musicFilter() {
    QString patterns;
    for (const MusicKind& kind : kKinds) patterns += u'*' + QLatin1StringView(kind.ending) + u';';
    return u'(' + patterns + QStringLiteral(")|") + patterns;
}

QStringList musicMimeTypes() {
    QStringList types;
    for (const MusicKind& kind : kKinds)
        for (const char* type : kind.mimeTypes)
            if (!types.contains(QLatin1StringView(type))) types << QLatin1StringView(type);
    return types;
}

}  // namespace korvex::songlist
