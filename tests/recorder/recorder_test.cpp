// The recorder window's model: the save dialog it opens with, recordstart with the format options, the
// buttons' pictures and enabling, the time label, and the messages of a failing record or save.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <QDir>
#include <QFile>
#include <QFileInfo>

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
    EXPECT_TRUE(m.dialogs.shown[0].filter.startsWith(QStringLiteral("Wave files(*.WAV)|*.wav|"))) << "WAVE first";
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

// The engine's mix, standing in for a capture device that the test takes away and gives back.
class LosableSource final : public audio::CaptureSource {
public:
    struct State {
        bool lost = false;
        std::uint64_t gapFrames = 0;
    };
    LosableSource(audio::AudioEngine& engine, const State& state) : mix_(audio::makeMixCapture(engine)), state_(state) {}
    bool start(audio::CaptureRing& ring, std::string& error) override { return mix_->start(ring, error); }
    void stop() override { mix_->stop(); }
    int sampleRate() const override { return mix_->sampleRate(); }
    std::string describe() const override { return "input: losable"; }
    bool lost() const override { return state_.lost; }
    std::uint64_t gapFrames() const override { return state_.gapFrames; }

private:
    std::unique_ptr<audio::CaptureSource> mix_;
    const State& state_;
};

// While the input is lost the label says so and the time runs on; the save says how long the hole is.
TEST(Recorder, ALostInputShowsInTheLabelAndTheSaveSaysHowLongTheHoleWas) {
    RecorderModel m;
    LosableSource::State input;
    m.r.makeSource = [&] { return std::make_unique<LosableSource>(m.r.rig.engine, input); };
    m.dialogs.answer = m.destination();
    ASSERT_TRUE(m.recorder.open());
    m.recorder.startClick();
    m.recorder.timerTick();
    EXPECT_EQ(m.recorder.view().label, QStringLiteral("REC 00:00. 1"));
    input.lost = true;
    m.recorder.timerTick();
    EXPECT_EQ(m.recorder.view().label, QStringLiteral("入力なし 00:00. 2"));
    input.lost = false;
    input.gapFrames = 44100 * 3 / 2;
    m.recorder.timerTick();
    EXPECT_EQ(m.recorder.view().label, QStringLiteral("REC 00:00. 3"));
    m.r.rig.render(0.5);
    m.recorder.stopPress();
    m.recorder.stopRelease();
    m.recorder.saveClick();
    ASSERT_EQ(m.boxes.shown.size(), 1u);
    EXPECT_TRUE(m.boxes.texts()[0].contains(QStringLiteral("1.5 秒間途切れました"))) << m.boxes.texts()[0].toStdString();
    EXPECT_TRUE(m.boxes.texts()[0].contains(m.destination()));
    EXPECT_TRUE(readWave(m.destination().toStdString()).ok) << "saved all the same";
}

