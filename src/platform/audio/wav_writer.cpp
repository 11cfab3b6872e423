#include "platform/audio/wav_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace korvex::audio {

namespace {

// RIFF header, "fmt " chunk (18 bytes, IEEE float), "fact" chunk, then the "data" chunk header.
constexpr std::size_t kHeaderBytes = 12 + 8 + 18 + 8 + 4 + 8;
constexpr off_t kRiffSizeAt = 4;
constexpr off_t kFactAt = 12 + 8 + 18 + 8;
constexpr off_t kDataSizeAt = kFactAt + 4 + 4;

void put16(unsigned char*& p, std::uint16_t v) {
    *p++ = static_cast<unsigned char>(v & 0xFF);
    *p++ = static_cast<unsigned char>(v >> 8);
}
void put32(unsigned char*& p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) *p++ = static_cast<unsigned char>((v >> (8 * i)) & 0xFF);
}
void putTag(unsigned char*& p, const char* tag) {
    std::memcpy(p, tag, 4);
    p += 4;
}

bool writeAll(int fd, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool put32At(int fd, off_t offset, std::uint32_t value) {
    unsigned char buffer[4];
    unsigned char* p = buffer;
    put32(p, value);
    return ::pwrite(fd, buffer, 4, offset) == 4;
}

}  // namespace

WavWriter::~WavWriter() { close(); }

bool WavWriter::open(const std::string& path, int sampleRate, std::string& error, int channels) {
    close();
    channels_ = channels;
    const int bytesPerFrame = channels_ * 4;
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        error = std::strerror(errno);
        return false;
    }
    unsigned char header[kHeaderBytes];
    unsigned char* p = header;
    putTag(p, "RIFF");
    put32(p, static_cast<std::uint32_t>(kHeaderBytes - 8));
    putTag(p, "WAVE");
    putTag(p, "fmt ");
    put32(p, 18);
    put16(p, 3);  // IEEE float
    put16(p, static_cast<std::uint16_t>(channels_));
    put32(p, static_cast<std::uint32_t>(sampleRate));
    put32(p, static_cast<std::uint32_t>(sampleRate * bytesPerFrame));
    put16(p, static_cast<std::uint16_t>(bytesPerFrame));
    put16(p, 32);
    put16(p, 0);
    putTag(p, "fact");
    put32(p, 4);
    put32(p, 0);
    putTag(p, "data");
    put32(p, 0);
    frames_ = 0;
    if (!writeAll(fd_, header, sizeof header)) {
        error = std::strerror(errno);
        close();
        return false;
    }
    return true;
}

bool WavWriter::write(const float* frames, std::size_t count) {
    if (fd_ < 0) return false;
    // RIFF sizes are 32-bit: stop growing a little before 4 GiB rather than corrupt the file.
    const std::size_t bytesPerFrame = static_cast<std::size_t>(channels_) * 4;
    const std::uint64_t limit = (0xFFFFFFFFull - kHeaderBytes) / bytesPerFrame;
    if (frames_ + count > limit) count = static_cast<std::size_t>(limit - frames_);
    if (count == 0) return false;
    if (!writeAll(fd_, frames, count * bytesPerFrame)) return false;
    frames_ += count;
    return updateHeader();
}

bool WavWriter::updateHeader() {
    const auto dataBytes = static_cast<std::uint32_t>(frames_ * static_cast<std::uint64_t>(channels_) * 4);
    return put32At(fd_, kDataSizeAt, dataBytes) &&
           put32At(fd_, kRiffSizeAt, static_cast<std::uint32_t>(kHeaderBytes - 8) + dataBytes) &&
           put32At(fd_, kFactAt, static_cast<std::uint32_t>(frames_));
}

void WavWriter::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

}  // namespace korvex::audio
