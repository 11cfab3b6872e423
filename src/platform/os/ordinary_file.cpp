#include "platform/os/ordinary_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace korvex::os {

std::string fileProblem(int errnoValue) {
    switch (errnoValue) {
        case ENOENT:
        case ENOTDIR:
            return "the file does not exist";
        case EACCES:
        case EPERM:
            return "no permission to read the file";
        case EISDIR:
            return "a folder, not a music file";
        case ENAMETOOLONG:
            return "the file name is too long";
        case ELOOP:
            return "the file name leads round in a circle of links";
        default:
            return std::string("the file could not be read (") + std::strerror(errnoValue) + ")";
    }
}

int openOrdinaryFile(const std::string& path, std::string& error) {
    if (path.empty()) {
        error = fileProblem(ENOENT);
        return -1;
    }
    // O_NONBLOCK: a FIFO without a writer, or a device that waits for its line, opens at once instead.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = fileProblem(errno);
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        error = fileProblem(errno);
    } else if (S_ISDIR(info.st_mode)) {
        error = fileProblem(EISDIR);
    } else if (!S_ISREG(info.st_mode)) {
        error = kNotOrdinaryFile;
    } else {
        // Reads of an ordinary file never wait anyway; blocking mode is what the readers expect.
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0) return fd;
        error = fileProblem(errno);
    }
    ::close(fd);
    return -1;
}

bool isOrdinaryFile(const std::string& path, std::string& error) {
    const int fd = openOrdinaryFile(path, error);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

}  // namespace korvex::os
