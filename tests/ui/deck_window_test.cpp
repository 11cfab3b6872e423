// The main window as a user works it: titles, drops, the transport buttons, the start-up hand-over.

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QDir>
#include <QTest>

#include "appearance/layout_table.h"
#include "ui/ui_helpers.h"

namespace korvex::test {
namespace {

using app::KorvexApp;
using DeckWindow = WindowTest;

TEST_F(DeckWindow, DroppingAFolderAddsItsSongsAndDoubleClickLoadsATitle) {
    tone(QStringLiteral("b.wav"));
    tone(QStringLiteral("a.wav"), 550);
    QFile(dir_.path() + QStringLiteral("/notes.txt")).open(QIODevice::WriteOnly);
    auto* list = window().titleList(0);
    dropFiles(list->viewport(), {dir_.path()});
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("a.wav"));
    EXPECT_EQ(list->item(1)->text(), QStringLiteral("b.wav"));
    // The drop loads the last added song.
    EXPECT_EQ(player().player(0).fileName(), (dir_.path() + QStringLiteral("/b.wav")).toStdString());

    // A single click selects; a double-click loads the title.
    const QRect first = list->visualItemRect(list->item(0));
    click(list->viewport(), first.center());
    EXPECT_EQ(player().list(0).current(), 0);
    EXPECT_EQ(player().player(0).fileName(), (dir_.path() + QStringLiteral("/b.wav")).toStdString());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, first.center());
    EXPECT_EQ(player().player(0).fileName(), (dir_.path() + QStringLiteral("/a.wav")).toStdString());
    EXPECT_EQ(window().label("text2", 0)->text().left(5), QStringLiteral("a.wav"));
}

// A row picked for later while a song plays does not rename the song in the deck: the file label (and
// so the mini bar) keeps naming what plays, through a pause and a new start too.
TEST_F(DeckWindow, TheFileLabelNamesThePlayingSongNotARowPickedForLater) {
    tone(QStringLiteral("a.wav"));
    tone(QStringLiteral("b.wav"), 550);
    auto* list = window().titleList(0);
    dropFiles(list->viewport(), {dir_.path()});
    ASSERT_EQ(player().player(0).fileName(), (dir_.path() + QStringLiteral("/b.wav")).toStdString());
    QLabel* label = window().label("lbfilename", 0);
    auto* play = window().picture("Pause", 0);
    click(play, QPoint(5, 5));
    QTest::qWait(100);
    EXPECT_EQ(label->text(), QStringLiteral("b.wav"));

    click(list->viewport(), list->visualItemRect(list->item(0)).center());
    ASSERT_EQ(player().list(0).current(), 0);
    QTest::qWait(100);
    EXPECT_EQ(label->text(), QStringLiteral("b.wav")) << "the timer's label";
    click(play, QPoint(5, 5));
    click(play, QPoint(5, 5));
    QTest::qWait(100);
    EXPECT_EQ(label->text(), QStringLiteral("b.wav")) << "after a pause";

    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    click(play, QPoint(5, 5));
    QTest::qWait(100);
    EXPECT_EQ(label->text(), QStringLiteral("a.wav"));
}

