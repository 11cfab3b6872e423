// The recorder window as a user works it from the main window: the recorder button, the save dialog first,
// start, stop, save and close, the time label, the drag, and auto record when a deck starts.

#include <gtest/gtest.h>

#include <QDir>
#include <QMouseEvent>

#include "app/ui/qt_dialogs.h"
#include "songlist/list_fakes.h"
#include "songlist/songlist_fakes.h"
#include "ui/ui_helpers.h"

namespace korvex::test {
namespace {

class RecorderWindowTest : public WindowTest {
protected:
    RecorderWindowTest() { args_.push_back("--record-source=mix"); }
    void SetUp() override {
        WindowTest::SetUp();
        app_->setRecorderDialogs(&dialogs_, &boxes_);
    }

    QString destination() const { return dir_.path() + QStringLiteral("/my set.wav"); }
    appearance::PictureWidget* imgrec() { return window().picture("Imgrec"); }
    // The recorder button, its save dialog answered with `destination()`.
    recorder::RecorderWindow* openRecorder() {
        dialogs_.answer = destination();
        click(imgrec());
        return app_->recorderWindow();
    }
    void press(const char* name) { click(app_->recorderWindow()->picture(name), QPoint(5, 5)); }
    // Lets a closed window go away.
    static void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    void loadTone(int deck) {
        dropFiles(window().titleList(deck)->viewport(), {tone(QStringLiteral("tone%1.wav").arg(deck))});
    }

