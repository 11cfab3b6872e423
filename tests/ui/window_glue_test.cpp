// The main window's glue honours what the models decide: songs added by the dialog or a drop, the title
// highlight, skins that fail part-way, the keyboard on other layouts, Qt's dialogs in Japanese, and the
// start-up window's order.

#include <gtest/gtest.h>

#include <functional>

#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include "support/fifo.h"
#include "songlist/music_files.h"
#include "ui/ui_helpers.h"

namespace korvex::test {
namespace {

using app::KorvexApp;

// The row the title list highlights, -1 for none.
int highlighted(const QListWidget* titles) {
    const QList<QListWidgetItem*> items = titles->selectedItems();
    return items.isEmpty() ? -1 : titles->row(items.first());
}

// The settings file of a fresh state with both lists empty and `skin` as the skin.
void writeSettings(const QString& skin) {
    writeLines(settingsPath(), QStringList{"0", "0", "-1", "-1"} + settingsTail(skin));
}

// Each test starts the player itself, some after writing a settings file.
class Glue : public WindowTest {
protected:
    void SetUp() override {}
    void TearDown() override {
        WindowTest::TearDown();
        QFile::remove(settingsPath());
        // The user skins made here are gone for the tests that follow in this process.
        QDir(userSkinRoot()).removeRecursively();
    }
    // Drags deck A's trim knob to point right and sets its pitch off centre, then waits for the label.
    void offsetTrimAndPitch() {
        click(window().picture("Trimbase", 0), QPoint(46, 20));
        ASSERT_GT(window().trimNeedle(0)->end().x(), 4670 + 150);
        player().mixer().pitchsetForTempo(0, 104.0);
        ASSERT_TRUE(QTest::qWaitFor([&] { return window().label("Pitchper", 0)->text() != "00.0%"; }, 2000));
    }
};

TEST_F(Glue, ANewSongByDropOrOpenDialogHasItsOwnPitchAndTrimAndEndsThePauseLoop) {
    start();
    dropFiles(window().titleList(0)->viewport(), {tone(QStringLiteral("a.wav"))});
    QString filterLine;
    QString lookIn;
    for (const bool byDialog : {false, true}) {
        SCOPED_TRACE(byDialog ? "open dialog" : "drop");
        offsetTrimAndPitch();
        // Deck A plays and pauses: the pause loop runs.
        pressPlay(window(), 0);
        pressPlay(window(), 0);
        ASSERT_TRUE(player().transport().record(0).headplay);
        const QString next = tone(byDialog ? QStringLiteral("c.wav") : QStringLiteral("b.wav"), 660);
        if (byDialog) {
            QTimer::singleShot(100, [&] {
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                ASSERT_NE(dialog, nullptr);
                if (auto* filters = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
                    filterLine = filters->itemText(0);
                if (auto* label = dialog->findChild<QLabel*>(QStringLiteral("lookInLabel")))
                    lookIn = label->text();
                // Typed into the file name line, as a user does.
                if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                    name->setText(next);
                QMetaObject::invokeMethod(dialog, "accept");
            });
            click(window().picture("Imgadd", 0), QPoint(4, 4));
        } else {
            dropFiles(window().titleList(0)->viewport(), {next});
        }
        ASSERT_EQ(window().titleList(0)->count(), byDialog ? 3 : 2);
        EXPECT_EQ(player().player(0).fileName(), next.toStdString());
        // No pause loop, and the loop's next returns do not start the new song.
        EXPECT_FALSE(player().transport().record(0).headplay);
        EXPECT_FALSE(player().transport().record(0).deckheld);
        QTest::qWait(250);
        EXPECT_NE(player().player(0).playState(), 2) << "the pause loop plays the new song";
        // The trim needle straight up and the pitch back at normal speed (within the throttle's wait).
        EXPECT_NEAR(window().trimNeedle(0)->end().x(), 4670, 1) << "the trim needle of the new song";
        EXPECT_TRUE(QTest::qWaitFor([&] { return window().label("Pitchper", 0)->text() == "00.0%"; }, 2000));
        EXPECT_DOUBLE_EQ(player().player(0).rate(), 1.0);
        EXPECT_EQ(window().picture("pitchbtn", 0)->y(), 2400 / 15) << "the pitch indicator at its centre";
    }
    EXPECT_EQ(filterLine, songlist::musicFilter().section(u'|', 0, 0)) << "the patterns shown once";
    EXPECT_FALSE(lookIn.isEmpty());
    EXPECT_NE(lookIn, QStringLiteral("Look in:")) << "Qt's own texts in Japanese";
}

// With no song on either deck the tick slows down; whatever gives it work brings it back at once: a Switch slide
// runs at its usual pace, and a dropped song's deck ticks as before.
TEST_F(Glue, AnIdlePlayerTicksSlowlyUntilItHasWork) {
    start();
    const int slow = player().tickInterval();
    EXPECT_GT(slow, 30) << "nothing to do, yet the tick runs at full speed";
    QElapsedTimer slide;
    slide.start();
    click(window().picture("switch", -1), QPoint(5, 5));
    EXPECT_EQ(player().tickInterval(), 30) << "the slide waits on the idle tick";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !player().mixer().slideflag(); }, 10000));
    EXPECT_LT(slide.elapsed(), 3 * slow) << "the slide crawled";
    QTest::qWait(100);
    EXPECT_EQ(player().tickInterval(), slow);
    dropFiles(window().titleList(0)->viewport(), {tone(QStringLiteral("a.wav"))});
    EXPECT_EQ(player().tickInterval(), 30);
}

