#include "platform/os/volume_mixer.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace korvex::os {
namespace {

// The search path when the environment has none.
constexpr const char* kDefaultPath = "/usr/local/bin:/usr/bin:/bin";

bool isExecutableFile(const std::string& candidate) {
    struct stat info {};
    return ::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(candidate.c_str(), X_OK) == 0;
}

void closeQuietly(int fd) {
    if (fd >= 0) ::close(fd);
}

}  // namespace

std::string findInPath(const std::string& program, const std::string& path) {
    if (program.empty() || program.find('/') != std::string::npos) return {};
    std::string::size_type from = 0;
    while (true) {
        const std::string::size_type colon = path.find(':', from);
        std::string candidate =
            path.substr(from, colon == std::string::npos ? std::string::npos : colon - from);
        if (candidate.empty()) candidate.push_back('.');
        candidate.push_back('/');
        candidate.append(program);
        if (isExecutableFile(candidate)) return candidate;
        if (colon == std::string::npos) return {};
        from = colon + 1;
    }
}

bool startDetached(const std::string& executable) {
    if (executable.empty()) return false;
    // Everything the children need is made before forking: between fork and exec only async-signal-safe
    // calls are allowed (the program has other threads).
    std::vector<char> file(executable.begin(), executable.end());
    file.push_back('\0');
    char* const argv[] = {file.data(), nullptr};
    sigset_t noSignals;
    sigemptyset(&noSignals);
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    sigemptyset(&defaultAction.sa_mask);

    // The grandchild reports a failed exec through this pipe; a successful exec closes it silently.
    int report[2] = {-1, -1};
    if (::pipe2(report, O_CLOEXEC) != 0) return false;

    const pid_t child = ::fork();
    if (child < 0) {
        closeQuietly(report[0]);
        closeQuietly(report[1]);
        return false;
    }
    if (child == 0) {
        ::close(report[0]);
        ::setsid();
        // The grandchild runs the program; this child ends at once, so the program is nobody's child of
        // ours and is reaped by the system when it ends.
        const pid_t grandchild = ::fork();
        if (grandchild != 0) ::_exit(grandchild < 0 ? 1 : 0);
        const int null = ::open("/dev/null", O_RDWR);
        if (null >= 0) {
            ::dup2(null, STDIN_FILENO);
            ::dup2(null, STDOUT_FILENO);
            ::dup2(null, STDERR_FILENO);
            if (null > STDERR_FILENO) ::close(null);
        }
        ::sigprocmask(SIG_SETMASK, &noSignals, nullptr);
        ::sigaction(SIGPIPE, &defaultAction, nullptr);
        ::sigaction(SIGCHLD, &defaultAction, nullptr);
        ::execv(file.data(), argv);
        const int error = errno;
        [[maybe_unused]] const ssize_t written = ::write(report[1], &error, sizeof error);
        ::_exit(127);
    }

    ::close(report[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t got = 0;
    do {
        got = ::read(report[0], &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    ::close(report[0]);
    const bool forked = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return forked && got == 0;
}

bool startVolumeMixer() {
    const char* path = std::getenv("PATH");
    const std::string found = findInPath(kVolumeMixerProgram, path != nullptr ? path : kDefaultPath);
    return !found.empty() && startDetached(found);
}

}  // namespace korvex::os