// A disk that fills while recording says so in the label at once, not only at the save.
TEST(Recorder, AFullDiskShowsInTheLabelAsSoonAsItFills) {
    TinyDisk disk(96);
    if (!disk.ready()) GTEST_SKIP() << "a small disk cannot be made here (needs root)";
    RecorderModel m;
    m.dialogs.answer = disk.path() + QStringLiteral("/set.wav");
    ASSERT_TRUE(m.recorder.open());
    m.recorder.startClick();
    m.r.rig.render(0.2);
    m.recorder.timerTick();
    EXPECT_TRUE(m.recorder.view().label.startsWith(QStringLiteral("REC "))) << m.recorder.view().label.toStdString();
    const audio::WaveRecording* recording = m.r.commands.recording(QStringLiteral("file"));
    ASSERT_NE(recording, nullptr);
    for (int i = 0; i < 100 && !recording->full(); ++i) {
        m.r.rig.render(0.2);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    m.recorder.timerTick();
    EXPECT_TRUE(m.recorder.view().label.startsWith(QStringLiteral("容量なし "))) << m.recorder.view().label.toStdString();
}

// The messages a failing start or save shows: Japanese, naming the file or its folder, and telling a
// missing input, a read-only folder and a missing folder apart; the codes stay the interface's.
TEST(Recorder, AFailureSaysWhatWentWrongWithWhichFile) {
    RecorderModel m;
    recorder::CommandInterface noInput{[] { return std::unique_ptr<audio::CaptureSource>(); }};
    recorder::Recorder recorder{noInput, m.settings, m.dialog, m.dialogs, m.boxes};
    m.dialogs.answer = m.destination();
    ASSERT_TRUE(recorder.open());
    recorder.startClick();
    ASSERT_EQ(m.boxes.shown.size(), 1u);
    EXPECT_EQ(m.boxes.shown[0].text,
              QStringLiteral("録音する音を受け取れないため、録音を始められません。入力デバイスを確かめるか、"
                             "設定の「再生音を直接録音」を選んでください。 (328)"));
    EXPECT_EQ(m.boxes.shown[0].title, QStringLiteral("録音"));
    EXPECT_EQ(m.boxes.shown[0].icon, base::MessageIcon::Critical);
    EXPECT_FALSE(recorder.view().timerEnabled);
    EXPECT_FALSE(m.settings.recarmed) << "auto record does not try again";

    // Stop and save before anything was recorded.
    m.dialogs.answer = m.destination();
    ASSERT_TRUE(m.recorder.open());
    m.recorder.stopPress();
    m.recorder.saveClick();
    ASSERT_EQ(m.boxes.shown.size(), 2u);
    EXPECT_EQ(m.boxes.shown[1].text,
              QStringLiteral("保存する録音がありません。録音を始めてから止め、保存してください。 (263)"));

    // A folder that is gone.
    const QString gone = QString::fromStdString(m.r.dir + "/gone");
    m.dialogs.answer = gone + QStringLiteral("/set.wav");
    ASSERT_TRUE(m.recorder.open());
    m.recorder.startClick();
    EXPECT_EQ(m.recorder.lastCode(), 286);
    ASSERT_EQ(m.boxes.shown.size(), 3u);
    EXPECT_TRUE(m.boxes.shown[2].text.startsWith(
        QStringLiteral("フォルダ「%1」が見つからないため、「%1/set.wav」への録音を始められません。")
            .arg(gone)))
        << m.boxes.shown[2].text.toStdString();

    ReadOnlyFolder folder;
    if (!folder.ready()) GTEST_SKIP() << "cannot make a folder this user may not write";
    m.recorder.frmendClick();
    m.dialogs.answer = folder.path() + QStringLiteral("/set.wav");
    ASSERT_TRUE(m.recorder.open());
    m.recorder.startClick();
    EXPECT_EQ(m.recorder.lastCode(), 286);
    ASSERT_EQ(m.boxes.shown.size(), 4u);
    EXPECT_TRUE(m.boxes.shown[3].text.startsWith(
        QStringLiteral("フォルダ「%1」に書き込めないため、「%1/set.wav」への録音を始められません。")
            .arg(folder.path())))
        << m.boxes.shown[3].text.toStdString();
}

TEST(Recorder, ASaveIntoAFolderThatWentAwayNamesItAndKeepsTheTake) {
    RecorderModel m;
    const QString folder = QString::fromStdString(m.r.dir + "/sets");
    ASSERT_TRUE(QDir().mkpath(folder));
    m.dialogs.answer = folder + QStringLiteral("/set");
    ASSERT_TRUE(m.recorder.open());
    m.r.commands.setDestination(QString::fromStdString(m.r.dir + "/set.wav"));  // the take lies elsewhere
    m.recorder.startClick();
    m.r.rig.render(0.5);
    m.recorder.stopPress();
    const QString kept = QString::fromStdString(m.r.commands.recording(QStringLiteral("file"))->tempPath());
    ASSERT_TRUE(QDir(folder).removeRecursively());
    m.recorder.saveClick();
    ASSERT_EQ(m.boxes.shown.size(), 1u);
    EXPECT_EQ(
        m.boxes.shown[0].text,
        QStringLiteral("フォルダ「%1」が見つからないため、「%1/set.wav」を保存できませんでした。録音は「%2」"
                       "に残っています。このファイルを別の場所へ移してください。 (275)")
            .arg(folder, kept));
    EXPECT_TRUE(QFileInfo::exists(kept));
    QFile::remove(kept);
}

// A typed name without ".wav" gets it; a take never replaces a file unasked: "いいえ" offers another name
// (cancelling that keeps the take unsaved), "はい" replaces.
TEST(Recorder, ASecondTakeAsksBeforeReplacingTheFirst) {
    RecorderModel m;
    const QString first = QString::fromStdString(m.r.dir + "/my set.wav");
    m.dialogs.answer = QString::fromStdString(m.r.dir + "/my set");
    ASSERT_TRUE(m.recorder.open());
    EXPECT_EQ(m.recorder.title(), first);
    const auto take = [&m](double seconds) {
        m.recorder.startClick();
        m.r.rig.render(seconds);
        m.recorder.stopPress();
        m.recorder.saveClick();
    };
    take(1.0);
    EXPECT_TRUE(m.boxes.shown.empty()) << "nothing to replace yet";
    EXPECT_NEAR(static_cast<double>(readWave(first.toStdString()).info.frames), 44100, 300);

    m.boxes.answer = base::MessageAnswer::No;
    m.dialogs.answer.reset();
    take(0.5);
    ASSERT_EQ(m.boxes.shown.size(), 1u);
    EXPECT_EQ(m.boxes.shown[0].text, QStringLiteral("「%1」はすでにあります。この録音で置き換えますか？"
                                                    "「いいえ」を選ぶと別の名前を付けて保存できます。")
                                         .arg(first));
    EXPECT_EQ(m.boxes.shown[0].buttons, base::MessageButtons::YesNo);
    ASSERT_EQ(m.dialogs.shown.size(), 2u);
    EXPECT_EQ(m.dialogs.shown[1].fileName, QStringLiteral("my set.wav"));
    EXPECT_TRUE(m.recorder.unsaved()) << "the cancelled dialog leaves the take as it was";
    EXPECT_TRUE(m.recorder.view().saveEnabled);
    EXPECT_NEAR(static_cast<double>(readWave(first.toStdString()).info.frames), 44100, 300);

    const QString second = QString::fromStdString(m.r.dir + "/second.WAV");
    m.dialogs.answer = second;
    m.recorder.saveClick();
    EXPECT_FALSE(m.recorder.unsaved());
    EXPECT_NEAR(static_cast<double>(readWave(second.toStdString()).info.frames), 22050, 300);
    EXPECT_NEAR(static_cast<double>(readWave(first.toStdString()).info.frames), 44100, 300);

    m.boxes.answer = base::MessageAnswer::Yes;
    take(0.25);
    EXPECT_EQ(m.boxes.shown.size(), 3u);
    EXPECT_EQ(m.dialogs.shown.size(), 3u) << "a yes replaces without another dialog";
    EXPECT_NEAR(static_cast<double>(readWave(second.toStdString()).info.frames), 11025, 300);
}

TEST(Recorder, TheCloseButtonAsksBeforeDiscardingATakeNotSaved) {
    RecorderModel m;
    int closed = 0;
    m.recorder.onClose = [&closed] { ++closed; };
    m.dialogs.answer = m.destination();
    ASSERT_TRUE(m.recorder.open());
    m.recorder.frmendClick();
    EXPECT_TRUE(m.boxes.shown.empty()) << "nothing recorded, nothing to ask";
    EXPECT_EQ(closed, 1);

    ASSERT_TRUE(m.recorder.open());
    m.recorder.startClick();
    m.r.rig.render(0.5);
    const std::string temp = m.r.commands.recording(QStringLiteral("file"))->tempPath();
    m.boxes.answer = base::MessageAnswer::No;
    m.recorder.frmendClick();
    ASSERT_EQ(m.boxes.shown.size(), 1u);
    EXPECT_EQ(m.boxes.shown[0].text,
              QStringLiteral("「%1」への録音はまだ保存されていません。破棄しますか？").arg(m.destination()));
    EXPECT_EQ(closed, 1);
    EXPECT_TRUE(m.recorder.view().timerEnabled) << "the recording goes on";
    m.r.rig.render(0.5);
    m.recorder.stopPress();
    m.recorder.frmendClick();
    EXPECT_EQ(m.boxes.shown.size(), 2u) << "stopped and not saved: asked again";
    EXPECT_EQ(closed, 1);
    EXPECT_NEAR(static_cast<double>(readWave(temp).info.frames), 44100, 300);

    m.boxes.answer = base::MessageAnswer::Yes;
    m.recorder.frmendClick();
    EXPECT_EQ(closed, 2);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(temp))) << "discarded as agreed";
}

}  // namespace
}  // namespace korvex::test
