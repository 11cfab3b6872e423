#include "platform/stream/stream_encoder.h"

#include <lame/lame.h>
#include <ogg/ogg.h>
#include <opus/opusenc.h>
#include <vorbis/vorbisenc.h>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <random>

namespace korvex::stream {

namespace {

// --- MP3 -----------------------------------------------------------------------------------------------

class Mp3Encoder final : public StreamEncoder {
public:
    ~Mp3Encoder() override {
        if (lame_ != nullptr) lame_close(lame_);
    }
    bool open(const StreamSettings& s, int sourceRate, std::string& error) {
        lame_ = lame_init();
        if (lame_ == nullptr) {
            error = "LAME could not start";
            return false;
        }
        lame_set_in_samplerate(lame_, sourceRate);
        lame_set_out_samplerate(lame_, s.sampleRate);
        lame_set_num_channels(lame_, 2);
        lame_set_mode(lame_, s.channels == 1 ? MONO : JOINT_STEREO);
        lame_set_brate(lame_, s.bitrateKbps);
        lame_set_VBR(lame_, vbr_off);
        lame_set_quality(lame_, 5);
        // No Xing header: a live stream has no end to describe.
        lame_set_bWriteVbrTag(lame_, 0);
        if (lame_init_params(lame_) < 0) {
            error = "LAME does not take " + std::to_string(s.bitrateKbps) + " kbit/s at " +
                    std::to_string(s.sampleRate) + " Hz";
            return false;
        }
        return true;
    }
    void encode(const float* frames, std::size_t count, std::vector<unsigned char>& out) override {
        const std::size_t at = out.size();
        out.resize(at + count * 5 / 4 + 7200);
        const int n = lame_encode_buffer_interleaved_ieee_float(
            lame_, frames, static_cast<int>(count), out.data() + at, static_cast<int>(out.size() - at));
        out.resize(at + static_cast<std::size_t>(std::max(n, 0)));
    }
    void setTitle(const std::string&, std::vector<unsigned char>&) override {}
    bool titlesInStream() const override { return false; }

private:
    lame_global_flags* lame_ = nullptr;
};

// Converts interleaved stereo float at one rate to planar or interleaved float at another, with one or two
// channels (swresample).
class Converter {
public:
    ~Converter() { swr_free(&swr_); }
    bool open(int fromRate, int toRate, int channels, bool planar) {
        AVChannelLayout in{};
        AVChannelLayout out{};
        av_channel_layout_default(&in, 2);
        av_channel_layout_default(&out, channels);
        return swr_alloc_set_opts2(&swr_, &out, planar ? AV_SAMPLE_FMT_FLTP : AV_SAMPLE_FMT_FLT, toRate, &in,
                                   AV_SAMPLE_FMT_FLT, fromRate, 0, nullptr) == 0 &&
               swr_init(swr_) == 0;
    }
    // Room needed for the output of `count` input frames.
    int outFrames(std::size_t count) const {
        return static_cast<int>(swr_get_out_samples(swr_, static_cast<int>(count)));
    }
    int convert(const float* frames, std::size_t count, std::uint8_t** out, int room) {
        const auto* in = reinterpret_cast<const std::uint8_t*>(frames);
        return swr_convert(swr_, out, room, &in, static_cast<int>(count));
    }

private:
    SwrContext* swr_ = nullptr;
};

// --- Ogg Vorbis ----------------------------------------------------------------------------------------

class VorbisEncoder final : public StreamEncoder {
public:
    ~VorbisEncoder() override { close(); }
    bool open(const StreamSettings& s, int sourceRate, const std::string& title, std::string& error) {
        settings_ = s;
        if (!converter_.open(sourceRate, s.sampleRate, s.channels, true)) {
            error = "the mix cannot be converted to " + std::to_string(s.sampleRate) + " Hz";
            return false;
        }
        if (!begin(title)) {
            error = "Vorbis does not take " + std::to_string(s.bitrateKbps) + " kbit/s at " +
                    std::to_string(s.sampleRate) + " Hz with " + std::to_string(s.channels) + " channel(s)";
            return false;
        }
        return true;
    }
    void encode(const float* frames, std::size_t count, std::vector<unsigned char>& out) override {
        if (headersPending_) pages(out, true);
        headersPending_ = false;
        const int room = converter_.outFrames(count);
        if (room <= 0) return;
        float** buffer = vorbis_analysis_buffer(&dsp_, room);
        std::uint8_t* planes[2] = {
            reinterpret_cast<std::uint8_t*>(buffer[0]),
            reinterpret_cast<std::uint8_t*>(settings_.channels == 2 ? buffer[1] : nullptr)};
        const int n = converter_.convert(frames, count, planes, room);
        vorbis_analysis_wrote(&dsp_, std::max(n, 0));
        drain(out);
    }
    void setTitle(const std::string& title, std::vector<unsigned char>& out) override {
        if (headersPending_) pages(out, true);
        headersPending_ = false;
        vorbis_analysis_wrote(&dsp_, 0);
        drain(out);
        close();
        begin(title);
        pages(out, true);
    }
    bool titlesInStream() const override { return true; }

private:
    bool begin(const std::string& title) {
        vorbis_info_init(&info_);
        if (vorbis_encode_init(&info_, settings_.channels, settings_.sampleRate, -1,
                               settings_.bitrateKbps * 1000, -1) != 0) {
            vorbis_info_clear(&info_);
            return false;
        }
        vorbis_comment_init(&comment_);
        vorbis_comment_add_tag(&comment_, "ENCODER", "Korvex");
        if (!title.empty()) vorbis_comment_add_tag(&comment_, "TITLE", title.c_str());
        vorbis_analysis_init(&dsp_, &info_);
        vorbis_block_init(&dsp_, &block_);
        ogg_stream_init(&ogg_, static_cast<int>(serials_()));
        ogg_packet id, comments, codebooks;
        vorbis_analysis_headerout(&dsp_, &comment_, &id, &comments, &codebooks);
        ogg_stream_packetin(&ogg_, &id);
        ogg_stream_packetin(&ogg_, &comments);
        ogg_stream_packetin(&ogg_, &codebooks);
        open_ = true;
        return true;
    }
    void close() {
        if (!open_) return;
        ogg_stream_clear(&ogg_);
        vorbis_block_clear(&block_);
        vorbis_dsp_clear(&dsp_);
        vorbis_comment_clear(&comment_);
        vorbis_info_clear(&info_);
        open_ = false;
    }
    void drain(std::vector<unsigned char>& out) {
        while (vorbis_analysis_blockout(&dsp_, &block_) == 1) {
            vorbis_analysis(&block_, nullptr);
            vorbis_bitrate_addblock(&block_);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp_, &packet) == 1) ogg_stream_packetin(&ogg_, &packet);
        }
        pages(out, false);
    }
    // Moves finished pages to `out`; `flush` also ends a page early (headers, the stream's end).
    void pages(std::vector<unsigned char>& out, bool flush) {
        ogg_page page;
        while ((flush ? ogg_stream_flush(&ogg_, &page) : ogg_stream_pageout(&ogg_, &page)) != 0) {
            out.insert(out.end(), page.header, page.header + page.header_len);
            out.insert(out.end(), page.body, page.body + page.body_len);
        }
        if (ogg_stream_eos(&ogg_)) {
            while (ogg_stream_flush(&ogg_, &page) != 0) {
                out.insert(out.end(), page.header, page.header + page.header_len);
                out.insert(out.end(), page.body, page.body + page.body_len);
            }
        }
    }

