// The recorder's command interface: the command strings the recorder sends, their codes and texts, and what
// ends up in the saved file when the player's mix is recorded.

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "recorder/mci_errors.h"
#include "recorder/recorder_rig.h"

namespace korvex::test {
namespace {

// Only what the recorder's buttons can send in some order: commands it never sends are not checked.
TEST(CommandInterface, OutOfOrderCommandsGiveCodesAndTexts) {
    RecorderRig r;
    // Stop before anything was opened: the device is not open.
    EXPECT_EQ(r.mci("stop file"), 263);
    EXPECT_EQ(r.text, QStringLiteral("The specified device is not open or is not recognized by MCI."));
    EXPECT_EQ(r.mci("record file"), 263);

    ASSERT_EQ(r.mci("open new type waveaudio alias file"), 0);
    EXPECT_TRUE(r.text.isEmpty());
    EXPECT_EQ(r.mci("open new type waveaudio alias file"), 289);
    EXPECT_EQ(
        r.text,
        QStringLiteral("The specified alias is already being used in this application. Use a unique alias."));
    EXPECT_EQ(r.mci("SET FILE CHANNELS 2"), 0) << "keywords are not case-sensitive";

    ASSERT_EQ(r.mci("record file"), 0);
    EXPECT_EQ(r.mci("set file bitspersample 16"), 302);
    EXPECT_EQ(r.text,
              QStringLiteral("Cannot carry out the commands in the order specified. Correct the command "
                             "sequence, and then try again."));
    EXPECT_EQ(r.mci("record file"), 0) << "recording already";
    EXPECT_EQ(r.mci("close file"), 0);
    EXPECT_EQ(r.mci("close file"), 263);

    QString text;
    EXPECT_FALSE(recorder::mciErrorText(1234, text));
    EXPECT_TRUE(recorder::mciErrorText(286, text));
    EXPECT_EQ(text, QStringLiteral(
                        "Cannot save the specified file. Make sure you have enough disk space or are still "
                        "connected to the network."));
}

// The commands `recordstart` sends for one choice of the format options. An option left unset keeps the
// new recording's default: 8 bits, mono, 11025 Hz. (16-bit stereo at 44100 Hz is checked sample for sample
// below.)
struct FormatCase {
    bool rec8bit;
    bool recmono;
    int recrate;  // 0 = 44100, 1 = 22050, 2 = 11025 (no rate command)
    int rate;
};

class RecordedFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(RecordedFormat, TwoSecondsOfTheMixAreSavedInTheSetFormat) {
    const FormatCase c = GetParam();
    RecorderRig r;
    ASSERT_EQ(r.mci("open new type waveaudio alias file"), 0);
    QStringList commands;
    if (!c.rec8bit) commands << QStringLiteral("set file bitspersample 16");
    if (c.recrate == 1) commands << QStringLiteral("set file samplespersec 22050");
    if (c.recrate == 0) commands << QStringLiteral("set file samplespersec 44100");
    if (!c.recmono) commands << QStringLiteral("set file channels 2");
    for (const QString& command : commands) ASSERT_EQ(r.mci(command), 0) << command.toStdString();
    ASSERT_EQ(r.mci("record file"), 0);
    r.rig.render(2.0);
    ASSERT_EQ(r.mci("stop file"), 0);
    const std::string saved = r.dir + "/my set.wav";
    ASSERT_EQ(r.mci(QStringLiteral("save file ") + QString::fromStdString(saved)), 0) << r.text.toStdString();
    ASSERT_EQ(r.mci("close file"), 0);

