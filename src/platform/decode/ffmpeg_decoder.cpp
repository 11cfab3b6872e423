// FFmpeg decoding of mp3, wav, wma, mpg (audio track) and anything else libavformat reads.
//
// The demuxer and codec are opened on the caller's thread so the duration and any error are known at
// once; the same context then moves to the track's worker thread. Output is 16-bit stereo at the file's
// rate (capped at 48 kHz to keep decoded tracks small); mono is duplicated to both channels at full level.
//
// Every read has a deadline (FFmpeg's interrupt callback), so a file that stops delivering data (a stalled
// network share) ends the open or the track instead of hanging it. Packets and frames that FFmpeg marks as
// damaged are dropped rather than played: a broken frame decodes to full-scale noise.

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
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
// The end of every track fades out over its last 5 ms (at 44.1 kHz).
constexpr std::size_t kEndFadeFrames = 220;

// How long one open or one read may take before the file counts as unreadable.
constexpr auto kReadDeadline = std::chrono::seconds(10);

// What an FFmpeg error means for the user.
std::string errorText(int code) {
    if (code == AVERROR_INVALIDDATA || code == AVERROR(EINVAL)) return "not a music file Korvex can read (damaged or of an unknown kind)";
    if (code == AVERROR_EXIT) return "the file took too long to open (the disk or network is not answering)";
    if (code == AVERROR_EOF) return "the file holds no audio";
    if (code == AVERROR(ENOMEM)) return "not enough memory to open the file";
    if (code < 0 && code > -4096) return fileProblem(AVUNERROR(code));
    char buffer[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, buffer, sizeof buffer);
    return std::string("the file could not be opened (") + buffer + ")";
}

class FfmpegDecoder final : public Decoder {
public:
    ~FfmpegDecoder() override {
        av_frame_free(&frame_);
        av_packet_free(&packet_);
        av_packet_free(&held_);
        swr_free(&swr_);
        avcodec_free_context(&codec_);
        avformat_close_input(&format_);
    }

