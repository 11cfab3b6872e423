#include "platform/analysis/analyze_file.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <memory>
#include <vector>

#include "platform/analysis/analyzer.h"
#include "platform/audio/realtime.h"
#include "platform/decode/decoded_audio.h"
#include "platform/decode/decoder.h"
#include "platform/decode/refusal.h"

namespace korvex::analysis {
namespace {

// Everything is analysed at one rate, so the tracker's hop is the same length in every song.
constexpr int kRate = 44100;

bool cancelled(const std::atomic<bool>* cancel) {
    return cancel != nullptr && cancel->load(std::memory_order_relaxed);
}

// FFmpeg's contexts for one file, freed however the analysis ends.
struct FfmpegFile {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    SwrContext* swr = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    ~FfmpegFile() {
        av_packet_free(&packet);
        av_frame_free(&frame);
        swr_free(&swr);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
    }
};

std::optional<TrackAnalysis> analyzeWithFfmpeg(const std::string& path, std::string& error,
                                               const std::atomic<bool>* cancel) {
    av_log_set_level(AV_LOG_QUIET);
    FfmpegFile f;
    if (avformat_open_input(&f.format, path.c_str(), nullptr, nullptr) < 0 ||
        avformat_find_stream_info(f.format, nullptr) < 0) {
        error = "not a music file this program reads";
        return std::nullopt;
    }
    const AVCodec* decoder = nullptr;
    const int stream = av_find_best_stream(f.format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (stream < 0 || decoder == nullptr) {
        error = "no audio in the file";
        return std::nullopt;
    }
    for (unsigned i = 0; i < f.format->nb_streams; ++i)
        if (static_cast<int>(i) != stream) f.format->streams[i]->discard = AVDISCARD_ALL;
    f.codec = avcodec_alloc_context3(decoder);
    if (f.codec == nullptr ||
        avcodec_parameters_to_context(f.codec, f.format->streams[stream]->codecpar) < 0 ||
        avcodec_open2(f.codec, decoder, nullptr) < 0 || f.codec->sample_rate <= 0 ||
        f.codec->ch_layout.nb_channels <= 0) {
        error = "an audio format this program has no decoder for";
        return std::nullopt;
    }
    if (f.codec->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&f.codec->ch_layout, f.codec->ch_layout.nb_channels);
    f.frame = av_frame_alloc();
    f.packet = av_packet_alloc();
    if (f.frame == nullptr || f.packet == nullptr) {
        error = "out of memory";
        return std::nullopt;
    }

    Analyzer analyzer(kRate);
    std::vector<float> out;
    // The converter follows the frames: a song whose format changes part-way gets a new one.
    AVChannelLayout swrLayout{};
    int swrFormat = -1, swrRate = 0;
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    auto convert = [&](AVFrame* frame) -> bool {
        if (f.swr == nullptr || frame->format != swrFormat || frame->sample_rate != swrRate ||
            av_channel_layout_compare(&frame->ch_layout, &swrLayout) != 0) {
            swr_free(&f.swr);
            if (swr_alloc_set_opts2(&f.swr, &stereo, AV_SAMPLE_FMT_FLT, kRate, &frame->ch_layout,
                                    static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0,
                                    nullptr) < 0 ||
                swr_init(f.swr) < 0)
                return false;
            av_channel_layout_uninit(&swrLayout);
            av_channel_layout_copy(&swrLayout, &frame->ch_layout);
            swrFormat = frame->format;
            swrRate = frame->sample_rate;
        }
        const int room = swr_get_out_samples(f.swr, frame->nb_samples);
        if (room <= 0) return true;
        out.resize(static_cast<std::size_t>(room) * 2);
        auto* dst = reinterpret_cast<std::uint8_t*>(out.data());
        const int made = swr_convert(f.swr, &dst, room, const_cast<const std::uint8_t**>(frame->extended_data),
                                     frame->nb_samples);
        if (made > 0) analyzer.feed(out.data(), static_cast<std::size_t>(made));
        return true;
    };
    auto drain = [&]() -> bool {
        while (avcodec_receive_frame(f.codec, f.frame) == 0) {
            const bool ok = f.frame->ch_layout.nb_channels > 0 ? convert(f.frame) : true;
            av_frame_unref(f.frame);
            if (!ok) return false;
        }
        return true;
    };
    bool decodedAny = false;
    while (av_read_frame(f.format, f.packet) >= 0) {
        if (cancelled(cancel)) {
            av_channel_layout_uninit(&swrLayout);
            error = "cancelled";
            return std::nullopt;
        }
        if (f.packet->stream_index == stream) {
            // A damaged packet is skipped, as the decks skip it.
            if (avcodec_send_packet(f.codec, f.packet) == 0) decodedAny = true;
            if (!drain()) {
                av_packet_unref(f.packet);
                av_channel_layout_uninit(&swrLayout);
                error = "an audio format this program has no converter for";
                return std::nullopt;
            }
        }
        av_packet_unref(f.packet);
    }
    avcodec_send_packet(f.codec, nullptr);
    drain();
    av_channel_layout_uninit(&swrLayout);
    if (!decodedAny) {
        error = "nothing in the file could be decoded";
        return std::nullopt;
    }
    TrackAnalysis result = analyzer.finish();
    if (result.duration <= 0.0) {
        error = "nothing in the file could be decoded";
        return std::nullopt;
    }
    return result;
}

// MIDI songs: rendered by the same synthesiser the decks use, read as it renders.
std::optional<TrackAnalysis> analyzeMidi(const std::string& path, std::string& error,
                                         const std::atomic<bool>* cancel) {
    decode::TrackInfo info;
    decode::Refusal refusal;
    std::unique_ptr<decode::Decoder> decoder = decode::openMidiDecoder(path, kRate, info, refusal);
    if (!decoder) {
        error = decode::englishText(refusal);
        return std::nullopt;
    }
    // The renderer writes into a deck's block store; the analysis reads each block as it fills and then
    // lets it go (the play head follows the reading, so the blocks behind it are the ones dropped).
    decode::DecodedAudio audio(info.sampleRate, 8);
    Analyzer analyzer(info.sampleRate);
    std::vector<float> piece(2 * 4096);
    std::int64_t read = 0;
    bool more = true;
    while (more) {
        if (cancelled(cancel)) {
            error = "cancelled";
            return std::nullopt;
        }
        more = decoder->decodeSome(audio);
        const auto available = static_cast<std::int64_t>(audio.availableFrames());
        while (read < available) {
            const auto count = static_cast<std::size_t>(std::min<std::int64_t>(4096, available - read));
            audio.readFloat_rt(read, count, piece.data());
            analyzer.feed(piece.data(), count);
            read += static_cast<std::int64_t>(count);
            audio.setPlayHead_rt(read);
        }
    }
    TrackAnalysis result = analyzer.finish();
    if (result.duration <= 0.0) {
        error = "nothing in the file could be decoded";
        return std::nullopt;
    }
    return result;
}

bool isMidi(const std::string& path) {
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos) return false;
    std::string ending = path.substr(dot + 1);
    for (char& c : ending) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ending == "mid" || ending == "midi";
}

}  // namespace

std::optional<TrackAnalysis> analyzeFile(const std::string& path, std::string& error,
                                         const std::atomic<bool>* cancel) {
    audio::assertNotRealtime();
    decode::Refusal refusal;
    if (!decode::checkOrdinaryFile(path, refusal)) {
        error = decode::englishText(refusal);
        return std::nullopt;
    }
    try {
        return isMidi(path) ? analyzeMidi(path, error, cancel) : analyzeWithFfmpeg(path, error, cancel);
    } catch (const std::bad_alloc&) {
        error = "out of memory";
        return std::nullopt;
    }
}

}  // namespace korvex::analysis
