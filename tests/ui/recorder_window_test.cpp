// The recorder window as a user works it from the main window: the recorder button, the save dialog first,
// start, stop, save and close, the time label, the drag, and auto record when a deck starts.

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QMimeData>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "app/ui/korvex_app.h"
#include "app/ui/qt_dialogs.h"
#include "songlist/list_fakes.h"
#include "songlist/songlist_fakes.h"
#include "support/signals.h"

namespace korvex::test {
namespace {

using app::KorvexApp;

class RecorderWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        app_ = std::make_unique<KorvexApp>(
            std::vector<std::string>{"--audio-output=null", "--record-source=mix"});
        ASSERT_TRUE(app_->start());
        app_->handOver();
        app_->setRecorderDialogs(&dialogs_, &boxes_);
    }
    void TearDown() override { app_->shutdown(); }

    QString destination() const { return dir_.path() + QStringLiteral("/my set.wav"); }
    appearance::PictureWidget* imgrec() { return app_->window().picture("Imgrec"); }
    void clickImgrec() { QTest::mouseClick(imgrec(), Qt::LeftButton, {}, QPoint(3, 3)); }
    void click(const char* name) {
        QTest::mouseClick(app_->recorderWindow()->picture(name), Qt::LeftButton, {}, QPoint(5, 5));
    }
    // Lets a closed window go away.
    static void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    void loadTone(int deck) {
        const QString path = dir_.path() + QStringLiteral("/tone%1.wav").arg(deck);
        writeWav16(path.toStdString(), sine(440.0, 3.0));
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        QWidget* target = app_->window().titleList(deck)->viewport();
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &drop);
    }
    void pressPlay(int deck) {
        auto* play = app_->window().picture("Pause", deck);
        QTest::mousePress(play, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseRelease(play, Qt::LeftButton, {}, QPoint(5, 5));
    }

    QTemporaryDir dir_;
    songlist::testing::FakeDialogs dialogs_;
    songlist::testing::FakeMessages boxes_;
    std::unique_ptr<KorvexApp> app_;
};

TEST_F(RecorderWindowTest, CancellingTheSaveDialogClosesTheRecorderAtOnce) {
    clickImgrec();
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(dialogs_.shown[0].title, QStringLiteral("Wave ファイルの保存先"));
    settle();
    EXPECT_EQ(app_->recorderWindow(), nullptr);
    EXPECT_TRUE(imgrec()->picturePath().endsWith(QStringLiteral("/recorder1.bmp")));
    EXPECT_FALSE(app_->player().settings().recarmed);
}

