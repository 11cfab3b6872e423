#include "support/icecast_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "support/signals.h"

namespace korvex::test {

namespace {

int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t length = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length);
    ::close(fd);
    return ntohs(addr.sin_port);
}

// A free port whose next port is free too.
int freePortPair() {
    for (;;) {
        const int port = freePort();
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(static_cast<std::uint16_t>(port + 1));
        const bool free = port < 65534 && ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        ::close(fd);
        if (free) return port;
    }
}

bool accepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

bool IcecastServer::available() {
    return std::system("command -v icecast2 >/dev/null 2>&1") == 0;
}

IcecastServer::IcecastServer() : dir_(tempDir()), port_(freePort()), shoutcastPort_(freePortPair()) {
    // The server drops root for nobody, who must be able to write its logs.
    ::chmod(dir_.c_str(), 0777);
    std::ofstream xml(dir_ + "/icecast.xml");
    xml << "<icecast>\n"
           "<limits><clients>20</clients><sources>4</sources><queue-size>524288</queue-size>"
           "<client-timeout>30</client-timeout><header-timeout>15</header-timeout><source-timeout>10</"
           "source-timeout>"
           "<burst-size>0</burst-size></limits>\n"
           "<authentication><source-password>"
        << kPassword
        << "</source-password><admin-user>admin</admin-user><admin-password>korvex-admin</admin-password>"
           "</authentication>\n"
           "<hostname>127.0.0.1</hostname>\n"
           "<listen-socket><port>"
        << port_
        << "</port><bind-address>127.0.0.1</bind-address></listen-socket>\n"
           "<listen-socket><port>"
        << shoutcastPort_ << "</port><bind-address>127.0.0.1</bind-address><shoutcast-mount>" << kShoutcastMount
        << "</shoutcast-mount></listen-socket>\n"
           "<fileserve>1</fileserve>\n"
           "<paths><basedir>"
        << dir_ << "</basedir><logdir>" << dir_
        << "</logdir><webroot>/usr/share/icecast2/web</webroot><adminroot>/usr/share/icecast2/admin</"
           "adminroot>"
           "</paths>\n"
           "<logging><accesslog>access.log</accesslog><errorlog>error.log</errorlog><loglevel>3</loglevel>"
           "</logging>\n"
           "<security><chroot>0</chroot>"
        << (::getuid() == 0 ? "<changeowner><user>nobody</user><group>nogroup</group></changeowner>" : "")
        << "</security>\n</icecast>\n";
}

IcecastServer::~IcecastServer() {
    kill();
    std::system(("rm -rf '" + dir_ + "'").c_str());
}