// A loaded player that stands still takes its ticks ten at a time after a second: the title marquee moves on
// at its pace, and a Play brings the tick back at once; a playing deck keeps it at full speed.
TEST_F(Glue, AStillPlayerTakesItsTicksTogetherUntilAPlay) {
    start();
    auto* list = window().titleList(0);
    dropFiles(list->viewport(), {tone(QStringLiteral("a title long enough to roll.wav"))});
    const QRect first = list->visualItemRect(list->item(0));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, first.center());
    EXPECT_EQ(player().tickInterval(), 30);
    ASSERT_TRUE(QTest::qWaitFor([&] { return player().tickInterval() == 300; }, 3000))
        << "a still player ticks at full speed";
    QLabel* display = window().label("text2", 0);
    QStringList frames{display->text()};
    QElapsedTimer rolling;
    rolling.start();
    while (frames.size() < 4 && rolling.elapsed() < 3000) {
        QTest::qWait(20);
        if (display->text() != frames.last()) frames << display->text();
    }
    ASSERT_EQ(frames.size(), 4) << "the marquee stopped";
    EXPECT_NEAR(rolling.elapsed(), 900, 300) << "ten ticks to a character, as at full speed";
    for (int i = 1; i < frames.size(); ++i)
        EXPECT_TRUE(frames[i].startsWith(frames[i - 1].mid(1, 8))) << "one character a step: "
                                                                   << frames.join(u'|').toStdString();
    pressPlay(window(), 0);
    EXPECT_EQ(player().tickInterval(), 30);
    QTest::qWait(1500);
    EXPECT_EQ(player().tickInterval(), 30) << "a playing deck slowed the tick";
}

TEST_F(Glue, DropsTakeWmaSongsAndFoldersTheirWmaAndMpgSongs) {
    start();
    dropFiles(window().titleList(0)->viewport(), {QStringLiteral(KORVEX_TEST_DATA "/tone440.wma")});
    ASSERT_EQ(window().titleList(0)->count(), 1);
    EXPECT_EQ(player().player(0).fileName(), KORVEX_TEST_DATA "/tone440.wma");
    EXPECT_FALSE(player().player(0).hasError());
    for (const char* name : {"tone440.wma", "tone440.mpg"})
        QFile::copy(QStringLiteral(KORVEX_TEST_DATA "/") + QLatin1String(name),
                    dir_.filePath(QLatin1String(name)));
    dropFiles(window().titleList(1)->viewport(), {dir_.path()});
    ASSERT_EQ(window().titleList(1)->count(), 2);
    EXPECT_EQ(window().titleList(1)->item(0)->text(), QStringLiteral("tone440.wma"));
    EXPECT_EQ(window().titleList(1)->item(1)->text(), QStringLiteral("tone440.mpg"));
}

TEST_F(Glue, TheHighlightAndTheListsRowNeverDisagree) {
    start();
    for (const char* name : {"a.wav", "b.wav", "c.wav"}) tone(QString::fromLatin1(name));
    auto* titles = window().titleList(0);
    dropFiles(titles->viewport(), {dir_.path()});
    ASSERT_EQ(titles->count(), 3);
    click(titles->viewport(), titles->visualItemRect(titles->item(0)).center());
    ASSERT_EQ(highlighted(titles), 0);
    // A click below the last title, and a Ctrl+click on the highlighted one.
    const QPoint below = titles->visualItemRect(titles->item(2)).center() + QPoint(0, 60);
    ASSERT_EQ(titles->itemAt(below), nullptr);
    click(titles->viewport(), below);
    EXPECT_EQ(highlighted(titles), player().list(0).selected(songlist::kTitle));
    EXPECT_EQ(highlighted(titles), player().list(0).current());
    QTest::mouseClick(titles->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      titles->visualItemRect(titles->item(0)).center());
    EXPECT_EQ(highlighted(titles), player().list(0).selected(songlist::kTitle));
    // "−" deletes the song that is highlighted, and only that one.
    const int shown = highlighted(titles);
    const QString kept = shown == 0 ? QStringLiteral("b.wav") : QStringLiteral("a.wav");
    click(window().picture("Imgdell", 0), QPoint(4, 4));
    if (shown < 0) {
        EXPECT_EQ(titles->count(), 3);
    } else {
        ASSERT_EQ(titles->count(), 2);
        EXPECT_EQ(titles->item(0)->text(), kept);
    }
}

