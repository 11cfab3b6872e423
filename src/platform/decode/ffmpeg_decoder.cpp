// FFmpeg decoding of mp3, wav, wma, mpg (audio track) and anything else libavformat reads.
//
// The demuxer and codec are opened on the caller's thread so the duration and any error are known at
// once; the same context then moves to the track's worker thread. Output is 16-bit stereo at the file's
// rate (capped at 48 kHz to keep decoded tracks small); mono is duplicated to both channels at full level.
//
// Every read has a deadline (FFmpeg's interrupt callback), so a file that stops delivering data (a stalled
// network share) ends the open or the track instead of hanging it. Packets and frames that FFmpeg marks as
// damaged are dropped rather than played: a broken frame decodes to full-scale noise.
//
// Seeking is exact: a second reader builds a seek index in the background, from the packets alone
// without decoding them (a byte position and the number of samples before it, every few thousand
// samples). A seek starts decoding at the index point a little before the target, so the codec's state
// (an MP3's bit reservoir and overlap) is the same as in a straight decode when the target is reached,
// and throws away what comes before. Packets carry their sample counts from the index, not the
// demuxer's estimates, which for MP3 without a table of contents are only approximate. A seek past what
// the index has read so far waits for it.
//
// An ASF (WMA) packet's duration is the container's rounded figure in milliseconds, not its sample count,
// and its first frames lean on the packet before (the codec's bit reservoir). There the index decodes
// every packet to count what it gives; a seek starts one index point earlier than it needs and counts
// positions from the output itself, from the first packet that the straight decode also began with a
// filled reservoir.
//
// Vorbis is counted the same way: its first packet decodes to nothing, while Ogg gives it a length. Ogg
// already shortens its last packet by the file's end trimming, which is then not taken off again. MP4
// cannot jump by bytes at all: it jumps to the index point's own time stamp. WavPack keeps the header of
// the block it read last, so it is sent back to the start first, as ASF is, and reaches its first block by
// time (a jump by bytes cannot go back over the header the demuxer read at the open). Opus predicts its
// band energies from frame to frame, so its jumps start 2 s early: by the target its state has settled.

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/audio/realtime.h"
#include "platform/decode/decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/intreadwrite.h>
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

// Samples decoded before the seek target, so the codec state has settled when the target is reached.
constexpr std::int64_t kPrerollSamples = 8192;
// The same for Opus, whose band energies are predicted from frame to frame and settle only slowly (2 s at
// 48 kHz).
constexpr std::int64_t kOpusPrerollSamples = 96000;
// Samples between two seek index entries.
constexpr std::int64_t kIndexStep = 4096;
// Packets read between two publications of the index.
constexpr int kIndexBatch = 512;

using Clock = std::chrono::steady_clock;

// Samples (at the codec's rate) a packet decodes to, from the packet alone.
std::int64_t packetSamples(const AVPacket* packet, const AVStream* stream) {
    if (packet->duration > 0)
        return av_rescale_q(packet->duration, stream->time_base, AVRational{1, stream->codecpar->sample_rate});
    return std::max(stream->codecpar->frame_size, 0);
}

// Where decoding can start: byte positions of packets with the samples before them, read in the
// background by its own demuxer.
struct SeekIndex {
    struct Entry {
        std::int64_t pos;
        std::int64_t sample;
        std::int64_t ts;  // the demuxer's own time stamp of the packet (stream time base)
    };
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Entry> entries;       // guarded by mutex
    std::int64_t scanned = 0;         // samples covered so far; guarded by mutex
    std::atomic<bool> done{false};
    std::atomic<bool> failed{false};
    std::atomic<std::int64_t> total{0};       // all samples, once done
    std::atomic<std::int64_t> endDiscard{0};  // padding the file says to drop at its end
    std::atomic<std::int64_t> startSkip{0};   // and at its start
    std::atomic<bool> stop{false};
    std::atomic<Clock::rep> deadline{0};
    std::thread thread;

    static int interrupted(void* self) {
        const auto* index = static_cast<const SeekIndex*>(self);
        return index->stop.load(std::memory_order_relaxed) ||
               Clock::now().time_since_epoch().count() > index->deadline.load(std::memory_order_relaxed);
    }