TEST_F(RecorderWindowTest, TheLabelCountsTenthsAndASaveResetsIt) {
    dialogs_.answer = destination();
    clickImgrec();
    recorder::RecorderWindow* recorder = app_->recorderWindow();
    ASSERT_NE(recorder, nullptr);
    EXPECT_TRUE(recorder->isVisible());
    EXPECT_TRUE(imgrec()->picturePath().endsWith(QStringLiteral("/recorder2.bmp")));
    EXPECT_TRUE(recorder->picture("Picture1")->picturePath().endsWith(QStringLiteral("/recorderbase.bmp")));
    EXPECT_EQ(recorder->label()->text(), QStringLiteral("- Korvex -"));
    EXPECT_TRUE(app_->player().settings().recarmed);

    // Save is disabled until a recording stops.
    click("cmdsave");
    EXPECT_FALSE(QFileInfo::exists(destination()));

    click("cmdstart");
    EXPECT_TRUE(recorder->timer().isActive());
    EXPECT_TRUE(recorder->picture("cmdstart")->picturePath().endsWith(QStringLiteral("/recstart2.bmp")));
    for (int i = 0; i < 653; ++i) recorder->tick();
    EXPECT_EQ(recorder->label()->text(), QStringLiteral("REC 01:05. 3"));

    auto* stop = recorder->picture("cmdstop");
    QTest::mousePress(stop, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(stop->picturePath().endsWith(QStringLiteral("/stop2.bmp")));
    EXPECT_FALSE(recorder->timer().isActive());
    QTest::mouseRelease(stop, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(stop->picturePath().endsWith(QStringLiteral("/stop1.bmp")));
    click("cmdsave");
    EXPECT_TRUE(boxes_.shown.empty()) << boxes_.texts().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(recorder->label()->text(), QStringLiteral("00:00. 0"));
    EXPECT_TRUE(QFileInfo::exists(destination())) << "saved under the full path chosen";
    EXPECT_EQ(readSound(destination().toStdString()).size() % 2, 0u);

    click("frmend");
    settle();
    EXPECT_EQ(app_->recorderWindow(), nullptr);
    EXPECT_TRUE(imgrec()->picturePath().endsWith(QStringLiteral("/recorder1.bmp")));
}

TEST_F(RecorderWindowTest, TheBackgroundDragsTheWindow) {
    dialogs_.answer = destination();
    clickImgrec();
    recorder::RecorderWindow* recorder = app_->recorderWindow();
    ASSERT_NE(recorder, nullptr);
    auto* background = recorder->picture("Picture1");
    const QPoint before = recorder->pos();
    QTest::mousePress(background, Qt::LeftButton, {}, QPoint(10, 10));
    QMouseEvent move(QEvent::MouseMove, QPointF(30, 20), background->mapToGlobal(QPointF(30, 20)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(background, &move);
    EXPECT_EQ(recorder->pos(), before + QPoint(20, 10));
    QTest::mouseRelease(background, Qt::LeftButton, {}, QPoint(30, 20));
}

TEST_F(RecorderWindowTest, AutoRecordStartsWithTheFirstDeckStartOnly) {
    app_->player().settings().autorec = true;
    loadTone(0);
    loadTone(1);
    dialogs_.answer = destination();
    clickImgrec();
    recorder::RecorderWindow* recorder = app_->recorderWindow();
    ASSERT_NE(recorder, nullptr);
    EXPECT_FALSE(recorder->timer().isActive());

    pressPlay(0);
    EXPECT_TRUE(recorder->timer().isActive()) << "deck A's start started the recording";
    EXPECT_FALSE(app_->player().settings().recarmed);
    auto* stop = recorder->picture("cmdstop");
    QTest::mousePress(stop, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(stop, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(recorder->timer().isActive());

    pressPlay(1);
    EXPECT_FALSE(recorder->timer().isActive()) << "auto record fires once per opening";
    click("frmend");
    settle();
}

TEST(RecorderDialogFilter, TheShownFilterLineNamesItsPatternOnce) {
    EXPECT_EQ(app::qtFilter(QStringLiteral("Wave files(*.WAV)|*.wav")), QStringLiteral("Wave files(*.WAV)"));
    EXPECT_EQ(app::qtFilter(QStringLiteral("(*.lis;)|*.lis;")), QStringLiteral("(*.lis;) (*.lis)"));
}

// Opening a slot's sampler dialog closes the other windows, but never the recorder while it may be recording.
TEST_F(RecorderWindowTest, TheSamplerDialogLeavesARecordingRecorderOpen) {
    dialogs_.answer = destination();
    clickImgrec();
    recorder::RecorderWindow* recorder = app_->recorderWindow();
    ASSERT_NE(recorder, nullptr);
    click("cmdstart");
    const QString sample = dir_.path() + QStringLiteral("/kick.wav");
    writeWav16(sample.toStdString(), sine(100.0, 0.5));
    ASSERT_TRUE(app_->sampler().slots().dsready());
    ASSERT_TRUE(app_->sampler().slots().loadslot(0, 2, sample));
    QTest::mousePress(app_->window().label("Text1", 0), Qt::RightButton);
    ASSERT_NE(app_->sampler().samplerDialog(), nullptr);
    settle();
    ASSERT_EQ(app_->recorderWindow(), recorder);
    EXPECT_TRUE(recorder->isVisible());
}

}  // namespace
}  // namespace korvex::test
