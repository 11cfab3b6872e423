#pragma once
// FIFOs in place of files, and a deadline for code that might wait on one: a reader that blocks on a FIFO
// must fail its test, not hang the suite.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace korvex::test {

// Makes a FIFO at `path`; true when it was made.
inline bool makeFifo(const std::string& path) {
    return ::mkfifo(path.c_str(), 0644) == 0;
}

// While it lives, nothing waits on `fifos` for longer than `seconds`: from then on each is opened for
// writing and closed again, over and over, which ends a reader's wait (it sees an empty stream). fired()
// says whether it came to that. For code that must run on the calling thread (the windows).
class FifoWatchdog {
public:
    explicit FifoWatchdog(std::vector<std::string> fifos, double seconds = 10.0)
        : fifos_(std::move(fifos)), thread_([this, seconds] { watch(seconds); }) {}
    ~FifoWatchdog() {
        stop_ = true;
        thread_.join();
    }
    FifoWatchdog(const FifoWatchdog&) = delete;
    FifoWatchdog& operator=(const FifoWatchdog&) = delete;

    bool fired() const { return fired_; }

private:
    void watch(double seconds) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (!stop_ && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        while (!stop_) {
            fired_ = true;
            for (const std::string& fifo : fifos_) {
                const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                if (fd >= 0) ::close(fd);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    std::vector<std::string> fifos_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> fired_{false};
    std::thread thread_;
};

// Runs `read` under a FifoWatchdog for `fifos`; true when it returned within `seconds` on its own.
inline bool returnsPromptly(const std::function<void()>& read, const std::vector<std::string>& fifos,
                            double seconds = 10.0) {
    const FifoWatchdog watchdog(fifos, seconds);
    read();
    return !watchdog.fired();
}

}  // namespace korvex::test
