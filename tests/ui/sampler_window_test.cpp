// The sampler as a user works it in the main window: slot labels, drops, the mode dialog, the digit keys,
// the "ｻﾝﾌﾟﾗｰ" menu, the sampler dialog and the settings file, on a stand-in sound device.

#include <gtest/gtest.h>

#include <QKeyEvent>

#include "support/fake_sound_buffer.h"
#include "ui/ui_helpers.h"

namespace korvex::test {
namespace {

using sampler::testing::FakeBuffer;
using sampler::testing::FakeDevice;

// A key event as the window system sends it, auto-repeat included.
void key(QWidget* window, int qtKey, bool press, bool autoRepeat = false) {
    QKeyEvent event(press ? QEvent::KeyPress : QEvent::KeyRelease, qtKey, Qt::NoModifier, QString(),
                    autoRepeat);
    QCoreApplication::sendEvent(window, &event);
}

// A key event at the window system's time `ms`, as X11 sends it: auto-repeat comes as a release and a press
// of the same key at the same time, and Qt does not always mark the release as auto-repeat.
void timedKey(QWidget* window, int qtKey, bool press, quint64 ms) {
    QKeyEvent event(press ? QEvent::KeyPress : QEvent::KeyRelease, qtKey, Qt::NoModifier, 10, 0, 0);
    event.setTimestamp(ms);
    QCoreApplication::sendEvent(window, &event);
}

// A player whose sound device knows the files of `files_`, from a fresh settings file.
class SamplerWindow : public WindowTest {
protected:
    void SetUp() override {
        QFile::remove(settingsPath());
        WindowTest::SetUp();
    }
    void TearDown() override {
        WindowTest::TearDown();
        QFile::remove(settingsPath());
    }
    void prepare(app::KorvexApp& korvex) override {
        korvex.sampler().makeDevice = [this]() -> std::unique_ptr<SoundDevice> {
            auto device = std::make_unique<FakeDevice>();
            device->files = files_;
            device_ = device.get();
            return device;
        };
    }
    // Leaves the player (answering the leave question with `answer`) and forgets it.
    void leave(QMessageBox::StandardButton answer) {
        answerNextBox(answer);
        window().close();
        app_->shutdown();
        app_.reset();
        device_ = nullptr;
    }
    sampler::SampleSlots& slots() { return app_->sampler().slots(); }
    FakeBuffer* buffer(int slot) { return static_cast<FakeBuffer*>(slots().slotbuffer(slot)); }
    QLabel* label(int slot) { return window().label("Text1", slot); }
    // A wave file the fake device opens as `channels` channels.
    QString file(const QString& name, int channels, int ms = 1000) {
        const QString path = dir_.filePath(name);
        QFile(path).open(QIODevice::WriteOnly);
        files_[path.toStdString()] = {channels, ms, 44100};
        if (device_ != nullptr) device_->files = files_;
        return path;
    }
    // Drops `path` on slot `slot` and clicks `mode` in the mode dialog.
    void dropAndChoose(int slot, const QString& path, int mode) {
        dropFiles(label(slot), {path});
        sampler::ModeDialog* dialog = app_->sampler().modeDialog();
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(dialog->isVisible());
        QTest::mouseClick(mode == 0 ? dialog->samplerLabel() : dialog->effecterLabel(), Qt::LeftButton);
    }