    // `countByDecoding`: the packets' sample counts come from decoding them, not from their durations.
    void build(const std::string& path, int streamIndex, bool countByDecoding);
};

// Samples a packet's frames decode to, counted as the player's decoder keeps them (frames marked as
// damaged are dropped there too).
std::int64_t decodedSamples(AVCodecContext* codec, AVFrame* frame) {
    std::int64_t samples = 0;
    while (avcodec_receive_frame(codec, frame) == 0) {
        if (frame->decode_error_flags == 0 && (frame->flags & AV_FRAME_FLAG_CORRUPT) == 0) samples += frame->nb_samples;
        av_frame_unref(frame);
    }
    return samples;
}

void SeekIndex::build(const std::string& path, int streamIndex, bool countByDecoding) {
    AVFormatContext* format = avformat_alloc_context();
    AVPacket* packet = av_packet_alloc();
    AVCodecContext* codec = nullptr;
    AVFrame* frame = nullptr;
    auto arm = [this] {
        deadline.store((Clock::now() + std::chrono::seconds(10)).time_since_epoch().count(), std::memory_order_relaxed);
    };
    std::vector<Entry> pending;
    std::int64_t sample = 0;
    std::int64_t lastPos = -1;
    std::int64_t lastEntry = -kIndexStep;
    bool ok = format != nullptr && packet != nullptr;
    if (ok) {
        format->flags |= AVFMT_FLAG_DISCARD_CORRUPT;
        format->interrupt_callback.callback = interrupted;
        format->interrupt_callback.opaque = this;
        arm();
        ok = avformat_open_input(&format, path.c_str(), nullptr, nullptr) >= 0 &&
             avformat_find_stream_info(format, nullptr) >= 0 && streamIndex < static_cast<int>(format->nb_streams);
    }
    if (ok) {
        for (unsigned i = 0; i < format->nb_streams; ++i)
            if (static_cast<int>(i) != streamIndex) format->streams[i]->discard = AVDISCARD_ALL;
        const AVStream* stream = format->streams[streamIndex];
        if (countByDecoding) {
            const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
            codec = decoder != nullptr ? avcodec_alloc_context3(decoder) : nullptr;
            frame = av_frame_alloc();
            ok = codec != nullptr && frame != nullptr && avcodec_parameters_to_context(codec, stream->codecpar) >= 0;
            if (ok) {
                codec->err_recognition |= AV_EF_CRCCHECK | AV_EF_BITSTREAM | AV_EF_BUFFER;
                codec->pkt_timebase = AVRational{1, stream->codecpar->sample_rate};
                ok = avcodec_open2(codec, decoder, nullptr) >= 0;
            }
        }
        for (int batch = 0; ok; ++batch) {
            arm();
            const int rc = av_read_frame(format, packet);
            if (rc < 0) {
                ok = rc == AVERROR_EOF;
                if (codec != nullptr && avcodec_send_packet(codec, nullptr) >= 0) sample += decodedSamples(codec, frame);
                break;
            }
            if (packet->stream_index == streamIndex && (packet->flags & AV_PKT_FLAG_CORRUPT) == 0) {
                std::size_t size = 0;
                if (const std::uint8_t* skip = av_packet_get_side_data(packet, AV_PKT_DATA_SKIP_SAMPLES, &size);
                    skip != nullptr && size >= 8) {
                    if (sample == 0) startSkip.store(AV_RL32(skip), std::memory_order_relaxed);
                    endDiscard.store(AV_RL32(skip + 4), std::memory_order_relaxed);
                }
                // Counted by decoding, the packet is decoded as a seek decodes it: without the file's start
                // and end trimming, which the counts leave to the reader.
                if (codec != nullptr) av_packet_free_side_data(packet);
                if (packet->pos >= 0 && packet->pos != lastPos && sample - lastEntry >= kIndexStep) {
                    pending.push_back(
                        Entry{packet->pos, sample, packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts});
                    lastEntry = sample;
                }
                lastPos = packet->pos;
                if (codec == nullptr)
                    sample += packetSamples(packet, stream);
                else if (avcodec_send_packet(codec, packet) >= 0)
                    sample += decodedSamples(codec, frame);
            }
            av_packet_unref(packet);
            if (batch % kIndexBatch == kIndexBatch - 1) {
                std::lock_guard lock(mutex);
                entries.insert(entries.end(), pending.begin(), pending.end());
                scanned = sample;
                pending.clear();
                changed.notify_all();
            }
        }
    }
    {
        std::lock_guard lock(mutex);
        entries.insert(entries.end(), pending.begin(), pending.end());
        scanned = sample;
        total.store(sample, std::memory_order_relaxed);
        failed.store(!ok, std::memory_order_relaxed);
        done.store(true, std::memory_order_release);
    }
    changed.notify_all();
    av_frame_free(&frame);
    avcodec_free_context(&codec);
    av_packet_free(&packet);
    avformat_close_input(&format);
}

