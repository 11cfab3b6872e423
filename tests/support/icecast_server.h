#pragma once
// A private Icecast 2 server for the broadcast tests and benchmarks, and a listener that decodes a mount.

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace korvex::test {

// icecast2 on 127.0.0.1 at a free port, with its own configuration and folder; stopped (killed) when it goes
// out of scope, however the test ends.
class IcecastServer {
public:
    static constexpr const char* kPassword = "korvex-source";
    // True when the icecast2 program is installed.
    static bool available();
    IcecastServer();
    ~IcecastServer();
    IcecastServer(const IcecastServer&) = delete;
    IcecastServer& operator=(const IcecastServer&) = delete;

    // Starts the server and waits (at most 10 s) until it takes connections; false when it did not.
    bool start();
    // Kills the server at once (SIGKILL), as a crash would.
    void kill();
    // Stops the server's process where it stands (SIGSTOP), or lets it go on (SIGCONT).
    void pause(bool paused);
    int port() const { return port_; }
    // A second listen socket for Shoutcast (ICY) sources: listeners at shoutcastPort(), sources at the port
    // after it, feeding the mount kShoutcastMount.
    static constexpr const char* kShoutcastMount = "/shoutcast.mp3";
    int shoutcastPort() const { return shoutcastPort_; }
    std::string url(const std::string& mount) const;
    // The server's status page (JSON) as text; empty when it cannot be read.
    std::string statusJson() const;

private:
    std::string dir_;
    int port_ = 0;
    int shoutcastPort_ = 0;
    pid_t pid_ = -1;
};

// Reads a mount as a listener (libavformat over HTTP) on a thread of its own, decodes it to mono float at
// 44.1 kHz and keeps what it heard and the titles that came with it (ICY titles for MP3, comment titles for
// Ogg).
class StreamListener {
public:
    // `keepSamples` false: only counts what it decodes (a long listen in little memory).
    explicit StreamListener(std::string url, bool keepSamples = true);
    ~StreamListener();
    StreamListener(const StreamListener&) = delete;
    StreamListener& operator=(const StreamListener&) = delete;

    // Decoded samples so far (a copy).
    std::vector<float> heard() const;
    std::size_t heardCount() const;
    std::vector<std::string> titles() const;
    // When the first sample louder than 0.1 was decoded (the epoch while none was).
    std::chrono::steady_clock::time_point firstLoud() const;
    // True once the stream has ended or could not be opened.
    bool ended() const { return ended_; }
    std::string error() const;

private:
    void run();
    std::string url_;
    mutable std::mutex mutex_;
    bool keep_;
    std::vector<float> heard_;
    std::size_t count_ = 0;
    std::vector<std::string> titles_;
    std::chrono::steady_clock::time_point firstLoud_{};
    std::string error_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> ended_{false};
    std::thread thread_;
};

}  // namespace korvex::test
