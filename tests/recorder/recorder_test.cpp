// The recorder window's model: the save dialog it opens with, recordstart with the format options, the
// buttons' pictures and enabling, the time label, and the messages of a failing record or save.

#include <gtest/gtest.h>

#include "recorder/recorder_rig.h"

namespace korvex::test {
namespace {

TEST(RecordTime, TenthsReadAsMinutesSecondsAndATenth) {
    EXPECT_EQ(recorder::recordTime(0), QStringLiteral("REC 00:00. 0"));
    EXPECT_EQ(recorder::recordTime(72000), QStringLiteral("REC 120:00. 0"));
}

// The window tests click the same buttons and check the label, the timer and the pictures they show; here
// what the window does not show: the dialog's filter, the buttons' enabling and the recorded format.
TEST(Recorder, OpenStartStopSaveRecordsTheSetFormat) {
    RecorderModel m;
    m.settings.recrate = 2;  // 11,025 kHz: no rate command
    m.settings.recmono = true;
    EXPECT_FALSE(m.recorder.open());
    ASSERT_EQ(m.dialogs.shown.size(), 1u);
    EXPECT_EQ(m.dialogs.shown[0].filter, QStringLiteral("Wave files(*.WAV)|*.wav"));
    EXPECT_TRUE(m.dialogs.shown[0].fileName.isEmpty());
    EXPECT_TRUE(m.imgrec.isEmpty());
    m.dialogs.answer = m.destination();
    ASSERT_TRUE(m.recorder.open());
    EXPECT_EQ(m.recorder.title(), m.destination()) << "the full path is kept";
    const recorder::RecorderView& view = m.recorder.view();
    EXPECT_FALSE(view.saveEnabled);
    EXPECT_TRUE(view.stopEnabled);
    EXPECT_EQ(view.startPicture, QStringLiteral("recstart1.bmp"));

    // Stop before start: the failure is kept, not shown.
    m.recorder.stopPress();
    m.recorder.stopRelease();
    EXPECT_EQ(m.recorder.lastCode(), 263);
    EXPECT_TRUE(m.boxes.shown.empty());

    m.recorder.startClick();
    EXPECT_EQ(m.recorder.lastCode(), 0);
    EXPECT_FALSE(m.settings.recarmed);
    EXPECT_TRUE(view.stopEnabled);
    EXPECT_FALSE(view.saveEnabled);
    m.r.rig.render(1.5);
    m.recorder.stopPress();
    EXPECT_EQ(view.startPicture, QStringLiteral("recstart1.bmp"));
    EXPECT_TRUE(view.saveEnabled);
    EXPECT_FALSE(view.stopEnabled);
    m.recorder.stopRelease();
    m.recorder.savePress();
    EXPECT_EQ(view.savePicture, QStringLiteral("save2.bmp"));
    m.recorder.saveRelease();
    m.recorder.saveClick();
    EXPECT_TRUE(m.boxes.shown.empty()) << m.boxes.texts().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(m.recorder.counter(), 0);

    const WaveFile wave = readWave(m.destination().toStdString());
    ASSERT_TRUE(wave.ok);
    EXPECT_EQ(wave.info.samplerate, 11025);
    EXPECT_EQ(wave.info.channels, 1);
    EXPECT_EQ(wave.info.format & SF_FORMAT_SUBMASK, SF_FORMAT_PCM_16);
    EXPECT_NEAR(static_cast<double>(wave.info.frames), 1.5 * 11025, 64);
}

TEST(Recorder, ARecordThatCannotStartIsShownAndTheTimeDoesNotRun) {
    RecorderModel m;
    recorder::CommandInterface noInput{[] { return std::unique_ptr<audio::CaptureSource>(); }};
    recorder::Recorder recorder{noInput, m.settings, m.dialog, m.dialogs, m.boxes};
    m.dialogs.answer = m.destination();
    ASSERT_TRUE(recorder.open());
    recorder.startClick();
    ASSERT_EQ(m.boxes.shown.size(), 1u);
    EXPECT_EQ(m.boxes.shown[0].text,
              QStringLiteral(
                  "No wave device that can record files in the current format is installed. Use the Drivers "
                  "option to install the wave device. (328)"));
    EXPECT_EQ(m.boxes.shown[0].title, QStringLiteral("Error"));
    EXPECT_EQ(m.boxes.shown[0].icon, base::MessageIcon::Critical);
    EXPECT_FALSE(recorder.view().timerEnabled);
    EXPECT_FALSE(m.settings.recarmed) << "auto record does not try again";
}

}  // namespace
}  // namespace korvex::test
