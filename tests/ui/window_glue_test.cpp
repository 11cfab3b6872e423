// The main window's glue honours what the models decide: songs added by the dialog or a drop, the title
// highlight, skins that fail part-way, the keyboard on other layouts, Qt's dialogs in Japanese, and the
// start-up window's order.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "app/ui/korvex_app.h"
#include "support/drops.h"
#include "appearance/layout_table.h"
#include "support/fake_deck_player.h"
#include "support/signals.h"

namespace korvex::test {
namespace {

using app::KorvexApp;

QString toneFile(const QString& dir, const QString& name, double freq) {
    const QString path = dir + QLatin1Char('/') + name;
    writeWav16(path.toStdString(), sine(freq, 3.0));
    return path;
}

// The row the title list highlights, -1 for none.
int highlighted(const QListWidget* titles) {
    const QList<QListWidgetItem*> items = titles->selectedItems();
    return items.isEmpty() ? -1 : titles->row(items.first());
}

void click(QWidget* widget, QPoint at = QPoint(4, 4)) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, at);
}

// The settings file of a fresh state with both lists empty and `skin` as the skin.
void writeSettings(const QString& skin) {
    QStringList lines{"0", "0",    "-1", "-1", "True", "True", "False", "False", "False", "0", "0",
                      "2", "True", skin, "",   "True", "20",   "10",    "False", "False", "0", "True"};
    lines << QStringList{"500", "500", "0", "0", "0", "500", "0", "500", "0", "0", "500", "500"};
    lines << QStringList{"50", "50", "50"};
    for (int i = 0; i < 8; ++i) lines << "0";
    for (int i = 0; i < 8; ++i) lines << "";
    const QString config = QString::fromUtf8(qgetenv("XDG_CONFIG_HOME")) + QStringLiteral("/korvex");
    QDir().mkpath(config);
    QFile file(config + QStringLiteral("/korvexp.ini"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    for (const QString& line : lines) file.write(line.toUtf8() + "\r\n");
}

void removeSettings() {
    QFile::remove(QString::fromUtf8(qgetenv("XDG_CONFIG_HOME")) + QStringLiteral("/korvex/korvexp.ini"));
}

QString shippedSkin(const QString& skin) {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/picture/") + skin;
}

// A user skin `name`: the shipped orange skin without the bitmap `missing`.
void makeUserSkin(const QString& name, const QString& missing) {
    const QString folder =
        QString::fromUtf8(qgetenv("XDG_DATA_HOME")) + QStringLiteral("/korvex/picture/") + name;
    QDir().mkpath(folder);
    const QDir shipped(shippedSkin(QStringLiteral("orange")));
    for (const QString& file : shipped.entryList(QDir::Files)) {
        if (file == missing) continue;
        QFile::remove(folder + u'/' + file);
        QFile::copy(shipped.filePath(file), folder + u'/' + file);
    }
}

class Glue : public ::testing::Test {
protected:
    void start() {
        app_ = std::make_unique<KorvexApp>(std::vector<std::string>{"--audio-output=null"});
        ASSERT_TRUE(app_->start());
        app_->handOver();
    }
    void TearDown() override {
        if (app_) app_->shutdown();
        removeSettings();
        // The user skins made here are gone for the tests that follow in this process.
        QDir(QString::fromUtf8(qgetenv("XDG_DATA_HOME")) + QStringLiteral("/korvex/picture")).removeRecursively();
    }
    app::MainWindow& window() { return app_->window(); }
    app::PlayerController& player() { return app_->player(); }
    // Drags deck A's trim knob to point right and sets its pitch off centre, then waits for the label.
    void offsetTrimAndPitch() {
        QTest::mousePress(window().picture("Trimbase", 0), Qt::LeftButton, {}, QPoint(46, 20));
        QTest::mouseRelease(window().picture("Trimbase", 0), Qt::LeftButton, {}, QPoint(46, 20));
        ASSERT_GT(window().trimNeedle(0)->end().x(), 4670 + 150);
        player().mixer().pitchsetForTempo(0, 104.0);
        ASSERT_TRUE(QTest::qWaitFor([&] { return window().label("Pitchper", 0)->text() != "00.0%"; }, 2000));
    }
    // The trim needle straight up and the pitch back at normal speed (the pitch within the throttle's wait).
    void expectFreshTrimAndPitch() {
        EXPECT_NEAR(window().trimNeedle(0)->end().x(), 4670, 1) << "the trim needle of the new song";
        EXPECT_TRUE(QTest::qWaitFor([&] { return window().label("Pitchper", 0)->text() == "00.0%"; }, 2000));
        EXPECT_DOUBLE_EQ(player().player(0).rate(), 1.0);
        EXPECT_EQ(window().picture("pitchbtn", 0)->y(), 2400 / 15) << "the pitch indicator at its centre";
    }
    // Plays deck A and pauses it: the pause loop runs.
    void playAndPause() {
        auto* play = window().picture("Pause", 0);
        for (int i = 0; i < 2; ++i) {
            QTest::mousePress(play, Qt::LeftButton, {}, QPoint(5, 5));
            QTest::mouseRelease(play, Qt::LeftButton, {}, QPoint(5, 5));
        }
        ASSERT_TRUE(player().transport().record(0).headplay);
    }
    // After a new song: no pause loop, and the loop's next returns do not start the new song.
    void expectPauseLoopOver() {
        EXPECT_FALSE(player().transport().record(0).headplay);
        EXPECT_FALSE(player().transport().record(0).deckheld);
        QTest::qWait(250);
        EXPECT_NE(player().player(0).playState(), 2) << "the pause loop plays the new song";
    }

    QTemporaryDir dir_;
    std::unique_ptr<KorvexApp> app_;
};

TEST_F(Glue, ADroppedSongHasItsOwnPitchAndTrimAndEndsThePauseLoop) {
    start();
    dropFiles(window().titleList(0)->viewport(), {toneFile(dir_.path(), QStringLiteral("a.wav"), 440)});
    offsetTrimAndPitch();
    playAndPause();
    const QString second = toneFile(dir_.path(), QStringLiteral("b.wav"), 660);
    dropFiles(window().titleList(0)->viewport(), {second});
    ASSERT_EQ(window().titleList(0)->count(), 2);
    EXPECT_EQ(player().player(0).fileName(), second.toStdString());
    expectPauseLoopOver();
    expectFreshTrimAndPitch();
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

TEST_F(Glue, ASongFromTheOpenDialogHasItsOwnPitchAndTrimAndTheDialogSpeaksJapanese) {
    start();
    dropFiles(window().titleList(0)->viewport(), {toneFile(dir_.path(), QStringLiteral("a.wav"), 440)});
    const QString second = toneFile(dir_.path(), QStringLiteral("b.wav"), 660);
    offsetTrimAndPitch();
    playAndPause();
    QString filterLine;
    QString lookIn;
    QTimer::singleShot(100, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        if (auto* filters = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
            filterLine = filters->itemText(0);
        if (auto* label = dialog->findChild<QLabel*>(QStringLiteral("lookInLabel"))) lookIn = label->text();
        // Typed into the file name line, as a user does.
        if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) name->setText(second);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    click(window().picture("Imgadd", 0));
    EXPECT_EQ(filterLine, QStringLiteral("(*.mp3;*.mpg;*.wav;*.mid;*.wma;)")) << "the patterns shown once";
    EXPECT_FALSE(lookIn.isEmpty());
    EXPECT_NE(lookIn, QStringLiteral("Look in:")) << "Qt's own texts in Japanese";
    ASSERT_EQ(window().titleList(0)->count(), 2);
    EXPECT_EQ(player().player(0).fileName(), second.toStdString());
    expectPauseLoopOver();
    expectFreshTrimAndPitch();
}

TEST_F(Glue, TheLeaveQuestionsButtonsAreJapanese) {
    start();
    QStringList buttons;
    QTimer::singleShot(50, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        for (auto button : {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel})
            buttons << box->button(button)->text();
        box->button(QMessageBox::Cancel)->click();
    });
    click(window().picture("Formend"));
    ASSERT_EQ(buttons.size(), 3);
    EXPECT_TRUE(buttons[0].contains(QStringLiteral("はい"))) << buttons[0].toStdString();
    EXPECT_TRUE(buttons[1].contains(QStringLiteral("いいえ"))) << buttons[1].toStdString();
    EXPECT_FALSE(buttons[2].contains(QStringLiteral("Cancel"))) << buttons[2].toStdString();
}

TEST_F(Glue, TheHighlightAndTheListsRowNeverDisagree) {
    start();
    for (const char* name : {"a.wav", "b.wav", "c.wav"})
        toneFile(dir_.path(), QString::fromLatin1(name), 440);
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
    click(window().picture("Imgdell", 0));
    if (shown < 0) {
        EXPECT_EQ(titles->count(), 3);
    } else {
        ASSERT_EQ(titles->count(), 2);
        EXPECT_EQ(titles->item(0)->text(), kept);
    }
}

TEST_F(Glue, CrossfaderButtonsHaveTheirTooltips) {
    start();
    EXPECT_EQ(window().picture("switch")->toolTip(), QStringLiteral("Switch(Space)"));
    EXPECT_EQ(window().picture("Lvol")->toolTip(), QStringLiteral("A< (C)"));
    EXPECT_EQ(window().picture("volR")->toolTip(), QStringLiteral(">B (M)"));
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
    click(window().picture("FDpaturn", 2));
    EXPECT_EQ(window().picture("FDpaturn", 2)->picturePath(), orange + QStringLiteral("fdp32.bmp"));
    EXPECT_EQ(window().picture("FDpaturn", 0)->picturePath(), orange + QStringLiteral("fdp11.bmp"));
}

TEST_F(Glue, APanelButtonBitmapThatCannotBeLoadedLeavesTheWindowAsItWas) {
    makeUserSkin(QStringLiteral("nolist1"), QStringLiteral("list1.bmp"));
    writeSettings(QStringLiteral("nolist1"));
    start();
    const int height = window().height();
    ASSERT_EQ(height, (8640 + 7) / 15);
    click(window().picture("Imglist"));
    EXPECT_EQ(window().height(), height);
    EXPECT_TRUE(window().titleList(0)->isVisibleTo(&window()));
    EXPECT_TRUE(window().picture("Imglist")->picturePath().endsWith(QStringLiteral("/list2.bmp")));
}

TEST_F(Glue, TheStartUpWindowShowsItsVersionDuringTheResetAndTheSkinsPictureAndNeedles) {
    // No settings file: the reset message stands over a start-up window that already shows its version.
    removeSettings();
    app_ = std::make_unique<KorvexApp>(std::vector<std::string>{"--audio-output=null"});
    QString versionDuringReset = QStringLiteral("(no reset message)");
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || box->text() != QStringLiteral("Korvexの状態を初期化します。")) return;
        versionDuringReset = app_->splash().versionText();
        box->accept();
    });
    watch.start(1);
    ASSERT_TRUE(app_->start());
    watch.stop();
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