    songlist::testing::FakeDialogs dialogs_;
    songlist::testing::FakeMessages boxes_;
};

TEST_F(RecorderWindowTest, CancellingTheSaveDialogClosesTheRecorderAtOnce) {
    click(imgrec());
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    settle();
    EXPECT_EQ(app_->recorderWindow(), nullptr);
    EXPECT_TRUE(imgrec()->picturePath().endsWith(QStringLiteral("/recorder1.bmp")));
    EXPECT_FALSE(player().settings().recarmed);
}

// The recorder from opening to closing: its background drags it, a slot's sampler dialog (which closes the
// other windows) leaves it open while it records, its label counts tenths and a save resets it.
TEST_F(RecorderWindowTest, TheLabelCountsTenthsAndASaveResetsIt) {
    recorder::RecorderWindow* recorder = openRecorder();
    ASSERT_NE(recorder, nullptr);
    EXPECT_TRUE(recorder->isVisible());
    EXPECT_TRUE(imgrec()->picturePath().endsWith(QStringLiteral("/recorder2.bmp")));
    EXPECT_TRUE(recorder->picture("Picture1")->picturePath().endsWith(QStringLiteral("/recorderbase.bmp")));
    EXPECT_EQ(recorder->label()->text(), QStringLiteral("- Korvex -"));
    EXPECT_TRUE(player().settings().recarmed);
    auto* background = recorder->picture("Picture1");
    const QPoint before = recorder->pos();
    QTest::mousePress(background, Qt::LeftButton, {}, QPoint(10, 10));
    QMouseEvent move(QEvent::MouseMove, QPointF(30, 20), background->mapToGlobal(QPointF(30, 20)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(background, &move);
    EXPECT_EQ(recorder->pos(), before + QPoint(20, 10));
    QTest::mouseRelease(background, Qt::LeftButton, {}, QPoint(30, 20));

    // Save is disabled until a recording stops.
    press("cmdsave");
    EXPECT_FALSE(QFileInfo::exists(destination()));

    press("cmdstart");
    EXPECT_TRUE(recorder->timer().isActive());
    EXPECT_TRUE(recorder->picture("cmdstart")->picturePath().endsWith(QStringLiteral("/recstart2.bmp")));
    const QString sample = toneFile(dir_.path(), QStringLiteral("kick.wav"), 100.0, 0.5);
    ASSERT_TRUE(app_->sampler().slots().loadslot(0, 2, sample));
    QTest::mousePress(window().label("Text1", 0), Qt::RightButton);
    ASSERT_NE(app_->sampler().samplerDialog(), nullptr);
    settle();
    ASSERT_EQ(app_->recorderWindow(), recorder);
    EXPECT_TRUE(recorder->isVisible());
    for (int i = 0; i < 653; ++i) recorder->tick();
    EXPECT_EQ(recorder->label()->text(), QStringLiteral("REC 01:05. 3"));

    auto* stop = recorder->picture("cmdstop");
    QTest::mousePress(stop, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(stop->picturePath().endsWith(QStringLiteral("/stop2.bmp")));
    EXPECT_FALSE(recorder->timer().isActive());
    QTest::mouseRelease(stop, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(stop->picturePath().endsWith(QStringLiteral("/stop1.bmp")));
    press("cmdsave");
    EXPECT_TRUE(boxes_.shown.empty()) << boxes_.texts().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(recorder->label()->text(), QStringLiteral("00:00. 0"));
    EXPECT_TRUE(QFileInfo::exists(destination())) << "saved under the full path chosen";
    EXPECT_EQ(readSound(destination().toStdString()).size() % 2, 0u);

    press("frmend");
    settle();
    EXPECT_EQ(app_->recorderWindow(), nullptr);
    EXPECT_TRUE(imgrec()->picturePath().endsWith(QStringLiteral("/recorder1.bmp")));
}

TEST_F(RecorderWindowTest, AutoRecordStartsWithTheFirstDeckStartOnly) {
    player().settings().autorec = true;
    loadTone(0);
    loadTone(1);
    recorder::RecorderWindow* recorder = openRecorder();
    ASSERT_NE(recorder, nullptr);
    EXPECT_FALSE(recorder->timer().isActive());

    pressPlay(window(), 0);
    EXPECT_TRUE(recorder->timer().isActive()) << "deck A's start started the recording";
    EXPECT_FALSE(player().settings().recarmed);
    press("cmdstop");
    EXPECT_FALSE(recorder->timer().isActive());

    pressPlay(window(), 1);
    EXPECT_FALSE(recorder->timer().isActive()) << "auto record fires once per opening";
    press("frmend");
    settle();
}

// Neither the close button nor the window system's close throws a take away unasked; a second take asks
// before it replaces the first one's file.
TEST_F(RecorderWindowTest, ATakeIsNeverLostUnasked) {
    recorder::RecorderWindow* recorder = openRecorder();
    ASSERT_NE(recorder, nullptr);
    // Records at least `frames` of the mix as the player plays it (in real time).
    const auto take = [this](std::uint64_t frames) {
        press("cmdstart");
        const audio::WaveRecording* recording = app_->recorderCommands().recording(QStringLiteral("file"));
        ASSERT_NE(recording, nullptr);
        ASSERT_TRUE(QTest::qWaitFor([recording, frames] { return recording->framesInHeader() >= frames; }, 10000));
        press("cmdstop");
    };
    take(4410);
    press("cmdsave");
    EXPECT_TRUE(boxes_.shown.empty()) << boxes_.texts().join(QLatin1Char('|')).toStdString();
    const qint64 firstSize = QFileInfo(destination()).size();

    take(44100);
    const std::string temp = app_->recorderCommands().recording(QStringLiteral("file"))->tempPath();
    boxes_.answer = base::MessageAnswer::No;
    press("frmend");
    recorder->close();  // as the window system closes it
    settle();
    ASSERT_EQ(app_->recorderWindow(), recorder) << "kept open";
    EXPECT_TRUE(recorder->isVisible());
    const QString discard = QStringLiteral("「%1」への録音はまだ保存されていません。破棄しますか？").arg(destination());
    EXPECT_EQ(boxes_.texts(), QStringList({discard, discard}));

    // The save asks before it replaces the first take; "はい" replaces it.
    boxes_.answer = base::MessageAnswer::Yes;
    press("cmdsave");
    ASSERT_EQ(boxes_.shown.size(), 3u);
    EXPECT_TRUE(boxes_.shown[2].text.startsWith(QStringLiteral("「%1」はすでにあります。").arg(destination())));
    EXPECT_NE(QFileInfo(destination()).size(), firstSize);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(temp)));

    // A third take, discarded when the window system closes the recorder.
    take(4410);
    const std::string third = app_->recorderCommands().recording(QStringLiteral("file"))->tempPath();
    recorder->close();
    settle();
    EXPECT_EQ(app_->recorderWindow(), nullptr);
    EXPECT_EQ(boxes_.texts().last(), discard);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(third)));
}

// A take saved under a ".flac" name is written as FLAC from the take's WAVE, which goes once the FLAC is whole;
// the deck's tone is in it.
TEST_F(RecorderWindowTest, ATakeIsSavedInTheFormatItsNameEndsIn) {
    const QString flac = dir_.path() + QStringLiteral("/my set.flac");
    dialogs_.answer = flac;
    click(imgrec());
    ASSERT_NE(app_->recorderWindow(), nullptr);
    loadTone(0);
    pressPlay(window(), 0);
    press("cmdstart");
    const audio::WaveRecording* recording = app_->recorderCommands().recording(QStringLiteral("file"));
    ASSERT_NE(recording, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([recording] { return recording->framesInHeader() >= 22050; }, 10000));
    press("cmdstop");
    press("cmdsave");
    EXPECT_TRUE(boxes_.shown.empty()) << boxes_.texts().join(QLatin1Char('|')).toStdString();
    QFile file(flac);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.read(4), QByteArray("fLaC"));
    int rate = 0;
    const std::vector<float> sound = readSound(flac.toStdString(), &rate);
    ASSERT_GT(rate, 0);
    ASSERT_GE(sound.size() / 2, static_cast<std::size_t>(rate) / 2);
    EXPECT_GT(rms(channel(sound, 0, sound.size() / 4, static_cast<std::size_t>(rate) / 8)), 0.05) << "no tone";
    EXPECT_EQ(QDir(dir_.path()).entryList({QStringLiteral("*.take*.wav")}), QStringList()) << "the WAVE stayed";
}

TEST(RecorderDialogFilter, TheShownFilterLineNamesItsPatternOnce) {
    EXPECT_EQ(app::qtFilter(QStringLiteral("Wave files(*.WAV)|*.wav")), QStringLiteral("Wave files(*.WAV)"));
    EXPECT_EQ(app::qtFilter(QStringLiteral("(*.lis;)|*.lis;")), QStringLiteral("(*.lis;) (*.lis)"));
    EXPECT_EQ(app::qtFilter(QStringLiteral("Wave files(*.WAV)|*.wav|FLAC files|*.flac;*.fla")),
              QStringLiteral("Wave files(*.WAV);;FLAC files (*.flac *.fla)"));
}

}  // namespace
}  // namespace korvex::test