bool IcecastServer::start() {
    kill();
    pid_ = ::fork();
    if (pid_ == 0) {
        ::setpgid(0, 0);
        const std::string log = dir_ + "/stdout.log";
        std::freopen(log.c_str(), "w", stdout);
        std::freopen(log.c_str(), "a", stderr);
        const std::string config = dir_ + "/icecast.xml";
        ::execlp("icecast2", "icecast2", "-c", config.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (accepts(port_) && accepts(shoutcastPort_ + 1)) return true;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

void IcecastServer::pause(bool paused) {
    if (pid_ > 0) ::kill(pid_, paused ? SIGSTOP : SIGCONT);
}

void IcecastServer::kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::kill(pid_, SIGCONT);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

std::string IcecastServer::url(const std::string& mount) const {
    return "http://127.0.0.1:" + std::to_string(port_) + mount;
}

std::string IcecastServer::statusJson() const {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<std::uint16_t>(port_));
    std::string text;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        const std::string request = "GET /status-json.xsl HTTP/1.0\r\n\r\n";
        if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) > 0) {
            char buffer[4096];
            ssize_t n = 0;
            while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
                text.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    return text;
}

// --- the listener --------------------------------------------------------------------------------------

StreamListener::StreamListener(std::string url, bool keepSamples) : url_(std::move(url)), keep_(keepSamples) {
    thread_ = std::thread(&StreamListener::run, this);
}

StreamListener::~StreamListener() {
    stop_ = true;
    thread_.join();
}

std::vector<float> StreamListener::heard() const {
    std::lock_guard lock(mutex_);
    return heard_;
}

std::size_t StreamListener::heardCount() const {
    std::lock_guard lock(mutex_);
    return count_;
}

std::vector<std::string> StreamListener::titles() const {
    std::lock_guard lock(mutex_);
    return titles_;
}

std::chrono::steady_clock::time_point StreamListener::firstLoud() const {
    std::lock_guard lock(mutex_);
    return firstLoud_;
}

std::string StreamListener::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

void StreamListener::run() {
    AVFormatContext* format = nullptr;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "icy", "1", 0);
    av_dict_set(&options, "rw_timeout", "5000000", 0);
    av_dict_set(&options, "reconnect", "0", 0);
    AVIOInterruptCB interrupt{[](void* self) { return static_cast<StreamListener*>(self)->stop_ ? 1 : 0; },
                              this};
    format = avformat_alloc_context();
    format->interrupt_callback = interrupt;
    // Ogg pages come every 200 ms or so: probing must not wait for seconds of them.
    format->probesize = 8192;
    av_dict_set(&options, "fflags", "nobuffer", 0);
    int result = avformat_open_input(&format, url_.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (result < 0) {
        std::lock_guard lock(mutex_);
        error_ = "cannot open " + url_;
        ended_ = true;
        return;
    }
    avformat_find_stream_info(format, nullptr);
    const int index = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    AVCodecContext* codec = nullptr;
    SwrContext* swr = nullptr;
    if (index >= 0) {
        const AVStream* stream = format->streams[index];
        codec = avcodec_alloc_context3(avcodec_find_decoder(stream->codecpar->codec_id));
        avcodec_parameters_to_context(codec, stream->codecpar);
        avcodec_open2(codec, nullptr, nullptr);
    }
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    std::string lastTitle;
    auto noteTitle = [&](const std::string& title) {
        if (title.empty() || title == lastTitle) return;
        lastTitle = title;
        std::lock_guard lock(mutex_);
        titles_.push_back(title);
    };
    while (codec != nullptr && !stop_ && av_read_frame(format, packet) >= 0) {
        char* icy = nullptr;
        if (av_opt_get(format->pb, "icy_metadata_packet", AV_OPT_SEARCH_CHILDREN,
                       reinterpret_cast<std::uint8_t**>(&icy)) >= 0 &&
            icy != nullptr) {
            std::string text = icy;
            const std::string key = "StreamTitle='";
            if (const auto at = text.find(key); at != std::string::npos)
                noteTitle(text.substr(at + key.size(), text.find("';", at) - at - key.size()));
        }
        av_free(icy);
        for (unsigned s = 0; s < format->nb_streams; ++s)
            if (const AVDictionaryEntry* e = av_dict_get(format->streams[s]->metadata, "title", nullptr, 0))
                noteTitle(e->value);
        if (packet->stream_index == index && avcodec_send_packet(codec, packet) >= 0) {
            while (avcodec_receive_frame(codec, frame) >= 0) {
                if (swr == nullptr) {
                    AVChannelLayout mono{};
                    av_channel_layout_default(&mono, 1);
                    swr_alloc_set_opts2(&swr, &mono, AV_SAMPLE_FMT_FLT, 44100, &frame->ch_layout,
                                        static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0,
                                        nullptr);
                    swr_init(swr);
                }
                std::vector<float> out(static_cast<std::size_t>(swr_get_out_samples(swr, frame->nb_samples)));
                auto* dst = reinterpret_cast<std::uint8_t*>(out.data());
                const int n =
                    swr_convert(swr, &dst, static_cast<int>(out.size()),
                                const_cast<const std::uint8_t**>(frame->extended_data), frame->nb_samples);
                std::lock_guard lock(mutex_);
                if (firstLoud_ == std::chrono::steady_clock::time_point{} &&
                    std::any_of(out.begin(), out.begin() + std::max(n, 0), [](float x) { return std::abs(x) > 0.1f; }))
                    firstLoud_ = std::chrono::steady_clock::now();
                if (keep_) heard_.insert(heard_.end(), out.begin(), out.begin() + std::max(n, 0));
                count_ += static_cast<std::size_t>(std::max(n, 0));
            }
        }
        av_packet_unref(packet);
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    swr_free(&swr);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
    ended_ = true;
}

}  // namespace korvex::test
