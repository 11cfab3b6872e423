#include "platform/recording_formats.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

namespace korvex {

namespace {

std::string lowerEnding(const std::string& path) {
    const auto dot = path.find_last_of('.');
    const auto slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ending = path.substr(dot);
    std::transform(ending.begin(), ending.end(), ending.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ending;
}

// libsndfile's major format and subtype for `format`, given the take's own subtype (its bits).
int sndfileFormat(SaveFormat format, int waveSubtype) {
    switch (format) {
        case SaveFormat::Flac: {
            // FLAC keeps the take's own sample size: 8, 16 or 24 bits (a float take becomes 24 bits).
            const int bits = waveSubtype == SF_FORMAT_PCM_U8 || waveSubtype == SF_FORMAT_PCM_S8
                                 ? SF_FORMAT_PCM_S8
                             : waveSubtype == SF_FORMAT_PCM_16 ? SF_FORMAT_PCM_16
                                                               : SF_FORMAT_PCM_24;
            return SF_FORMAT_FLAC | bits;
        }
        case SaveFormat::Mp3:
            return SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
        case SaveFormat::OggVorbis:
            return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
        case SaveFormat::Wave:
            break;
    }
    return SF_FORMAT_WAV | waveSubtype;
}

// Frames converted per step: a tenth of a second at 44.1 kHz.
constexpr sf_count_t kStepFrames = 4410;

}  // namespace

SaveFormat saveFormatFor(const std::string& path) {
    const std::string ending = lowerEnding(path);
    if (ending == ".flac") return SaveFormat::Flac;
    if (ending == ".mp3") return SaveFormat::Mp3;
    if (ending == ".ogg") return SaveFormat::OggVorbis;
    return SaveFormat::Wave;
}

bool hasSaveEnding(const std::string& path) {
    const std::string ending = lowerEnding(path);
    return ending == ".wav" || ending == ".flac" || ending == ".mp3" || ending == ".ogg";
}

bool convertRecording(const std::string& wavPath, const std::string& outPath, SaveFormat format,
                      const std::function<bool(double)>& progress, std::string& error) {
    SF_INFO inInfo{};
    SNDFILE* in = sf_open(wavPath.c_str(), SFM_READ, &inInfo);
    if (in == nullptr) {
        error = "cannot read the recording " + wavPath + ": " + sf_strerror(nullptr);
        return false;
    }
    SF_INFO outInfo{};
    outInfo.samplerate = inInfo.samplerate;
    outInfo.channels = inInfo.channels;
    outInfo.format = sndfileFormat(format, inInfo.format & SF_FORMAT_SUBMASK);
    const std::string part = outPath + ".part";
    SNDFILE* out = sf_format_check(&outInfo) ? sf_open(part.c_str(), SFM_WRITE, &outInfo) : nullptr;
    if (out == nullptr) {
        error = "cannot write " + outPath + ": " +
                (sf_format_check(&outInfo) ? std::string(sf_strerror(nullptr))
                                           : "the format does not take " + std::to_string(inInfo.samplerate) +
                                                 " Hz with " + std::to_string(inInfo.channels) + " channels");
        sf_close(in);
        return false;
    }
    if (format == SaveFormat::Mp3) {
        // A constant 320 kbit/s at 44.1 and 48 kHz (LAME picks the nearest rate it has for lower sample
        // rates).
        int mode = SF_BITRATE_MODE_CONSTANT;
        sf_command(out, SFC_SET_BITRATE_MODE, &mode, sizeof mode);
        double level = 0.0;
        sf_command(out, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level);
    } else if (format == SaveFormat::OggVorbis) {
        // Vorbis quality 8 of 10 (about 256 kbit/s for stereo music).
        double quality = 0.8;
        sf_command(out, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof quality);
    }
    // Through whole numbers: PCM samples then pass bit for bit (a float path rescales 16-bit values).
    std::vector<int> buffer(static_cast<std::size_t>(kStepFrames * inInfo.channels));
    sf_count_t done = 0;
    bool ok = true;
    while (ok) {
        const sf_count_t got = sf_readf_int(in, buffer.data(), kStepFrames);
        if (got <= 0) break;
        if (sf_writef_int(out, buffer.data(), got) != got) {
            error = "cannot write " + outPath + ": " + sf_strerror(out);
            ok = false;
            break;
        }
        done += got;
        if (progress && inInfo.frames > 0 &&
            !progress(std::min(1.0, static_cast<double>(done) / static_cast<double>(inInfo.frames)))) {
            error = "cancelled";
            ok = false;
        }
    }
    sf_close(in);
    // Closing flushes the encoder's last frames: a failure there is a failed save too.
    if (sf_close(out) != 0 && ok) {
        error = "cannot write " + outPath + ": the disk may be full";
        ok = false;
    }
    if (ok && std::rename(part.c_str(), outPath.c_str()) != 0) {
        error = "cannot put " + outPath + " in place";
        ok = false;
    }
    if (!ok) std::remove(part.c_str());
    return ok;
}

}  // namespace korvex
