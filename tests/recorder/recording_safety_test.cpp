// What survives when things go wrong while recording: a process killed outright, and a disk that fills.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "recorder/recorder_rig.h"

namespace korvex::test {
namespace {

TEST(RecordingSafety, AKilledRecordingLeavesAValidWaveUpToTheLastHeaderUpdate) {
    const std::string dir = tempDir();
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        ::execl(KORVEX_RECORD_CHILD, KORVEX_RECORD_CHILD, dir.c_str(), "3", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    std::string line;
    char c = 0;
    while (::read(out[0], &c, 1) == 1 && c != '\n') line += c;
    ::close(out[0]);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the recorder was killed, not ended";

    std::istringstream words(line);
    std::string ready;
    unsigned long long frames = 0;
    std::string temp;
    words >> ready >> frames;
    std::getline(words >> std::ws, temp);
    ASSERT_EQ(ready, "ready") << line;
    // The header itself counts the audio (readers that do not guess from the file's length play it too).
    std::ifstream raw(temp, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(raw)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 44u);
    auto le32 = [&bytes](std::size_t at) {
        return static_cast<std::uint32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16) |
               static_cast<std::uint32_t>(bytes[at + 3]) << 24;
    };
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    std::size_t at = 12;
    while (at + 8 <= bytes.size() && std::string(bytes.begin() + static_cast<long>(at),
                                                 bytes.begin() + static_cast<long>(at) + 4) != "data")
        at += 8 + le32(at + 4);
    ASSERT_LE(at + 8, bytes.size()) << "a data chunk";
    EXPECT_GE(le32(at + 4) / 4, frames) << "the data chunk's size covers the audio up to the last update";
    EXPECT_LE(at + 8 + le32(at + 4), bytes.size());
    EXPECT_EQ(le32(4), 4 + (at - 12) + 8 + le32(at + 4)) << "the RIFF size agrees";

    const WaveFile wave = readWave(temp);
    ASSERT_TRUE(wave.ok) << "the temporary file opens as a WAVE file";
    EXPECT_EQ(wave.info.samplerate, 44100);
    EXPECT_EQ(wave.info.channels, 2);
    ASSERT_GE(static_cast<unsigned long long>(wave.info.frames), frames);
    const auto left = channelOf(wave);
    const std::vector<float> last(left.end() - 22050, left.end());
    EXPECT_NEAR(zeroCrossingFrequency(last, 44100), 440.0, 1.0) << "the audio runs up to the header's end";
    EXPECT_GT(rms(last), 0.3);
}

// A tmpfs of `kilobytes` mounted on a fresh folder for the test's lifetime.
class SmallDisk {
public:
    explicit SmallDisk(int kilobytes) : dir_(tempDir() + "/disk") {
        QDir().mkpath(QString::fromStdString(dir_));
        const std::string size = "size=" + std::to_string(kilobytes) + "k";
        mounted_ = ::mount("tmpfs", dir_.c_str(), "tmpfs", 0, size.c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_) ::umount2(dir_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    const std::string& dir() const { return dir_; }

private:
    std::string dir_;
    bool mounted_ = false;
};

TEST(RecordingSafety, AFullDiskKeepsWhatWasWrittenAndTheSaveSaysSo) {
    SmallDisk disk(256);
    if (!disk.mounted()) GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
    RecorderModel m;  // 16-bit stereo 44100: 176 kB a second
    const QString destination = QString::fromStdString(disk.dir() + "/set.wav");
    m.dialogs.answer = destination;
    ASSERT_TRUE(m.recorder.open());
    m.recorder.startClick();
    ASSERT_EQ(m.recorder.lastCode(), 0);
    m.r.rig.render(3.0);
    m.recorder.stopPress();
    EXPECT_EQ(m.recorder.lastCode(), 0) << "the stop itself succeeds";
    m.recorder.saveClick();
    ASSERT_EQ(m.boxes.shown.size(), 1u);
    EXPECT_EQ(m.recorder.lastCode(), 286);
    EXPECT_EQ(m.boxes.shown[0].text,
              QStringLiteral("ディスクがいっぱいになったため、「%1」には途中までしか録音されていません。"
                             "空き容量を増やしてから録音し直してください。 (286)")
                  .arg(destination));
    EXPECT_EQ(m.boxes.shown[0].title, QStringLiteral("録音"));
    EXPECT_EQ(m.boxes.shown[0].icon, base::MessageIcon::Critical);

    const WaveFile wave = readWave(destination.toStdString());
    ASSERT_TRUE(wave.ok) << "what was written is kept, in place";
    EXPECT_GT(wave.info.frames, 44100 / 2);
    EXPECT_LT(wave.info.frames, 2 * 44100);
    const auto left = channelOf(wave);
    EXPECT_NEAR(zeroCrossingFrequency(std::vector<float>(left.begin() + 4410, left.end()), 44100), 440.0,
                1.0);
}

}  // namespace
}  // namespace korvex::test