TEST_F(DeckWindow, PlayPausePressAndReleaseChangePictureAndPosition) {
    dropFiles(window().titleList(0)->viewport(), {tone(QStringLiteral("tone.wav"))});
    auto* play = window().picture("Pause", 0);
    const QPoint rest = play->pos();
    EXPECT_TRUE(play->picturePath().endsWith(QStringLiteral("/play1.bmp")));

    QTest::mousePress(play, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(play->picturePath().endsWith(QStringLiteral("/play2.bmp")));
    EXPECT_EQ(play->pos(), rest + QPoint(0, 1)) << "moves down 10 twips while pressed";
    EXPECT_EQ(player().player(0).playState(), 2);
    QTest::mouseRelease(play, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(play->pos(), rest);
    EXPECT_TRUE(play->picturePath().endsWith(QStringLiteral("/play2.bmp"))) << "the playing look stays";

    // Stop: the pressed look while held, then the idle looks and the title again.
    auto* stop = window().picture("Stop", 0);
    QTest::mousePress(stop, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(stop->picturePath().endsWith(QStringLiteral("/stop2.bmp")));
    QTest::mouseRelease(stop, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(stop->picturePath().endsWith(QStringLiteral("/stop1.bmp")));
    EXPECT_TRUE(play->picturePath().endsWith(QStringLiteral("/play1.bmp")));
    EXPECT_NE(player().player(0).playState(), 2);
}

TEST_F(DeckWindow, ViewButtonsResizeTheWindow) {
    const int px = appearance::kTwipsPerPixel;
    EXPECT_EQ(window().height(), (8640 + px / 2) / px);
    click(window().picture("Imgmenu"));
    EXPECT_EQ(window().height(), (8920 + px / 2) / px);
    EXPECT_TRUE(window().menuBar()->isVisible());
    click(window().picture("Imglist"));
    EXPECT_EQ(window().height(), (6480 + 280 + px / 2) / px);
    EXPECT_TRUE(window().picture("Imglist")->picturePath().endsWith(QStringLiteral("/list1.bmp")));
}

TEST(StartupWindow, AClickHandsOverAtOnceAndTheMainWindowTakesTheKeyboard) {
    KorvexApp app({"--audio-output=null"});
    ASSERT_TRUE(app.start());
    EXPECT_TRUE(app.splash().isVisible());
    EXPECT_FALSE(app.window().isVisible());
    QTest::mouseClick(&app.splash(), Qt::LeftButton);
    EXPECT_TRUE(app.window().isVisible());
    EXPECT_FALSE(app.splash().isVisible());

    // A user's first key press reaches the main window.
    int keys = 0;
    app.window().onKey = [&keys](QKeyEvent*, bool pressed) { keys += pressed ? 1 : 0; };
    ASSERT_TRUE(QTest::qWaitForWindowActive(&app.window()));
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    QTest::keyClick(focus, Qt::Key_Space);
    EXPECT_EQ(keys, 1);
    app.shutdown();
}

TEST(StartupWindow, ASecondCopyIsRefused) {
    KorvexApp first({"--audio-output=null"});
    ASSERT_TRUE(first.start());
    KorvexApp second({"--audio-output=null"});
    // The refusal shows a modal message; answer it as a user would.
    QTimer::singleShot(200, [] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            EXPECT_EQ(box->windowTitle(), QStringLiteral("APP Load Error"));
            box->close();
        }
    });
    EXPECT_FALSE(second.start());
    first.shutdown();
}

// The leave question's buttons speak Japanese; Cancel leaves everything playing, No closes without saving.
TEST_F(DeckWindow, TheCloseButtonAsksAndCancelLeavesEverythingPlaying) {
    dropFiles(window().titleList(0)->viewport(), {tone(QStringLiteral("tone.wav"))});
    pressPlay(window(), 0);
    QString question;
    QStringList buttons;
    QTimer::singleShot(50, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        question = box->text();
        for (auto button : {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel})
            buttons << box->button(button)->text();
        box->button(QMessageBox::Cancel)->click();
    });
    click(window().picture("Formend"));
    // The question comes once the click is over.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !question.isEmpty(); }, 3000));
    EXPECT_EQ(question, QStringLiteral("現在の状態を保存しますか？"));
    ASSERT_EQ(buttons.size(), 3);
    EXPECT_TRUE(buttons[0].contains(QStringLiteral("はい"))) << buttons[0].toStdString();
    EXPECT_TRUE(buttons[1].contains(QStringLiteral("いいえ"))) << buttons[1].toStdString();
    EXPECT_FALSE(buttons[2].contains(QStringLiteral("Cancel"))) << buttons[2].toStdString();
    EXPECT_TRUE(window().isVisible());
    EXPECT_EQ(player().player(0).playState(), 2);

    answerNextBox(QMessageBox::No);
    click(window().picture("Formend"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window().isVisible(); }, 3000));
}