TEST_F(Glue, ShiftedJapaneseKeysCountOnlyFromTheirOwnKeys) {
    start();
    auto key = [this](Qt::Key qtKey, const QString& text, quint32 scanCode) {
        QKeyEvent press(QEvent::KeyPress, qtKey, Qt::ShiftModifier, scanCode, 0, 0, text);
        QCoreApplication::sendEvent(&window(), &press);
        QKeyEvent release(QEvent::KeyRelease, qtKey, Qt::ShiftModifier, scanCode, 0, 0, text);
        QCoreApplication::sendEvent(&window(), &release);
    };
    mixer::Mixer& m = player().mixer();
    // "*": Shift+8 on a US keyboard (key 17) leaves the monitor knob; the "*" of a Japanese keyboard's ":"
    // key (48) moves it down.
    key(Qt::Key_Asterisk, QStringLiteral("*"), 17);
    EXPECT_EQ(m.masterKnob(0).top(), 3840);
    key(Qt::Key_Asterisk, QStringLiteral("*"), 48);
    EXPECT_EQ(m.masterKnob(0).top(), 3940);
    // "_": Shift+- on a US keyboard (key 20) leaves the master knob; the "_" of the "ろ" key (97) moves it
    // up.
    key(Qt::Key_Slash, QStringLiteral("/"), 61);
    ASSERT_EQ(m.masterKnob(1).top(), 3940);
    key(Qt::Key_Underscore, QStringLiteral("_"), 20);
    EXPECT_EQ(m.masterKnob(1).top(), 3940);
    key(Qt::Key_Underscore, QStringLiteral("_"), 97);
    EXPECT_EQ(m.masterKnob(1).top(), 3840);
}

// At start-up; the skin dialog's switch to such a skin is in dialogs_window_test.
TEST_F(Glue, ImagesASkinDidNotReachKeepThePreviousSkinWhenPressed) {
    makeUserSkin(QStringLiteral("noswitch"), QStringLiteral("switch1.bmp"));
    writeSettings(QStringLiteral("noswitch"));
    start();
    const QString orange = shippedSkin(QStringLiteral("orange")) + u'/';
    // Before the failing bitmap: the new skin. From it on: the previous one, whatever the window redraws.
    EXPECT_TRUE(window().picture("Play", 0)->picturePath().contains(QStringLiteral("/noswitch/")));
    for (const char* name : {"switch", "Lvol", "volR", "center"})
        EXPECT_TRUE(window().picture(name)->picturePath().startsWith(orange)) << name;
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(window().picture("FDpaturn", i)->picturePath().startsWith(orange)) << i;
    QTest::mousePress(window().picture("Lvol"), Qt::LeftButton, {}, QPoint(4, 4));
    EXPECT_EQ(window().picture("Lvol")->picturePath(), orange + QStringLiteral("fdtoa2.bmp"));
    QTest::mouseRelease(window().picture("Lvol"), Qt::LeftButton, {}, QPoint(4, 4));
    click(window().picture("FDpaturn", 2), QPoint(4, 4));
    EXPECT_EQ(window().picture("FDpaturn", 2)->picturePath(), orange + QStringLiteral("fdp32.bmp"));
    EXPECT_EQ(window().picture("FDpaturn", 0)->picturePath(), orange + QStringLiteral("fdp11.bmp"));
}

