#include "platform/stream/broadcaster.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <shout/shout.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/audio/audio_engine.h"
#include "platform/stream/stream_encoder.h"

namespace korvex::stream {

namespace {

using Clock = std::chrono::steady_clock;

// The ring holds about 1.5 s of mix at 44.1 kHz; the encoder drains it every 20 ms.
constexpr std::size_t kRingFrames = std::size_t{1} << 16;
constexpr auto kEncodeEvery = std::chrono::milliseconds(20);
// Encoded blocks waiting for the network: 20 ms each, so about 4 s.
constexpr std::size_t kQueueBlocks = 200;
// A connection that takes longer than this to answer counts as lost.
constexpr double kConnectTimeoutSeconds = 10.0;

void initShout() {
    static std::once_flag once;
    std::call_once(once, [] { shout_init(); });
}

double secondsSince(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

// Asks the server, as a listener would, whether `mount` is being sent to: the way to tell "mount in use"
// from a wrong password when the server refuses a login. Waits at most about two seconds.
bool mountIsLive(const StreamSettings& s) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(s.host.c_str(), std::to_string(s.port).c_str(), &hints, &found) != 0) return false;
    std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> guard(found, freeaddrinfo);
    const int fd = ::socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    bool live = false;
    timeval timeout{2, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    if (::connect(fd, found->ai_addr, found->ai_addrlen) == 0) {
        const std::string request = "GET " + s.mount + " HTTP/1.0\r\nHost: " + s.host + "\r\n\r\n";
        if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(request.size())) {
            char reply[64] = {};
            const ssize_t n = ::recv(fd, reply, sizeof reply - 1, 0);
            live = n > 12 && std::strncmp(reply + 9, "200", 3) == 0;
        }
    }
    ::close(fd);
    return live;
}

struct ShoutCloser {
    void operator()(shout_t* shout) const {
        shout_close(shout);
        shout_free(shout);
    }
};
using ShoutPtr = std::unique_ptr<shout_t, ShoutCloser>;

ShoutPtr makeShout(const StreamSettings& s) {
    ShoutPtr shout(shout_new());
    if (!shout) return nullptr;
    shout_t* sh = shout.get();
    shout_set_host(sh, s.host.c_str());
    shout_set_port(sh, static_cast<unsigned short>(s.port));
    shout_set_user(sh, s.user.c_str());
    shout_set_password(sh, s.password.c_str());
    shout_set_mount(sh, s.mount.c_str());
    shout_set_protocol(sh,
                       s.protocol == StreamProtocol::Shoutcast ? SHOUT_PROTOCOL_ICY : SHOUT_PROTOCOL_HTTP);
    shout_set_tls(sh, SHOUT_TLS_DISABLED);
    const unsigned format = s.format == StreamFormat::Mp3 ? SHOUT_FORMAT_MP3 : SHOUT_FORMAT_OGG;
    const char* codecs = s.format == StreamFormat::OggOpus     ? "opus"
                         : s.format == StreamFormat::OggVorbis ? "vorbis"
                                                               : nullptr;
    shout_set_content_format(sh, format, SHOUT_USAGE_AUDIO, codecs);
    shout_set_agent(sh, "Korvex");
    if (!s.name.empty()) shout_set_meta(sh, SHOUT_META_NAME, s.name.c_str());
    if (!s.genre.empty()) shout_set_meta(sh, SHOUT_META_GENRE, s.genre.c_str());
    shout_set_audio_info(sh, SHOUT_AI_BITRATE, std::to_string(s.bitrateKbps).c_str());
    shout_set_audio_info(sh, SHOUT_AI_SAMPLERATE, std::to_string(s.sampleRate).c_str());
    shout_set_audio_info(sh, SHOUT_AI_CHANNELS, std::to_string(s.channels).c_str());
    shout_set_nonblocking(sh, 1);
    return shout;
}

}  // namespace

const char* faultName(LinkFault fault) {
    switch (fault) {
        case LinkFault::kNone:
            return "none";
        case LinkFault::kNetwork:
            return "the server cannot be reached";
        case LinkFault::kWrongPassword:
            return "the server refused the user name or password";
        case LinkFault::kMountInUse:
            return "another source is sending to the mount";
        case LinkFault::kRejected:
            return "the server refused the stream";
    }
    return "unknown";
}

Broadcaster::Broadcaster(audio::AudioEngine& engine) : engine_(engine), ring_(kRingFrames) {
    initShout();
}

Broadcaster::~Broadcaster() {
    stop();
}