    bool open(const std::string& path, TrackInfo& info, std::string& error) {
        format_ = avformat_alloc_context();
        if (format_ == nullptr) {
            error = errorText(AVERROR(ENOMEM));
            return false;
        }
        // Packets the demuxer knows are damaged (cut short, failed checksum) never reach the codec.
        format_->flags |= AVFMT_FLAG_DISCARD_CORRUPT;
        format_->interrupt_callback.callback = interrupted;
        format_->interrupt_callback.opaque = this;
        armDeadline();
        int rc = avformat_open_input(&format_, path.c_str(), nullptr, nullptr);
        if (rc < 0) {
            error = errorText(rc);
            return false;
        }
        // A guess from the file name alone is no reason to believe a file is music.
        if (format_->probe_score <= AVPROBE_SCORE_RETRY) {
            error = "not a music file Korvex can read (damaged or of an unknown kind)";
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
        if (codec_ != nullptr) {
            // Report damage instead of concealing it, so damaged frames can be told apart and dropped.
            codec_->err_recognition |= AV_EF_CRCCHECK | AV_EF_BITSTREAM | AV_EF_BUFFER;
        }
        if (codec_ == nullptr || avcodec_parameters_to_context(codec_, stream->codecpar) < 0 ||
            avcodec_open2(codec_, codec, nullptr) < 0) {
            error = "the audio format of this file cannot be played";
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
        held_ = av_packet_alloc();
        if (frame_ == nullptr || packet_ == nullptr || held_ == nullptr) {
            error = errorText(AVERROR(ENOMEM));
            return false;
        }

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
        armDeadline();
        const int rc = av_read_frame(format_, packet_);
        if (rc < 0) {
            // End of file or a read error: the held packet (unless cut short), then flush the codec and the
            // converter, and stop.
            if (rc != AVERROR_EOF && rc != AVERROR(EAGAIN)) readError_ = true;
            if (holding_ && !cutShort(held_)) sendPacket(held_, out);
            av_packet_unref(held_);
            holding_ = false;
            avcodec_send_packet(codec_, nullptr);
            receiveFrames(out);
            flushConverter(out);
            end(out);
            return false;
        }
        // A packet the demuxer knows is damaged (cut short, failed checksum) is never decoded. Each good one
        // waits for the next read, so the last one can be checked for being cut short.
        const bool damaged = (packet_->flags & AV_PKT_FLAG_CORRUPT) != 0;
        if (packet_->stream_index == stream_ && !damaged) {
            if (holding_) {
                sendPacket(held_, out);
                fullSize_ = held_->size;
                av_packet_unref(held_);
            }
            av_packet_move_ref(held_, packet_);
            holding_ = true;
        }
        av_packet_unref(packet_);
        receiveFrames(out);
        return !ended_;
    }

    bool failed() const override { return readError_; }

private:
    void sendPacket(AVPacket* packet, DecodedAudio& out) {
        if (avcodec_send_packet(codec_, packet) < 0) {
            if (++badPackets_ > kMaxBadPackets) {
                readError_ = true;
                end(out);
            }
        } else {
            badPackets_ = 0;
        }
    }

    // The file's last packet of a codec with fixed-length frames is cut short when it is clearly smaller than
    // the one before it (a truncated file): decoded, it would be noise.
    bool cutShort(const AVPacket* last) const {
        return codec_->frame_size > 0 && fullSize_ > 0 && last->size * 4 < fullSize_ * 3;
    }

    // Ends decoding: the held-back last frames fade out, so a song that stops mid-wave (a cut file) ends
    // without a click.
    void end(DecodedAudio& out) {
        if (ended_) return;
        ended_ = true;
        const std::size_t frames = tail_.size() / 2;
        for (std::size_t i = 0; i < frames; ++i) {
            const double gain = static_cast<double>(frames - i) / static_cast<double>(frames + 1);
            tail_[2 * i] = static_cast<std::int16_t>(tail_[2 * i] * gain);
            tail_[2 * i + 1] = static_cast<std::int16_t>(tail_[2 * i + 1] * gain);
        }
        if (frames > 0) out.append(tail_.data(), frames);
        tail_.clear();
    }

    static int interrupted(void* self) {
        const auto* decoder = static_cast<const FfmpegDecoder*>(self);
        return Clock::now().time_since_epoch().count() > decoder->deadline_.load(std::memory_order_relaxed) ? 1 : 0;
    }
    void armDeadline() {
        deadline_.store((Clock::now() + kReadDeadline).time_since_epoch().count(), std::memory_order_relaxed);
    }

    // Pulls every frame the codec has ready; true when at least one frame was appended.
    bool receiveFrames(DecodedAudio& out) {
        bool any = false;
        for (;;) {
            const int rc = avcodec_receive_frame(codec_, frame_);
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) break;
            if (rc < 0) {
                if (++badPackets_ > kMaxBadPackets) {
                    readError_ = true;
                    end(out);
                }
                break;
            }
            if (frame_->decode_error_flags != 0 || (frame_->flags & AV_FRAME_FLAG_CORRUPT) != 0) {
                av_frame_unref(frame_);
                continue;
            }
            const int capacity = swr_get_out_samples(swr_, frame_->nb_samples);
            ensureBuffer(capacity);
            std::uint8_t* dst = converted_.data();
            const int got = swr_convert(swr_, &dst, capacity, const_cast<const std::uint8_t**>(frame_->extended_data),
                                        frame_->nb_samples);
            av_frame_unref(frame_);
            if (got > 0 && !store(out, got)) end(out);
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
        if (!mono_) return emit(out, samples, static_cast<std::size_t>(frames));
        stereo_.resize(static_cast<std::size_t>(frames) * 2);
        for (int i = 0; i < frames; ++i) {
            stereo_[static_cast<std::size_t>(i) * 2] = samples[i];
            stereo_[static_cast<std::size_t>(i) * 2 + 1] = samples[i];
        }
        return emit(out, stereo_.data(), static_cast<std::size_t>(frames));
    }

    // Appends stereo frames, always holding back the latest kEndFadeFrames for the fade at the end.
    bool emit(DecodedAudio& out, const std::int16_t* frames, std::size_t count) {
        const std::size_t held = tail_.size() / 2;
        if (held + count <= kEndFadeFrames) {
            tail_.insert(tail_.end(), frames, frames + count * 2);
            return true;
        }
        const std::size_t release = held + count - kEndFadeFrames;
        const std::size_t fromTail = std::min(release, held);
        if (fromTail > 0 && !out.append(tail_.data(), fromTail)) return false;
        tail_.erase(tail_.begin(), tail_.begin() + static_cast<std::ptrdiff_t>(fromTail * 2));
        const std::size_t fromNew = release - fromTail;
        if (fromNew > 0 && !out.append(frames, fromNew)) return false;
        tail_.insert(tail_.end(), frames + fromNew * 2, frames + count * 2);
        return true;
    }

    using Clock = std::chrono::steady_clock;
    std::atomic<Clock::rep> deadline_{0};
    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    SwrContext* swr_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVPacket* held_ = nullptr;
    bool holding_ = false;
    int fullSize_ = 0;
    std::vector<std::int16_t> tail_;
    int stream_ = -1;
    int outRate_ = 44100;
    bool mono_ = false;
    bool ended_ = false;
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