// A FIFO in a skin is a missing file wherever the skin is read: a bitmap at start-up, a pressed look and
// font.txt. Nothing waits on them.
TEST_F(Glue, FifosInASkinAreMissingFilesAndNothingWaitsOnThem) {
    const QString folder = makeUserSkin(QStringLiteral("piped"), QStringLiteral("switch1.bmp"));
    std::vector<std::string> fifos;
    for (const char* name : {"switch1.bmp", "cue2.bmp", "font.txt"}) {
        const QString path = folder + u'/' + QLatin1String(name);
        QFile::remove(path);
        ASSERT_TRUE(makeFifo(path.toStdString())) << name;
        fifos.push_back(path.toStdString());
    }
    writeSettings(QStringLiteral("piped"));
    const FifoWatchdog watchdog(fifos);
    start();
    const QString orange = shippedSkin(QStringLiteral("orange")) + u'/';
    EXPECT_TRUE(window().picture("Play", 0)->picturePath().startsWith(folder));
    EXPECT_TRUE(window().picture("switch")->picturePath().startsWith(orange))
        << "stopped there, as if missing";
    QTest::mousePress(window().picture("Play", 0), Qt::LeftButton, {}, QPoint(4, 4));
    EXPECT_EQ(window().picture("Play", 0)->picturePath(), folder + QStringLiteral("/cue1.bmp"))
        << "the pressed look cannot be read: the idle one stays";
    QTest::mouseRelease(window().picture("Play", 0), Qt::LeftButton, {}, QPoint(4, 4));
    EXPECT_FALSE(watchdog.fired());
    EXPECT_FALSE(appearance::canReadPicture(QString::fromStdString(fifos[0])));
    EXPECT_TRUE(appearance::readPicture(QString::fromStdString(fifos[1])).isNull());
    EXPECT_FALSE(appearance::readPicture(orange + QStringLiteral("cue2.bmp")).isNull());
    EXPECT_FALSE(watchdog.fired());
}

TEST_F(Glue, APanelButtonBitmapThatCannotBeLoadedLeavesTheWindowAsItWas) {
    makeUserSkin(QStringLiteral("nolist1"), QStringLiteral("list1.bmp"));
    writeSettings(QStringLiteral("nolist1"));
    start();
    const int height = window().height();
    ASSERT_EQ(height, (8640 + 7) / 15);
    click(window().picture("Imglist"), QPoint(4, 4));
    EXPECT_EQ(window().height(), height);
    EXPECT_TRUE(window().titleList(0)->isVisibleTo(&window()));
    EXPECT_TRUE(window().picture("Imglist")->picturePath().endsWith(QStringLiteral("/list2.bmp")));
}

// Calls `seen` with every widget as it is shown, while it lives.
class ShowWatch final : public QObject {
public:
    explicit ShowWatch(std::function<void(QObject*)> seen) : seen_(std::move(seen)) {
        QApplication::instance()->installEventFilter(this);
    }
    ~ShowWatch() override { QApplication::instance()->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) seen_(watched);
        return false;
    }

private:
    std::function<void(QObject*)> seen_;
};

TEST_F(Glue, TheStartUpWindowShowsItsVersionDuringTheResetAndTheSkinsPictureAndNeedles) {
    // No settings file: the reset message stands over a start-up window that already shows its version.
    QFile::remove(settingsPath());
    app_ = std::make_unique<KorvexApp>(std::vector<std::string>{"--audio-output=null"});
    QString versionDuringReset = QStringLiteral("(no reset message)");
    // Read the moment the box shows: the test runner's own answerer may close it on its next tick.
    ShowWatch watch([&](QObject* shown) {
        auto* box = qobject_cast<QMessageBox*>(shown);
        if (box != nullptr && box->text() == QStringLiteral("Korvexの状態を初期化します。"))
            versionDuringReset = app_->splash().versionText();
    });
    ASSERT_TRUE(app_->start());
    EXPECT_EQ(versionDuringReset, QStringLiteral("Version 0.1.0"));
    app_->shutdown();
    app_.reset();

    // The picture is the jog of the skin the settings name.
    writeSettings(QStringLiteral("steel"));
    app_ = std::make_unique<KorvexApp>(std::vector<std::string>{"--audio-output=null"});
    ASSERT_TRUE(app_->start());
    const QImage steel = QPixmap(shippedSkin(QStringLiteral("steel")) + QStringLiteral("/jog.ico")).toImage();
    ASSERT_FALSE(steel.isNull());
    EXPECT_EQ(app_->window().windowIcon().pixmap(steel.size()).toImage().convertToFormat(steel.format()),
              steel);
    // The trim needles take the skin's colour.
    const QImage needle(shippedSkin(QStringLiteral("steel")) + QStringLiteral("/needle.bmp"));
    ASSERT_FALSE(needle.isNull());
    EXPECT_EQ(app_->window().trimNeedle(0)->colour(), needle.pixelColor(0, 0));
    EXPECT_EQ(app_->window().trimNeedle(1)->colour(), needle.pixelColor(0, 0));
}

}  // namespace
}  // namespace korvex::test