TEST_F(DeckWindow, TheWholePlayerAnswersTheKeyboard) {
    dropFiles(window().titleList(0)->viewport(), {tone(QStringLiteral("a.wav"))});
    dropFiles(window().titleList(1)->viewport(), {tone(QStringLiteral("b.wav"), 660)});
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    // Backspace plays the focus deck (A); Right moves the keyboard to deck B, whose marker shows.
    QTest::keyClick(focus, Qt::Key_Backspace);
    EXPECT_EQ(player().player(0).playState(), 2);
    EXPECT_NE(player().player(1).playState(), 2);
    EXPECT_TRUE(window().label("Keyfocus", 0)->isVisible());
    QTest::keyClick(focus, Qt::Key_Right);
    EXPECT_FALSE(window().label("Keyfocus", 0)->isVisible());
    EXPECT_TRUE(window().label("Keyfocus", 1)->isVisible());
    QTest::keyClick(focus, Qt::Key_Backspace);
    EXPECT_EQ(player().player(1).playState(), 2);
    // M throws the crossfader to deck B's end.
    QTest::keyClick(focus, Qt::Key_M);
    EXPECT_EQ(window().picture("Faderbtn")->x(), qRound(6630 / 15.0));
    // S slows deck B down; a click on its pitch caption resets it. The pitch throttle lets each change
    // through within eight ticks.
    QTest::keyClick(focus, Qt::Key_S);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return window().label("Pitchper", 1)->text() != QStringLiteral("00.0%"); }, 2000));
    click(window().label("def", 1));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return window().label("Pitchper", 1)->text() == QStringLiteral("00.0%"); }, 2000));
}

// "演奏中のデッキを保護", ticked in the configuration dialog: the keys, a double-click and a drop leave a
// playing deck's song alone and flash its title; the setting goes to Korvex's own settings file and comes
// back at the next start. Unticked, Down loads the next song as ever.
TEST_F(DeckWindow, AProtectedLiveDeckKeepsItsSongAndSaysSoWithAFlash) {
    app::TitleList* list = window().titleList(0);
    dropFiles(list->viewport(), {tone(QStringLiteral("a.wav")), tone(QStringLiteral("b.wav"), 550)});
    const std::string playing = player().player(0).fileName();
    ASSERT_FALSE(playing.empty());
    mixer::ConfigurationWindow* config = app_->showConfiguration();
    QTest::mouseClick(config->protectLiveDeck(), Qt::LeftButton, {}, QPoint(6, config->protectLiveDeck()->height() / 2));
    ASSERT_TRUE(config->protectLiveDeck()->isChecked());
    config->close();

    window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    QTest::keyClick(focus, Qt::Key_Backspace);
    ASSERT_EQ(player().player(0).playState(), 2);
    QLabel* title = window().label("text2", 0);
    const QString resting = title->styleSheet();
    QTest::keyClick(focus, Qt::Key_Down);
    EXPECT_EQ(player().player(0).fileName(), playing);
    EXPECT_EQ(player().player(0).playState(), 2);
    EXPECT_NE(title->styleSheet(), resting) << "the title flashes";
    EXPECT_TRUE(QTest::qWaitFor([&] { return title->styleSheet() == resting; }, 2000)) << "and settles";
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    dropFiles(list->viewport(), {tone(QStringLiteral("c.wav"), 660)});
    EXPECT_EQ(list->count(), 3) << "a drop still adds its songs";
    EXPECT_EQ(player().player(0).fileName(), playing);
    EXPECT_EQ(player().player(0).playState(), 2);

    // Leaving with "save" writes the setting beside the settings file; the next start has it ticked.
    EXPECT_TRUE(leaveSavingAndReadKorvexSettings().contains("protect-live-deck=true"));
    app_.reset();
    start();
    EXPECT_TRUE(app_->player().settings().protectLiveDeck);
    config = app_->showConfiguration();
    EXPECT_TRUE(config->protectLiveDeck()->isChecked());
    QTest::mouseClick(config->protectLiveDeck(), Qt::LeftButton, {}, QPoint(6, config->protectLiveDeck()->height() / 2));
    config->close();

    window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
    focus = QApplication::focusWidget();
    list = window().titleList(0);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    ASSERT_FALSE(player().player(0).fileName().empty()) << "unprotected, a double-click loads";
    QTest::keyClick(focus, Qt::Key_Backspace);
    ASSERT_EQ(player().player(0).playState(), 2);
    const std::string before = player().player(0).fileName();
    QTest::keyClick(focus, Qt::Key_Down);
    EXPECT_NE(player().player(0).fileName(), before) << "unprotected, Down loads the next song";
    QFile::remove(settingsPath());
    QFile::remove(korvexSettingsFile());
}

}  // namespace
}  // namespace korvex::test