    const WaveFile wave = readWave(saved);
    ASSERT_TRUE(wave.ok);
    EXPECT_EQ(wave.info.format & SF_FORMAT_TYPEMASK, SF_FORMAT_WAV);
    EXPECT_EQ(wave.info.format & SF_FORMAT_SUBMASK, c.rec8bit ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
    EXPECT_EQ(wave.info.channels, c.recmono ? 1 : 2);
    EXPECT_EQ(wave.info.samplerate, c.rate);
    // Two seconds, within one 256-frame block of the engine.
    EXPECT_NEAR(static_cast<double>(wave.info.frames), 2.0 * c.rate, 256.0 * c.rate / 44100 + 1);
    const auto left = channelOf(wave, 0);
    const std::vector<float> middle(left.begin() + c.rate / 4, left.end() - c.rate / 4);
    EXPECT_NEAR(zeroCrossingFrequency(middle, c.rate), 440.0, 1.0);
    EXPECT_NEAR(rms(middle), 0.5 / std::sqrt(2.0), 0.03);
    // Nothing is left beside the saved file.
    EXPECT_EQ(
        QDir(QString::fromStdString(r.dir)).entryList({QStringLiteral("*.recording-*")}, QDir::Files).size(),
        0);
}

INSTANTIATE_TEST_SUITE_P(EveryOption, RecordedFormat,
                         ::testing::Values(FormatCase{false, true, 1, 22050},
                                           FormatCase{true, false, 2, 11025},
                                           FormatCase{true, true, 0, 44100},
                                           FormatCase{false, false, 2, 11025}));

TEST(CommandInterface, SixteenBitStereoAt44100HoldsTheMixSampleForSample) {
    RecorderRig r;
    for (const char* command : {"open new type waveaudio alias file", "set file bitspersample 16",
                                "set file samplespersec 44100", "set file channels 2", "record file"})
        ASSERT_EQ(r.mci(command), 0) << command;
    const auto mix = r.rig.render(2.0);
    ASSERT_EQ(r.mci("stop file"), 0);
    ASSERT_EQ(r.mci(QString::fromStdString("save file \"" + r.dir + "/exact.wav\"")), 0);
    const WaveFile wave = readWave(r.dir + "/exact.wav");
    ASSERT_TRUE(wave.ok);
    ASSERT_EQ(wave.samples.size(), mix.size());
    // Each mix sample rounded to 16 bits, nothing more.
    std::size_t different = 0;
    for (std::size_t i = 0; i < mix.size(); ++i)
        if (wave.samples[i] != std::lrint(std::clamp(mix[i], -1.0f, 1.0f) * 32767.0f)) ++different;
    EXPECT_EQ(different, 0u);
}

TEST(CommandInterface, RecordAfterStopAppendsAndCloseWithoutSaveDeletesTheTemporaryFile) {
    RecorderRig r;
    ASSERT_EQ(r.mci("open new type waveaudio alias file"), 0);
    ASSERT_EQ(r.mci("record file"), 0);
    const std::string temp = r.commands.recording(QStringLiteral("file"))->tempPath();
    EXPECT_EQ(QFileInfo(QString::fromStdString(temp)).absolutePath(), QString::fromStdString(r.dir))
        << "the temporary file lies beside the destination";
    r.rig.render(1.0);
    ASSERT_EQ(r.mci("stop file"), 0);
    r.rig.render(1.0);  // not recorded
    ASSERT_EQ(r.mci("record file"), 0);
    r.rig.render(1.0);
    ASSERT_EQ(r.mci("stop file"), 0);
    EXPECT_NEAR(static_cast<double>(readWave(temp).info.frames), 2.0 * 11025, 64);
    ASSERT_EQ(r.mci("close file"), 0);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(temp)));
}

TEST(CommandInterface, LeavingTheProgramWhileRecordingKeepsTheTemporaryFile) {
    RecorderRig r;
    auto commands =
        std::make_unique<recorder::CommandInterface>([&r] { return audio::makeMixCapture(r.rig.engine); });
    QString text;
    ASSERT_EQ(commands->mci(QStringLiteral("open new type waveaudio alias file"), text), 0);
    ASSERT_EQ(commands->mci(QStringLiteral("record file"), text), 0);
    r.rig.render(1.0);
    const std::string temp = commands->recording(QStringLiteral("file"))->tempPath();
    commands.reset();
    EXPECT_NEAR(static_cast<double>(readWave(temp).info.frames), 11025, 64);
    std::remove(temp.c_str());
}

// A record whose file cannot be made answers 286, not the no-input 328, and says why, so the recorder can
// tell a read-only folder from a missing one; a capture that cannot start is 328.
TEST(CommandInterface, ARecordIntoAFolderItCannotWriteAnswers286WithItsCause) {
    using Cause = recorder::CommandInterface::Cause;
    ReadOnlyFolder folder;
    if (!folder.ready()) GTEST_SKIP() << "cannot make a folder this user may not write";
    RecorderRig r;
    r.commands.setDestination(folder.path() + QStringLiteral("/set.wav"));
    ASSERT_EQ(r.mci("open new type waveaudio alias file"), 0);
    EXPECT_EQ(r.mci("record file"), 286);
    EXPECT_EQ(r.commands.lastCause(), Cause::kNoPermission);
    EXPECT_EQ(r.mci("close file"), 0);
    EXPECT_EQ(r.commands.lastCause(), Cause::kNone) << "each command starts afresh";

    r.commands.setDestination(QString::fromStdString(r.dir + "/gone/set.wav"));
    ASSERT_EQ(r.mci("open new type waveaudio alias file"), 0);
    EXPECT_EQ(r.mci("record file"), 286);
    EXPECT_EQ(r.commands.lastCause(), Cause::kNoFolder);
    ASSERT_EQ(r.mci("close file"), 0);

    recorder::CommandInterface noInput{[] { return std::unique_ptr<audio::CaptureSource>(); }};
    QString text;
    ASSERT_EQ(noInput.mci(QStringLiteral("open new type waveaudio alias file"), text), 0);
    EXPECT_EQ(noInput.mci(QStringLiteral("record file"), text), 328);
    EXPECT_EQ(noInput.lastCause(), Cause::kNoInput);
}

TEST(CommandInterface, ASaveIntoAMissingFolderFailsAndKeepsTheRecording) {
    RecorderRig r;
    ASSERT_EQ(r.mci("open new type waveaudio alias file"), 0);
    ASSERT_EQ(r.mci("record file"), 0);
    r.rig.render(1.0);
    const std::string temp = r.commands.recording(QStringLiteral("file"))->tempPath();
    EXPECT_EQ(r.mci(QString::fromStdString("save file " + r.dir + "/gone/set.wav")), 275);
    EXPECT_EQ(r.text,
              QStringLiteral("Cannot find the specified file. Make sure the path and filename are correct."));
    EXPECT_EQ(r.commands.lastCause(), recorder::CommandInterface::Cause::kNoFolder);
    ASSERT_EQ(r.mci("close file"), 0);
    const WaveFile kept = readWave(temp);
    ASSERT_TRUE(kept.ok) << "a recording whose save failed is never deleted";
    EXPECT_NEAR(static_cast<double>(kept.info.frames), 11025, 64);
}

}  // namespace
}  // namespace korvex::test