    StreamSettings settings_;
    Converter converter_;
    // The first stream's headers have not left yet.
    bool headersPending_ = true;
    std::mt19937 serials_{std::random_device{}()};
    bool open_ = false;
    vorbis_info info_{};
    vorbis_comment comment_{};
    vorbis_dsp_state dsp_{};
    vorbis_block block_{};
    ogg_stream_state ogg_{};
};

// --- Ogg Opus ------------------------------------------------------------------------------------------

class OpusEncoder final : public StreamEncoder {
public:
    ~OpusEncoder() override {
        if (enc_ != nullptr) ope_encoder_destroy(enc_);
    }
    bool open(const StreamSettings& s, int sourceRate, const std::string& title, std::string& error) {
        channels_ = s.channels;
        // Opus runs at 48 kHz whatever it is fed; the stream's rate is the rate it is fed at.
        if (!converter_.open(sourceRate, s.sampleRate, s.channels, false)) {
            error = "the mix cannot be converted to " + std::to_string(s.sampleRate) + " Hz";
            return false;
        }
        OpusEncCallbacks callbacks{&OpusEncoder::write, &OpusEncoder::closed};
        OggOpusComments* comments = makeComments(title);
        int status = 0;
        enc_ = ope_encoder_create_callbacks(&callbacks, this, comments, s.sampleRate, s.channels, 0, &status);
        ope_comments_destroy(comments);
        if (enc_ == nullptr || ope_encoder_ctl(enc_, OPUS_SET_BITRATE(s.bitrateKbps * 1000)) != OPE_OK) {
            error = std::string("Opus does not take these settings: ") + ope_strerror(status);
            return false;
        }
        // Pages leave at least every 200 ms, so a listener hears the mix soon after it is played.
        ope_encoder_ctl(enc_, OPE_SET_MUXING_DELAY(9600));
        ope_encoder_ctl(enc_, OPE_SET_COMMENT_PADDING(0));
        return true;
    }
    void encode(const float* frames, std::size_t count, std::vector<unsigned char>& out) override {
        const int room = converter_.outFrames(count);
        if (room <= 0) return;
        converted_.resize(static_cast<std::size_t>(room * channels_));
        std::uint8_t* planes[1] = {reinterpret_cast<std::uint8_t*>(converted_.data())};
        const int n = converter_.convert(frames, count, planes, room);
        out_ = &out;
        if (n > 0) ope_encoder_write_float(enc_, converted_.data(), n);
        out_ = nullptr;
    }
    void setTitle(const std::string& title, std::vector<unsigned char>& out) override {
        OggOpusComments* comments = makeComments(title);
        out_ = &out;
        ope_encoder_chain_current(enc_, comments);
        out_ = nullptr;
        ope_comments_destroy(comments);
    }
    bool titlesInStream() const override { return true; }

private:
    static OggOpusComments* makeComments(const std::string& title) {
        OggOpusComments* comments = ope_comments_create();
        ope_comments_add(comments, "ENCODER", "Korvex");
        if (!title.empty()) ope_comments_add(comments, "TITLE", title.c_str());
        return comments;
    }
    static int write(void* self, const unsigned char* data, opus_int32 length) {
        auto* me = static_cast<OpusEncoder*>(self);
        if (me->out_ != nullptr) me->out_->insert(me->out_->end(), data, data + length);
        return 0;
    }
    static int closed(void*) { return 0; }

    int channels_ = 2;
    Converter converter_;
    std::vector<float> converted_;
    OggOpusEnc* enc_ = nullptr;
    std::vector<unsigned char>* out_ = nullptr;
};

}  // namespace

std::unique_ptr<StreamEncoder> makeStreamEncoder(const StreamSettings& settings, int sourceRate,
                                                 const std::string& title, std::string& error) {
    switch (settings.format) {
        case StreamFormat::OggVorbis: {
            auto encoder = std::make_unique<VorbisEncoder>();
            if (!encoder->open(settings, sourceRate, title, error)) return nullptr;
            return encoder;
        }
        case StreamFormat::OggOpus: {
            auto encoder = std::make_unique<OpusEncoder>();
            if (!encoder->open(settings, sourceRate, title, error)) return nullptr;
            return encoder;
        }
        case StreamFormat::Mp3:
            break;
    }
    auto encoder = std::make_unique<Mp3Encoder>();
    if (!encoder->open(settings, sourceRate, error)) return nullptr;
    return encoder;
}

}  // namespace korvex::stream