// What an FFmpeg error means for the user.
Refusal refusalOf(int code) {
    if (code == AVERROR_INVALIDDATA || code == AVERROR(EINVAL)) return {Refusal::Reason::NotMusic};
    if (code == AVERROR_EXIT) return {Refusal::Reason::TimedOut};
    if (code == AVERROR_EOF) return {Refusal::Reason::NoAudio};
    if (code < 0 && code > -4096) return fileProblem(AVUNERROR(code));
    return {Refusal::Reason::Other, code};
}

class FfmpegDecoder final : public Decoder {
public:
    ~FfmpegDecoder() override {
        if (index_) {
            index_->stop.store(true, std::memory_order_relaxed);
            if (index_->thread.joinable()) index_->thread.join();
        }
        av_frame_free(&frame_);
        av_packet_free(&packet_);
        av_packet_free(&held_);
        swr_free(&swr_);
        av_channel_layout_uninit(&swr_in_layout_);
        avcodec_free_context(&codec_);
        avformat_close_input(&format_);
    }

    bool open(const std::string& path, TrackInfo& info, Refusal& error) {
        path_ = path;
        format_ = avformat_alloc_context();
        if (format_ == nullptr) {
            error = {Refusal::Reason::NoMemory};
            return false;
        }
        // Packets the demuxer knows are damaged (cut short, failed checksum) never reach the codec.
        format_->flags |= AVFMT_FLAG_DISCARD_CORRUPT;
        format_->interrupt_callback.callback = interrupted;
        format_->interrupt_callback.opaque = this;
        armDeadline();
        int rc = avformat_open_input(&format_, path.c_str(), nullptr, nullptr);
        if (rc < 0) {
            error = refusalOf(rc);
            return false;
        }
        // A guess from the file name alone is no reason to believe a file is music.
        if (format_->probe_score <= AVPROBE_SCORE_RETRY) {
            error = {Refusal::Reason::NotMusic};
            return false;
        }
        rc = avformat_find_stream_info(format_, nullptr);
        if (rc < 0) {
            error = refusalOf(rc);
            return false;
        }
        const AVCodec* codec = nullptr;
        stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
        if (stream_ < 0 || codec == nullptr) {
            error = {Refusal::Reason::NoAudio};
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
            stream->codecpar->sample_rate <= 0) {
            error = {Refusal::Reason::UnsupportedFormat};
            return false;
        }
        // Packets carry their position in samples (see decodeSome), so frames do too.
        codec_->pkt_timebase = AVRational{1, stream->codecpar->sample_rate};
        if (avcodec_open2(codec_, codec, nullptr) < 0) {
            error = {Refusal::Reason::UnsupportedFormat};
            return false;
        }
        if (codec_->sample_rate <= 0 || codec_->ch_layout.nb_channels <= 0) {
            error = {Refusal::Reason::UnsupportedFormat};
            return false;
        }
        if (codec_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&codec_->ch_layout, codec_->ch_layout.nb_channels);
        outRate_ = std::min(codec_->sample_rate, kMaxRate);
        if (!setUpConverter(codec_->ch_layout, codec_->sample_fmt, codec_->sample_rate)) {
            error = {Refusal::Reason::UnsupportedFormat};
            return false;
        }
        frame_ = av_frame_alloc();
        packet_ = av_packet_alloc();
        held_ = av_packet_alloc();
        if (frame_ == nullptr || packet_ == nullptr || held_ == nullptr) {
            error = {Refusal::Reason::NoMemory};
            return false;
        }

        codecRate_ = codec_->sample_rate;
        const std::string_view demuxer(format_->iformat->name);
        countByDecoding_ = demuxer == "asf" || codec_->codec_id == AV_CODEC_ID_VORBIS;
        lengthsTrimmed_ = demuxer == "ogg" && !countByDecoding_;
        firstByTime_ = demuxer == "wv";
        if (codec_->codec_id == AV_CODEC_ID_OPUS) preroll_ = kOpusPrerollSamples;
        rewindFirst_ = countByDecoding_ || demuxer == "wv";
        seekByTime_ = (format_->iformat->flags & AVFMT_NO_BYTE_SEEK) != 0;
        info.sampleRate = outRate_;
        if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0)
            info.duration = static_cast<double>(format_->duration) / AV_TIME_BASE;
        else if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
            info.duration = static_cast<double>(stream->duration) * av_q2d(stream->time_base);
        return true;
    }

    bool canSeek() const override { return true; }

    std::int64_t indexedFrames() const override {
        if (!index_ || !index_->done.load(std::memory_order_acquire) || index_->failed.load(std::memory_order_relaxed))
            return 0;
        return toOutput(totalSamples() - index_->startSkip.load(std::memory_order_relaxed));
    }

    Seek seekTo(std::int64_t frame, DecodedAudio& out) override {
        startIndex();
        SeekIndex::Entry from{-1, 0, 0};
        {
            std::unique_lock lock(index_->mutex);
            // The target in codec samples counted from the file's first packet (the index has read it
            // once it has published anything).
            auto target = [&] {
                return av_rescale(frame, codecRate_, outRate_) + index_->startSkip.load(std::memory_order_relaxed);
            };
            while (index_->scanned <= target() && !index_->done.load(std::memory_order_acquire)) {
                if (out.cancelRequested()) return Seek::Cancelled;
                index_->changed.wait_for(lock, std::chrono::milliseconds(10));
            }
            const auto& entries = index_->entries;
            auto after = std::upper_bound(entries.begin(), entries.end(), target() - preroll_,
                                          [](std::int64_t s, const SeekIndex::Entry& e) { return s < e.sample; });
            if (after != entries.begin()) --after;
            if (after != entries.end()) {
                from = *after;
                anchor_ = from;
                // Counted positions start one point later than decoding, once the reservoir is full.
                if (countByDecoding_ && after != entries.begin()) from = *(after - 1);
            }
        }
        avcodec_flush_buffers(codec_);
        if (swr_ != nullptr) {
            swr_close(swr_);
            swr_init(swr_);
        }
        av_packet_unref(held_);
        holding_ = false;
        tail_.clear();
        // The first frame after the jump may carry the time stamp of the last one before it (the same
        // packet decoded again); it must not count as following on from it.
        lastPts_ = AV_NOPTS_VALUE;
        ended_ = false;
        badPackets_ = 0;
        armDeadline();
        if (from.pos < 0) return Seek::PastEnd;  // the index found no packets
        // A jump to the start resets the ASF demuxer's packet parser, which a jump by bytes alone leaves
        // half-way through the packet it was reading.
        if (rewindFirst_) av_seek_frame(format_, stream_, 0, AVSEEK_FLAG_BACKWARD);
        if (seekByTime_ || (firstByTime_ && from.sample == 0))
            av_seek_frame(format_, stream_, from.ts, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY);
        else
            av_seek_frame(format_, stream_, from.pos, AVSEEK_FLAG_BYTE);
        anchored_ = false;
        nextSample_ = from.sample;
        seekPos_ = from.pos;
        exact_ = true;
        startSkip_ = index_->startSkip.load(std::memory_order_relaxed);
        skipBefore_ = frame;
        out.setWriteFrame(frame);
        // Decode until the target has been reached (or the file ends before it).
        while (skipBefore_ >= 0 && !ended_) {
            if (out.cancelRequested()) return Seek::Cancelled;
            decodeSome(out);
        }
        return skipBefore_ >= 0 ? Seek::PastEnd : Seek::Done;
    }

    bool decodeSome(DecodedAudio& out) override {
        if (ended_) return false;
        startIndex();
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
        if (packet_->stream_index == stream_ && !damaged && exact_ && seekPos_ >= 0 && packet_->pos >= 0 &&
            packet_->pos < seekPos_) {
            // Before the index point (a demuxer that resynchronised early): not counted.
            av_packet_unref(packet_);
            return true;
        }
        if (packet_->stream_index == stream_ && !damaged) {
            seekPos_ = -1;
            std::size_t size = 0;
            const std::uint8_t* skip = av_packet_get_side_data(packet_, AV_PKT_DATA_SKIP_SAMPLES, &size);
            if (nextSample_ == 0 && !exact_ && skip != nullptr && size >= 4) startSkip_ = AV_RL32(skip);
            // After a jump the demuxer's own idea of the position is a guess: its trimming goes, the index's
            // figures count.
            if (exact_) av_packet_free_side_data(packet_);
            const std::int64_t samples = packetSamples(packet_, format_->streams[stream_]);
            packet_->pts = packet_->dts = nextSample_;
            packet_->duration = samples;
            nextSample_ += samples;
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
        if (countByDecoding_ && exact_ && !anchored_ && packet->pos == anchor_.pos) {
            // Everything the codec gave so far is drained: what it gives from here on starts at the
            // anchor's count.
            anchored_ = true;
            nextAt_ = toOutput(anchor_.sample - startSkip_);
        }
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
            std::int64_t at = -1;
            if (countByDecoding_ && exact_) {
                // Unknown until the anchor; from there on each frame follows the one before.
                if (anchored_) at = nextAt_;
            } else if (frame_->pts != AV_NOPTS_VALUE) {
                // A packet that decodes to several frames gives them all its own position: the later
                // ones follow on from the one before.
                at = frame_->pts == lastPts_ ? nextAt_ : toOutput(frame_->pts - startSkip_);
            }
            lastPts_ = frame_->pts;
            if (!followFormat(out)) {
                // A part of the file in a format nothing converts: the song ends where it began.
                av_frame_unref(frame_);
                readError_ = true;
                end(out);
                break;
            }
            const int capacity = swr_get_out_samples(swr_, frame_->nb_samples);
            ensureBuffer(capacity);
            std::uint8_t* dst = converted_.data();
            const int got = swr_convert(swr_, &dst, capacity, const_cast<const std::uint8_t**>(frame_->extended_data),
                                        frame_->nb_samples);
            av_frame_unref(frame_);
            if (at >= 0) nextAt_ = at + got;
            int skip = 0;
            if (skipBefore_ >= 0) {
                // Still before the target of a seek: only what lies at or after it is kept.
                if (at < 0 || at + got <= skipBefore_) continue;
                skip = static_cast<int>(std::max<std::int64_t>(0, skipBefore_ - at));
                skipBefore_ = -1;
            }
            if (got > skip && !store(out, got - skip, skip)) end(out);
            any = any || got > skip;
        }
        return any;
    }

    // Sets the converter up for frames of this layout, format and rate; the output keeps the song's
    // rate. Mono stays mono there (store() doubles it at full level); anything else becomes stereo.
    bool setUpConverter(const AVChannelLayout& layout, int format, int rate) {
        AVChannelLayout in{};
        if (layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&in, layout.nb_channels);
        else if (av_channel_layout_copy(&in, &layout) < 0)
            return false;
        const bool mono = in.nb_channels == 1;
        AVChannelLayout outLayout;
        av_channel_layout_default(&outLayout, mono ? 1 : 2);
        swr_free(&swr_);
        const int rc = swr_alloc_set_opts2(&swr_, &outLayout, AV_SAMPLE_FMT_S16, outRate_, &in,
                                           static_cast<AVSampleFormat>(format), rate, 0, nullptr);
        const bool ok = rc >= 0 && swr_init(swr_) >= 0;
        av_channel_layout_uninit(&swr_in_layout_);
        swr_in_layout_ = in;
        swrFormat_ = format;
        swrRate_ = rate;
        mono_ = mono;
        if (!ok) swr_free(&swr_);
        return ok;
    }

    // A file may change its channels or rate part-way (two files joined, a damaged frame header): each
    // frame goes through a converter set up for it, so nothing of another layout reaches the converter
    // and the song plays on at its speed. What the old converter still holds is let out first.
    bool followFormat(DecodedAudio& out) {
        AVChannelLayout layout{};
        if (frame_->ch_layout.nb_channels <= 0 || frame_->sample_rate <= 0) return false;
        if (frame_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&layout, frame_->ch_layout.nb_channels);
        else if (av_channel_layout_copy(&layout, &frame_->ch_layout) < 0)
            return false;
        const bool same = swr_ != nullptr && frame_->format == swrFormat_ && frame_->sample_rate == swrRate_ &&
                          av_channel_layout_compare(&layout, &swr_in_layout_) == 0;
        bool ok = true;
        if (!same) {
            // During a seek's run-up nothing is kept yet, so the old converter's rest goes too.
            if (swr_ != nullptr && skipBefore_ < 0) flushConverter(out);
            ok = setUpConverter(layout, frame_->format, frame_->sample_rate);
        }
        av_channel_layout_uninit(&layout);
        return ok;
    }

    void flushConverter(DecodedAudio& out) {
        if (swr_ == nullptr) return;
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

    bool store(DecodedAudio& out, int frames, int skip = 0) {
        if (exact_ && index_->done.load(std::memory_order_acquire) &&
            index_->endDiscard.load(std::memory_order_relaxed) > 0) {
            // After a jump the file's end padding is trimmed here, by the index's count.
            const std::int64_t limit = toOutput(totalSamples() - startSkip_) - out.writeFrame() -
                                       static_cast<std::int64_t>(tail_.size() / 2);
            frames = static_cast<int>(std::clamp<std::int64_t>(limit, 0, frames));
            if (frames == 0) return true;
        }
        const auto* samples =
            reinterpret_cast<const std::int16_t*>(converted_.data()) + static_cast<std::ptrdiff_t>(skip) * (mono_ ? 1 : 2);
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

    // Starts building the seek index (once).
    void startIndex() {
        if (index_) return;
        index_ = std::make_shared<SeekIndex>();
        try {
            index_->thread = std::thread([index = index_, path = path_, stream = stream_, count = countByDecoding_] {
                audio::lowerDecoderPriority();
                index->build(path, stream, count);
            });
        } catch (const std::system_error&) {
            std::lock_guard lock(index_->mutex);
            index_->failed.store(true);
            index_->done.store(true);
        }
    }

    std::int64_t totalSamples() const {
        const std::int64_t discard = lengthsTrimmed_ ? 0 : index_->endDiscard.load(std::memory_order_relaxed);
        return index_->total.load(std::memory_order_relaxed) - discard;
    }
    std::int64_t toOutput(std::int64_t samples) const {
        return codecRate_ == outRate_ ? samples : av_rescale(samples, outRate_, codecRate_);
    }

    std::atomic<Clock::rep> deadline_{0};
    std::string path_;
    std::shared_ptr<SeekIndex> index_;
    int codecRate_ = 44100;
    std::int64_t nextSample_ = 0;   // samples before the next packet read
    std::int64_t startSkip_ = 0;    // samples the file says to drop at its start
    std::int64_t skipBefore_ = -1;  // output frame a seek is heading for
    std::int64_t seekPos_ = -1;     // byte position of the index point a seek started from
    bool exact_ = false;            // positions come from the index, not the demuxer
    bool countByDecoding_ = false;  // the index counts samples by decoding (ASF)
    bool rewindFirst_ = false;      // the demuxer is sent to the start before a jump by bytes (ASF, WavPack)
    bool seekByTime_ = false;       // the demuxer jumps by time stamps only (MP4)
    bool firstByTime_ = false;      // the first packet is reached by its time stamp (WavPack: its header was read)
    bool lengthsTrimmed_ = false;   // the last packet's length already leaves out the end trimming (Ogg)
    std::int64_t preroll_ = kPrerollSamples;
    SeekIndex::Entry anchor_{-1, 0, 0};  // the index point whose count the output follows after a seek
    bool anchored_ = false;
    std::int64_t lastPts_ = AV_NOPTS_VALUE;
    std::int64_t nextAt_ = 0;
    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    SwrContext* swr_ = nullptr;
    // What the converter is set up for.
    AVChannelLayout swr_in_layout_{};
    int swrFormat_ = -1;
    int swrRate_ = 0;
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

std::unique_ptr<Decoder> openFfmpegDecoder(const std::string& path, TrackInfo& info, Refusal& error) {
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