bool Broadcaster::start(const StreamSettings& settings, std::string& error) {
    stop();
    if (error = checkSettings(settings); !error.empty()) return false;
    // The encoder is tried once here, so settings it refuses are said at once, not on every connection.
    if (!makeStreamEncoder(settings, engine_.sampleRate(), {}, error)) return false;
    if (!engine_.addMixTap(&ring_)) {
        error = "every mix tap of the engine is in use";
        return false;
    }
    settings_ = settings;
    {
        std::lock_guard lock(mutex_);
        status_ = BroadcastStatus{};
        status_.state = LinkState::kConnecting;
        queue_.clear();
        onAirBefore_ = 0;
    }
    stopping_ = false;
    connection_ = 0;
    running_ = true;
    encoder_ = std::thread(&Broadcaster::encodeLoop, this);
    sender_ = std::thread(&Broadcaster::sendLoop, this);
    return true;
}

void Broadcaster::stop() {
    if (!running_) return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    sender_.join();
    encoder_.join();
    engine_.removeMixTap(&ring_);
    std::lock_guard lock(mutex_);
    if (status_.state == LinkState::kOnAir) onAirBefore_ += secondsSince(connectedAt_);
    status_.secondsOnAir = onAirBefore_;
    status_.state = LinkState::kOff;
    running_ = false;
}

void Broadcaster::setTitle(const std::string& title) {
    {
        std::lock_guard lock(mutex_);
        if (title == title_) return;
        title_ = title;
        ++titleSeq_;
    }
    wake_.notify_all();
}

BroadcastStatus Broadcaster::status() const {
    std::lock_guard lock(mutex_);
    BroadcastStatus s = status_;
    s.secondsOnAir = onAirBefore_ + (s.state == LinkState::kOnAir ? secondsSince(connectedAt_) : 0.0);
    if (s.state == LinkState::kReconnecting) s.secondsToRetry = std::max(0.0, -secondsSince(retryAt_));
    s.lostFrames = ring_.lostFrames();
    return s;
}

void Broadcaster::setState(LinkState state) {
    std::lock_guard lock(mutex_);
    if (status_.state == LinkState::kOnAir && state != LinkState::kOnAir)
        onAirBefore_ += secondsSince(connectedAt_);
    if (state == LinkState::kOnAir) connectedAt_ = Clock::now();
    status_.state = state;
}

void Broadcaster::fail(LinkFault fault, const std::string& detail) {
    std::lock_guard lock(mutex_);
    status_.fault = fault;
    status_.detail = detail;
}

bool Broadcaster::pause(double seconds) {
    std::unique_lock lock(mutex_);
    retryAt_ =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    wake_.wait_until(lock, retryAt_, [this] { return stopping_.load(); });
    return !stopping_;
}

void Broadcaster::encodeLoop() {
    std::vector<float> frames(ring_.capacity() * 2);
    std::unique_ptr<StreamEncoder> encoder;
    std::uint64_t encoding = 0;  // the connection the encoder works for
    std::uint64_t titleSeq = 0;
    while (!stopping_) {
        std::this_thread::sleep_for(kEncodeEvery);
        const std::size_t n = ring_.read(frames.data(), ring_.capacity());
        const std::uint64_t connection = connection_.load();
        if (connection == 0) {
            // No listener can hear it: the mix is let go, so the next connection starts live.
            encoder.reset();
            continue;
        }
        Block block{connection, {}};
        if (connection != encoding) {
            std::string title;
            {
                std::lock_guard lock(mutex_);
                title = title_;
                titleSeq = titleSeq_;
            }
            std::string error;
            encoder = makeStreamEncoder(settings_, engine_.sampleRate(), title, error);
            encoding = connection;
            if (!encoder) continue;  // refused before start(), so it does not happen here
        } else if (encoder && encoder->titlesInStream()) {
            std::string title;
            {
                std::lock_guard lock(mutex_);
                if (titleSeq_ != titleSeq) title = title_;
                titleSeq = titleSeq_;
            }
            if (!title.empty()) encoder->setTitle(title, block.bytes);
        }
        if (!encoder) continue;
        encoder->encode(frames.data(), n, block.bytes);
        if (block.bytes.empty()) continue;
        {
            std::lock_guard lock(mutex_);
            if (queue_.size() >= kQueueBlocks) {
                ++status_.droppedBlocks;
                continue;
            }
            queue_.push_back(std::move(block));
        }
        wake_.notify_all();
    }
}

