// FFmpeg decoding of mp3, wav, wma, mpg (audio track) and anything else libavformat reads.
//
// The demuxer and codec are opened on the caller's thread so the duration and any error are known at
// once; the same context then moves to the track's worker thread. Output is 16-bit stereo at the file's
// rate (capped at 48 kHz to keep decoded tracks small); mono is duplicated to both channels at full level.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/decode/decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace korvex::decode {

namespace {

constexpr int kMaxRate = 48000;
// Consecutive undecodable packets after which a file counts as broken.
constexpr int kMaxBadPackets = 200;

std::string errorText(int code) {
    char buffer[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, buffer, sizeof buffer);
    return buffer;
}

class FfmpegDecoder final : public Decoder {
public:
    ~FfmpegDecoder() override {
        av_frame_free(&frame_);
        av_packet_free(&packet_);
        swr_free(&swr_);
        avcodec_free_context(&codec_);
        avformat_close_input(&format_);
    }

    bool open(const std::string& path, TrackInfo& info, std::string& error) {
        int rc = avformat_open_input(&format_, path.c_str(), nullptr, nullptr);
        if (rc < 0) {
            error = errorText(rc);
            return false;
        }
        // A guess from the file name alone is no reason to believe a file is music.
        if (format_->probe_score <= AVPROBE_SCORE_RETRY) {
            error = "not a recognisable music file";
            return false;
        }
        rc = avformat_find_stream_info(format_, nullptr);
        if (rc < 0) {
            error = errorText(rc);
            return false;
        }
        const AVCodec* codec = nullptr;
        stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
        if (stream_ < 0 || codec == nullptr) {
            error = "no playable audio track";
            return false;
        }
        for (unsigned i = 0; i < format_->nb_streams; ++i)
            if (static_cast<int>(i) != stream_) format_->streams[i]->discard = AVDISCARD_ALL;
        AVStream* stream = format_->streams[stream_];
        codec_ = avcodec_alloc_context3(codec);
        if (codec_ == nullptr || avcodec_parameters_to_context(codec_, stream->codecpar) < 0 ||
            avcodec_open2(codec_, codec, nullptr) < 0) {
            error = "the audio codec could not be opened";
            return false;
        }
        if (codec_->sample_rate <= 0 || codec_->ch_layout.nb_channels <= 0) {
            error = "the audio track has no sample rate or channels";
            return false;
        }
        if (codec_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&codec_->ch_layout, codec_->ch_layout.nb_channels);
        outRate_ = std::min(codec_->sample_rate, kMaxRate);
        mono_ = codec_->ch_layout.nb_channels == 1;
        AVChannelLayout outLayout;
        av_channel_layout_default(&outLayout, mono_ ? 1 : 2);
        rc = swr_alloc_set_opts2(&swr_, &outLayout, AV_SAMPLE_FMT_S16, outRate_, &codec_->ch_layout,
                                 codec_->sample_fmt, codec_->sample_rate, 0, nullptr);
        if (rc < 0 || swr_init(swr_) < 0) {
            error = "the audio format cannot be converted";
            return false;
        }
        frame_ = av_frame_alloc();
        packet_ = av_packet_alloc();

        info.sampleRate = outRate_;
        if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0)
            info.duration = static_cast<double>(format_->duration) / AV_TIME_BASE;
        else if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
            info.duration = static_cast<double>(stream->duration) * av_q2d(stream->time_base);
        return true;
    }

    bool decodeSome(DecodedAudio& out) override {
        if (ended_) return false;
        // Drain what the codec already holds before reading another packet.
        if (receiveFrames(out)) return true;
        if (ended_) return false;
        const int rc = av_read_frame(format_, packet_);
        if (rc < 0) {
            // End of file or a read error: flush the codec and the converter, then stop.
            if (rc != AVERROR_EOF && rc != AVERROR(EAGAIN)) readError_ = true;
            avcodec_send_packet(codec_, nullptr);
            draining_ = true;
            receiveFrames(out);
            flushConverter(out);
            ended_ = true;
            return false;
        }
        if (packet_->stream_index == stream_) {
            if (avcodec_send_packet(codec_, packet_) < 0) {
                if (++badPackets_ > kMaxBadPackets) {
                    readError_ = true;
                    ended_ = true;
                }
            } else {
                badPackets_ = 0;
            }
        }
        av_packet_unref(packet_);
        receiveFrames(out);
        return !ended_;
    }

    bool failed() const override { return readError_; }

private:
    // Pulls every frame the codec has ready; true when at least one frame was appended.
    bool receiveFrames(DecodedAudio& out) {
        bool any = false;
        for (;;) {
            const int rc = avcodec_receive_frame(codec_, frame_);
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) break;
            if (rc < 0) {
                if (++badPackets_ > kMaxBadPackets) {
                    readError_ = true;
                    ended_ = true;
                }
                break;
            }
            const int capacity = swr_get_out_samples(swr_, frame_->nb_samples);
            ensureBuffer(capacity);
            std::uint8_t* dst = converted_.data();
            const int got = swr_convert(swr_, &dst, capacity, const_cast<const std::uint8_t**>(frame_->extended_data),
                                        frame_->nb_samples);
            av_frame_unref(frame_);
            if (got > 0 && !store(out, got)) ended_ = true;
            any = any || got > 0;
        }
        return any;
    }

    void flushConverter(DecodedAudio& out) {
        const int capacity = swr_get_out_samples(swr_, 0);
        if (capacity <= 0) return;
        ensureBuffer(capacity);
        std::uint8_t* dst = converted_.data();
        const int got = swr_convert(swr_, &dst, capacity, nullptr, 0);
        if (got > 0) store(out, got);
    }

    void ensureBuffer(int frames) {
        const auto bytes = static_cast<std::size_t>(std::max(frames, 1)) * 2 * sizeof(std::int16_t);
        if (converted_.size() < bytes) converted_.resize(bytes);
    }

    bool store(DecodedAudio& out, int frames) {
        const auto* samples = reinterpret_cast<const std::int16_t*>(converted_.data());
        if (!mono_) return out.append(samples, static_cast<std::size_t>(frames));
        stereo_.resize(static_cast<std::size_t>(frames) * 2);
        for (int i = 0; i < frames; ++i) {
            stereo_[static_cast<std::size_t>(i) * 2] = samples[i];
            stereo_[static_cast<std::size_t>(i) * 2 + 1] = samples[i];
        }
        return out.append(stereo_.data(), static_cast<std::size_t>(frames));
    }

    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    SwrContext* swr_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    int stream_ = -1;
    int outRate_ = 44100;
    bool mono_ = false;
    bool ended_ = false;
    bool draining_ = false;
    bool readError_ = false;
    int badPackets_ = 0;
    std::vector<std::uint8_t> converted_;
    std::vector<std::int16_t> stereo_;
};

}  // namespace

std::unique_ptr<Decoder> openFfmpegDecoder(const std::string& path, TrackInfo& info, std::string& error) {
    static const bool quiet = [] {
        av_log_set_level(AV_LOG_QUIET);
        return true;
    }();
    (void)quiet;
    auto decoder = std::make_unique<FfmpegDecoder>();
    if (!decoder->open(path, info, error)) return nullptr;
    return decoder;
}

}  // namespace korvex::decode