    std::map<std::string, sampler::testing::FakeFile> files_;
    FakeDevice* device_ = nullptr;
};

TEST_F(SamplerWindow, HeldDigitPlaysOnceAndASilencerMutesBothDecksUntilKeyUp) {
    dropAndChoose(0, file(QStringLiteral("kick.wav"), 1), 0);
    dropAndChoose(1, file(QStringLiteral("vox.wav"), 1), 0);
    slots().setSlotsilencer(1, 1);
    MediaPlayer& deckA = player().player(0);
    MediaPlayer& deckB = player().player(1);

    key(&window(), Qt::Key_1, true);
    key(&window(), Qt::Key_1, false, true);
    key(&window(), Qt::Key_1, true, true);
    key(&window(), Qt::Key_1, false, true);
    key(&window(), Qt::Key_1, true, true);
    EXPECT_EQ(buffer(0)->plays, 1) << "auto-repeat does not retrigger";
    key(&window(), Qt::Key_1, false);
    key(&window(), Qt::Key_1, true);
    key(&window(), Qt::Key_1, false);
    EXPECT_EQ(buffer(0)->plays, 2);
    EXPECT_FALSE(deckA.mute() || deckB.mute());

    key(&window(), Qt::Key_2, true);
    key(&window(), Qt::Key_2, true, true);
    EXPECT_TRUE(deckA.mute() && deckB.mute());
    EXPECT_EQ(buffer(1)->plays, 1);
    key(&window(), Qt::Key_2, false);
    EXPECT_FALSE(deckA.mute() || deckB.mute());

    // A silencer slot without a buffer mutes nothing.
    slots().setSlotsilencer(5, 1);
    key(&window(), Qt::Key_6, true);
    EXPECT_FALSE(deckA.mute() || deckB.mute());
    key(&window(), Qt::Key_6, false);
}

// A held digit whose auto-repeat releases look real (same time stamp as the press after them) still plays its
// slot once and keeps a silencer's decks muted; the real release lets them back in, and the next press plays.
TEST_F(SamplerWindow, AutoRepeatPairsUnmarkedByQtDoNotReleaseTheKey) {
    dropAndChoose(0, file(QStringLiteral("vox.wav"), 1), 0);
    slots().setSlotsilencer(0, 1);
    MediaPlayer& deckA = player().player(0);
    // The keyboard is the main window's again once the mode dialog has gone.
    window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
    QTest::qWait(50);
    quint64 ms = 1000;
    timedKey(&window(), Qt::Key_1, true, ms);
    for (int repeat = 0; repeat < 12; ++repeat) {
        ms += 40;
        timedKey(&window(), Qt::Key_1, false, ms);
        QTest::qWait(repeat % 3 == 0 ? 5 : 0);
        timedKey(&window(), Qt::Key_1, true, ms);
    }
    EXPECT_EQ(buffer(0)->plays, 1) << "the held key never came up";
    EXPECT_TRUE(deckA.mute());
    timedKey(&window(), Qt::Key_1, false, ms + 30);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !deckA.mute(); }, 1000)) << "the real release unmutes";
    EXPECT_FALSE(app_->player().keyboard().slotKeyHeld(0));
    // A quick second tap (a new time) plays again.
    timedKey(&window(), Qt::Key_1, true, ms + 60);
    EXPECT_EQ(buffer(0)->plays, 2);
    timedKey(&window(), Qt::Key_1, false, ms + 90);
    timedKey(&window(), Qt::Key_1, true, ms + 95);
    EXPECT_EQ(buffer(0)->plays, 3) << "a press at another time ends the waiting release first";
    timedKey(&window(), Qt::Key_1, false, ms + 120);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !app_->player().keyboard().slotKeyHeld(0); }, 1000));
}

TEST_F(SamplerWindow, ClearMenuEmptiesTheLabelsAndTheKeysStillPlay) {
    dropAndChoose(2, file(QStringLiteral("kick.wav"), 1), 0);
    QMenu* menu = app_->sampler().menu();
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->isEnabled());
    ASSERT_EQ(menu->actions().last()->text(), QStringLiteral("ｻﾝﾌﾟﾗｰのｸﾘｱ"));
    menu->actions().last()->trigger();
    for (int slot = 0; slot < 8; ++slot)
        EXPECT_EQ(label(slot)->text(), QString::number(slot + 1) + QLatin1Char(':'));
    key(&window(), Qt::Key_3, true);
    key(&window(), Qt::Key_3, false);
    EXPECT_EQ(buffer(2)->plays, 1);
}

TEST_F(SamplerWindow, RightPressOpensTheSamplerDialogNarrowInMode2AndTheToneKeyboardCaps) {
    dropAndChoose(0, file(QStringLiteral("horn.wav"), 2), 0);
    ASSERT_EQ(slots().slotmode(0), 2);
    QTest::mousePress(label(0), Qt::RightButton);
    sampler::SamplerDialog* dialog = app_->sampler().samplerDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->width(), (5200 + 7) / 15);
    EXPECT_EQ(dialog->titleLabel()->text(), QStringLiteral("SAMPLER 1"));
    EXPECT_GE(dialog->effectFrame()->y(), dialog->height()) << "the effect frame is out of sight";

    dialog->tempo()->setValue(60000);
    EXPECT_EQ(buffer(0)->frequency(), 60000);
    QTest::mouseClick(dialog->keyboad(), Qt::LeftButton);
    for (int slot : {5, 6, 7}) EXPECT_EQ(buffer(slot)->frequency(), 100000) << slot;
    EXPECT_EQ(buffer(4)->frequency(), 89880);
    EXPECT_EQ(label(3)->text(), QStringLiteral("4: ファ"));

    // OK closes it; a mono file in mode 0 opens wide with its 3D panel.
    QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
    QTest::qWait(10);
    EXPECT_EQ(app_->sampler().samplerDialog(), nullptr);
    dropAndChoose(1, file(QStringLiteral("kick.wav"), 1), 1);
    QTest::mousePress(label(1), Qt::RightButton);
    dialog = app_->sampler().samplerDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->width(), (8200 + 7) / 15);
    EXPECT_EQ(dialog->effectFrame()->y(), 720 / 15) << "effecter: the frame covers the tempo";
    // A press in the drawing moves the source there.
    QTest::mousePress(dialog->picDraw(), Qt::LeftButton, {}, QPoint(138, 30));
    EXPECT_FLOAT_EQ(buffer(1)->three.position[0], 49.5f / 50.0f);
    QTest::mouseRelease(dialog->picDraw(), Qt::LeftButton, {}, QPoint(138, 30));
    // Ticking an effect adds its entry; the settings button follows the box.
    QTest::mouseClick(dialog->check1(3), Qt::LeftButton);
    EXPECT_EQ(slots().effects().entries[1], QStringList{QStringLiteral("Distortion (Unallocated)")});
    EXPECT_TRUE(dialog->efectcfg(3)->isEnabled());
    // A left press on a label loads by dialog, which first closes the other windows.
    dialog->show();
    app_->sampler().unloadothers();
    QTest::qWait(10);
    EXPECT_EQ(app_->sampler().samplerDialog(), nullptr);
}