void Broadcaster::sendLoop() {
    // Writing to a connection the server has closed raises SIGPIPE, which would end the program: on this
    // thread it is blocked, and what is pending is taken away after each connection.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    const timespec now{0, 0};
    double wait = settings_.firstRetrySeconds;
    std::uint64_t connections = 0;
    int attempts = 0;
    // One handle for the whole broadcast, closed and opened again for each attempt: libshout 2.4.6's
    // shout_free() gives nothing back, so a handle for each attempt would cost about 1 KB every time.
    ShoutPtr shout;
    while (!stopping_) {
        if (!shout) shout = makeShout(settings_);
        int result = shout ? shout_open(shout.get()) : SHOUTERR_MALLOC;
        const Clock::time_point began = Clock::now();
        while (result == SHOUTERR_BUSY && !stopping_ && secondsSince(began) < kConnectTimeoutSeconds) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            result = shout_get_connected(shout.get());
        }
        if (stopping_) break;
        if (result == SHOUTERR_SUCCESS || result == SHOUTERR_CONNECTED) {
            {
                std::lock_guard lock(mutex_);
                if (connections > 0) ++status_.reconnects;
                status_.attempts = 0;
                queue_.clear();
            }
            attempts = 0;
            wait = settings_.firstRetrySeconds;
            connection_ = ++connections;
            setState(LinkState::kOnAir);
            pump(shout.get());
            connection_ = 0;
            if (stopping_) break;
        } else if (result == SHOUTERR_NOLOGIN) {
            const std::string detail = shout_get_error(shout.get());
            // A Shoutcast server has no mounts to ask about: its only login is the password.
            if (settings_.protocol == StreamProtocol::Icecast && mountIsLive(settings_))
                fail(LinkFault::kMountInUse, detail);
            else
                fail(LinkFault::kWrongPassword, detail);
        } else if (result == SHOUTERR_BUSY) {
            fail(LinkFault::kNetwork, "the server did not answer within " +
                                          std::to_string(static_cast<int>(kConnectTimeoutSeconds)) + " s");
        } else if (result == SHOUTERR_NOCONNECT || result == SHOUTERR_SOCKET) {
            fail(LinkFault::kNetwork, shout ? shout_get_error(shout.get()) : "no connection");
        } else {
            fail(LinkFault::kRejected, shout ? shout_get_error(shout.get()) : "no connection");
        }
        if (shout) shout_close(shout.get());
        while (sigtimedwait(&pipe, nullptr, &now) == SIGPIPE) {
        }
        ++attempts;
        {
            std::lock_guard lock(mutex_);
            status_.attempts = attempts;
        }
        if (settings_.maxAttempts > 0 && attempts > settings_.maxAttempts) {
            setState(LinkState::kGaveUp);
            break;
        }
        setState(LinkState::kReconnecting);
        if (!pause(wait)) break;
        wait = std::min(wait * 2, settings_.longestRetrySeconds);
    }
}

void Broadcaster::pump(void* handle) {
    auto* shout = static_cast<shout_t*>(handle);
    const std::uint64_t connection = connection_.load();
    const double stallBytes = settings_.stallSeconds * settings_.bitrateKbps * 1000.0 / 8.0;
    std::uint64_t titleSeq = ~std::uint64_t{0};
    const bool titlesBeside = settings_.format == StreamFormat::Mp3;
    while (!stopping_) {
        std::deque<Block> blocks;
        std::string title;
        bool newTitle = false;
        {
            std::unique_lock lock(mutex_);
            wake_.wait_for(lock, std::chrono::milliseconds(50), [&] {
                return stopping_ || !queue_.empty() || (titlesBeside && titleSeq != titleSeq_);
            });
            blocks.swap(queue_);
            if (titlesBeside && titleSeq != titleSeq_) {
                newTitle = !title_.empty();
                title = title_;
                titleSeq = titleSeq_;
            }
        }
        for (const Block& block : blocks) {
            if (block.connection != connection) continue;
            const int result = shout_send(shout, block.bytes.data(), block.bytes.size());
            if (result != SHOUTERR_SUCCESS && result != SHOUTERR_BUSY) {
                fail(LinkFault::kNetwork, shout_get_error(shout));
                return;
            }
            std::lock_guard lock(mutex_);
            status_.bytesSent += block.bytes.size();
        }
        if (newTitle) {
            shout_metadata_t* metadata = shout_metadata_new();
            // A server that takes no titles still takes the stream: a refusal here is not a fault.
            if (shout_metadata_add(metadata, "song", title.c_str()) == SHOUTERR_SUCCESS) {
                const int told = shout_set_metadata_utf8(shout, metadata);
                static_cast<void>(told);
            }
            shout_metadata_free(metadata);
        }
        if (static_cast<double>(shout_queuelen(shout)) > stallBytes) {
            fail(LinkFault::kNetwork, "the server stopped taking the stream");
            return;
        }
    }
}

}  // namespace korvex::stream
