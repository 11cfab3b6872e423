// Only ordinary files are opened: a FIFO, a device or a folder in a file's place is refused at once, with
// a reason, and never waited on. What each reader makes of a refusal is tested with the reader (the
// settings, lists, skins, and the sampler's slots through the real player).

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <fstream>

#include "platform/os/ordinary_file.h"
#include "platform/platform_support.h"
#include "support/fifo.h"

namespace korvex::test {
namespace {

TEST(OrdinaryFile, OnlyAnOrdinaryFileOpensAndEverythingElseIsRefusedAtOnce) {
    const std::string dir = tempDir();
    const std::string plain = dir + "/plain.txt";
    std::ofstream(plain) << "words";
    const std::string fifo = dir + "/fifo.wav";
    ASSERT_TRUE(makeFifo(fifo));
    const std::string socketPath = dir + "/socket.wav";
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::string link = dir + "/link.wav";
    ASSERT_EQ(::symlink(fifo.c_str(), link.c_str()), 0);

    const std::pair<std::string, std::string> refused[] = {
        {fifo, os::kNotOrdinaryFile},
        {link, os::kNotOrdinaryFile},
        {socketPath, "the file could not be read (No such device or address)"},  // not even opened
        {"/dev/null", os::kNotOrdinaryFile},
        {dir, "a folder, not a music file"},
        {dir + "/missing.wav", "the file does not exist"},
        {"", "the file does not exist"},
    };
    EXPECT_TRUE(returnsPromptly(
        [&] {
            for (const auto& [path, why] : refused) {
                std::string error;
                EXPECT_EQ(os::openOrdinaryFile(path, error), -1) << path;
                EXPECT_EQ(error, why) << path;
                EXPECT_FALSE(os::isOrdinaryFile(path, error)) << path;
            }
        },
        {fifo}));
    ::close(listener);

    // An ordinary file opens for ordinary, blocking reads.
    std::string error;
    const int fd = os::openOrdinaryFile(plain, error);
    ASSERT_GE(fd, 0) << error;
    EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
    char text[8] = {};
    EXPECT_EQ(::read(fd, text, sizeof text), 5);
    EXPECT_STREQ(text, "words");
    ::close(fd);
    EXPECT_TRUE(os::isOrdinaryFile(plain, error));
}

}  // namespace
}  // namespace korvex::test