TEST_F(SamplerWindow, SlotsAreSavedAndReloadedAndKeptWhileTheSamplerIsOff) {
    const QString kick = file(QStringLiteral("kick.wav"), 1);
    const QString horn = file(QStringLiteral("horn.wav"), 2);
    dropAndChoose(0, kick, 1);
    dropAndChoose(6, horn, 0);
    leave(QMessageBox::Yes);
    start();
    EXPECT_EQ(label(0)->text(), QStringLiteral("1:kick.wav"));
    EXPECT_EQ(label(6)->text(), QStringLiteral("7:horn.wav"));
    ASSERT_NE(buffer(0), nullptr);
    EXPECT_EQ(slots().slotmode(0), 1);
    EXPECT_EQ(slots().slotmode(6), 2);
    EXPECT_EQ(buffer(6)->caps(), unsigned{kCtrlVolume | kCtrlFrequency | kCtrlPan});
    leave(QMessageBox::No);

    // Sampler switched off in the file: the paths are not read, and the next save keeps them.
    QFile ini(settingsPath());
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    QStringList lines = QString::fromUtf8(ini.readAll()).split(QStringLiteral("\r\n"));
    ini.close();
    const qsizetype enabledLine = lines.size() - 1 - 8 - 8 - 3 - 12 - 7;
    ASSERT_EQ(lines[enabledLine], QStringLiteral("True"));
    lines[enabledLine] = QStringLiteral("False");
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ini.write(lines.join(QStringLiteral("\r\n")).toUtf8());
    ini.close();
    start();
    EXPECT_EQ(label(0)->text(), QStringLiteral("1:"));
    EXPECT_EQ(slots().slotbuffer(0), nullptr);
    EXPECT_FALSE(slots().dsready());
    EXPECT_FALSE(app_->sampler().menu()->isEnabled());
    answerNextBox(QMessageBox::Yes);
    window().close();
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QStringList saved = QString::fromUtf8(ini.readAll()).split(QStringLiteral("\r\n"));
    EXPECT_EQ(saved[saved.size() - 9], kick);
    EXPECT_EQ(saved[saved.size() - 3], horn);
}

TEST_F(SamplerWindow, LeavingWithoutSavingReleasesTheSoundsAndTheViewButtonNeedsTheDevice) {
    dropAndChoose(0, file(QStringLiteral("kick.wav"), 1), 0);
    const auto alive = device_->alive;
    EXPECT_EQ(*alive, 1);
    // With the device the sampler button switches the strip.
    const bool shown = app_->layout().flags.samplerview;
    click(window().picture("Imgsam"));
    EXPECT_NE(app_->layout().flags.samplerview, shown);
    QTest::mousePress(label(0), Qt::RightButton);
    ASSERT_NE(app_->sampler().samplerDialog(), nullptr);

    answerNextBox(QMessageBox::No);
    window().close();
    EXPECT_FALSE(window().isVisible());
    EXPECT_EQ(*alive, 0) << "every buffer released";
    EXPECT_FALSE(slots().dsready());
    QTest::qWait(10);
    EXPECT_EQ(app_->sampler().samplerDialog(), nullptr) << "the other windows closed";
    // Without the device the button only lays the panels out again.
    const bool now = app_->layout().flags.samplerview;
    app_->layout().imgsamClick();
    EXPECT_EQ(app_->layout().flags.samplerview, now);
}

TEST(SamplerStartUp, ADeviceThatCannotBeMadeSwitchesTheSamplerOffAfterAMessage) {
    app::KorvexApp korvex({"--audio-output=null"});
    korvex.sampler().makeDevice = [] { return std::unique_ptr<SoundDevice>(); };
    QStringList said;
    // The first start also says it starts afresh (answered by the test runner); catch the device's box.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&said] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || box->windowTitle() != QStringLiteral("初期化エラー")) return;
        said << box->text();
        box->button(QMessageBox::Ok)->click();
    });
    watch.start(10);
    ASSERT_TRUE(korvex.start());
    korvex.handOver();
    ASSERT_EQ(said.size(), 1);
    EXPECT_EQ(said[0],
              QStringLiteral("DirectXが古いかインストールされていません。ＤｉｒｅｃｔＸ８．０以上が必要です。"
                             "省略モードで起動します。"));
    EXPECT_FALSE(korvex.sampler().slots().dsready());
    EXPECT_FALSE(korvex.sampler().menu()->isEnabled());
    EXPECT_FALSE(korvex.layout().flags.samplerview);
    EXPECT_FALSE(korvex.window().label("Text1", 0)->isVisible());
    korvex.shutdown();
}

}  // namespace
}  // namespace korvex::test
