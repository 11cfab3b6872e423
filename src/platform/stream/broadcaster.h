#pragma once
// The broadcast: the engine's master mix, encoded and sent to an Icecast (or Shoutcast) server, for as long
// as the DJ wants, through server restarts and network faults.
//
// Why it is shaped this way: the audio thread may never wait, so its only part is a mix tap that copies each
// block into a fixed ring (frames that do not fit are counted). An encoding thread drains the ring every
// few milliseconds and turns it into encoded blocks; a sending thread owns the connection (libshout,
// non-blocking) and sends them. The two meet in a short queue: when the network is slow and it is full,
// whole encoded blocks are dropped and counted, so neither the engine nor the encoder ever waits for the
// network. While there is no connection the encoder throws the mix away; each new connection starts a
// fresh encoder on the live mix, so a listener never gets a backlog burst and an Ogg stream always begins
// with its headers. A lost connection is tried again after 1 s, then 2, 4 ... up to 30 s, for ever unless
// the settings cap the attempts.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/capture.h"
#include "platform/stream/stream_settings.h"

namespace korvex::audio {
class AudioEngine;
}

namespace korvex::stream {

enum class LinkState {
    kOff,           // not broadcasting
    kConnecting,    // the first attempt
    kOnAir,         // connected and sending
    kReconnecting,  // lost or refused; waiting for the next attempt
    kGaveUp,        // the capped attempts are used up
};

enum class LinkFault {
    kNone,
    kNetwork,        // no answer, refused, dropped or stalled
    kWrongPassword,  // the server refused the login
    kMountInUse,     // another source is sending to the mount
    kRejected,       // the server refused the stream for another reason
};

// A snapshot of the broadcast, for the window and the command line.
struct BroadcastStatus {
    LinkState state = LinkState::kOff;
    // Why the last attempt or connection failed (kNone before any failure).
    LinkFault fault = LinkFault::kNone;
    // The server's or the system's own words about that failure, in English.
    std::string detail;
    // Times the connection was lost and made again, and attempts since the last loss.
    std::uint64_t reconnects = 0;
    int attempts = 0;
    // Seconds on air in all (connected time since start()), and seconds to the next attempt.
    double secondsOnAir = 0;
    double secondsToRetry = 0;
    // Encoded blocks dropped because the network fell behind; mix frames the ring could not take.
    std::uint64_t droppedBlocks = 0;
    std::uint64_t lostFrames = 0;
    // Encoded bytes the server accepted.
    std::uint64_t bytesSent = 0;
};

class Broadcaster {
public:
    explicit Broadcaster(audio::AudioEngine& engine);
    ~Broadcaster();
    Broadcaster(const Broadcaster&) = delete;
    Broadcaster& operator=(const Broadcaster&) = delete;

    // Starts broadcasting with `settings` (stops a running broadcast first). False with a reason in English
    // when the settings are wrong or the encoder refuses them; a server that cannot be reached is not an
    // error here: it is tried until it answers. Not on the audio thread.
    bool start(const StreamSettings& settings, std::string& error);
    // Stops and closes the connection; returns once both threads have ended and the tap is detached.
    void stop();
    bool running() const { return running_; }
    // The song now playing; sent at once when on air and again on each new connection. Any thread but
    // the audio thread.
    void setTitle(const std::string& title);
    BroadcastStatus status() const;

private:
    struct Block {
        std::uint64_t connection;
        std::vector<unsigned char> bytes;
    };
    void encodeLoop();
    void sendLoop();
    // Sends blocks over the open connection `shout` until it fails or the broadcast stops.
    void pump(void* shout);
    // Waits `seconds`, or less when the broadcast stops; false when it stopped.
    bool pause(double seconds);
    void setState(LinkState state);
    void fail(LinkFault fault, const std::string& detail);

    audio::AudioEngine& engine_;
    StreamSettings settings_;
    audio::CaptureRing ring_;
    bool running_ = false;
    std::thread encoder_;
    std::thread sender_;
    std::atomic<bool> stopping_{false};
    // Bumped by the sender on each new connection (0: none yet); 0 while there is no connection.
    std::atomic<std::uint64_t> connection_{0};

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Block> queue_;
    std::string title_;
    std::uint64_t titleSeq_ = 0;
    BroadcastStatus status_;
    std::chrono::steady_clock::time_point connectedAt_{};
    std::chrono::steady_clock::time_point retryAt_{};
    double onAirBefore_ = 0;
};

// Words for a fault, in English (stderr, the command line).
const char* faultName(LinkFault fault);

}  // namespace korvex::stream
