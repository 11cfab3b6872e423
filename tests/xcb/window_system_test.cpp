// What X11 decides, with real pointer and key input from the server: the title bar's close button asks the
// leave question (with and without a window manager, after other windows were used), the question's
// buttons take a real click, a held digit key under the server's auto-repeat plays its slot once, and the
// recorder window stays above the main window when the main window is clicked; the L key opens the library above
// it.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QMenuBar>
#include <QMessageBox>
#include <QScopeGuard>
#include <QElapsedTimer>
#include <QTest>
#include <functional>

#include "songlist/list_fakes.h"
#include "songlist/songlist_fakes.h"
#include "support/fake_sound_buffer.h"
#include "ui/ui_helpers.h"
#include "xcb/xcb_helpers.h"

namespace korvex::test {
namespace {

// What a leave question looked like when it came, answered with a real click on `answer`.
struct Question {
    QString text;
    bool shownByServer = false;
    bool answered = false;
};

// Waits (up to five seconds) for the next message box, notes whether the server shows it, and clicks its
// `answer` button through the server.
void answerWithClick(Question* seen, QMessageBox::StandardButton answer, int tries = 250) {
    QTimer::singleShot(20, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible() || !box->windowHandle()->isExposed()) {
            if (tries > 0) answerWithClick(seen, answer, tries - 1);
            return;
        }
        seen->text = box->text();
        seen->shownByServer = viewable(box);
        QAbstractButton* button = box->button(answer);
        seen->answered = clickOn(button, button->rect().center());
    });
}

class XcbWindow : public WindowTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        if (GetParam()) {
            ASSERT_TRUE(startWindowManager());
        }
        WindowTest::SetUp();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window()));
    }
    void TearDown() override {
        WindowTest::TearDown();
        app_.reset();
        stopWindowManager();
    }
};

// Runs `body` inside the application's own loop, as the player runs (QApplication::exec), and leaves the
// loop when it returns, however it returns.
void insideApplicationLoop(const std::function<void()>& body) {
    QTimer::singleShot(0, [&body] {
        const auto leave = qScopeGuard([] { QCoreApplication::exit(0); });
        body();
    });
    QApplication::exec();
}

// The close button, inside the application's loop, after other windows were used (the configuration and skin
// dialogs left open, the version box answered, the song list's menu dismissed): the question shows on the
// server, Cancel (a real click) keeps the player, No closes it.
TEST_P(XcbWindow, CloseButtonAsksAndTheQuestionTakesARealClick) {
    insideApplicationLoop([this] {
        for (QWidget* dialog : {static_cast<QWidget*>(app_->showConfiguration()),
                                static_cast<QWidget*>(app_->showSkinDialog())})
            ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
        Question about;
        answerWithClick(&about, QMessageBox::Ok);
        for (QAction* item : window().menuBar()->actions())
            if (item->text() == QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報")) item->trigger();
        ASSERT_TRUE(about.answered) << "the version box showed and took a real click";
        ASSERT_TRUE(clickOn(window().titleList(0)->viewport(), QPoint(20, 20)));
        ASSERT_TRUE(xdotool({QStringLiteral("click"), QStringLiteral("3")}));
        QTest::qWait(300);
        ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("Escape")}));
        QTest::qWait(100);

        Question cancel;
        answerWithClick(&cancel, QMessageBox::Cancel);
        ASSERT_TRUE(clickOn(window().picture("Formend"), QPoint(6, 6)));
        ASSERT_TRUE(QTest::qWaitFor([&] { return cancel.answered; }, 8000)) << "the question never showed";
        EXPECT_EQ(cancel.text, QStringLiteral("現在の状態を保存しますか？"));
        EXPECT_TRUE(cancel.shownByServer);
        QTest::qWait(200);
        EXPECT_TRUE(window().isVisible());
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

        Question no;
        answerWithClick(&no, QMessageBox::No);
        ASSERT_TRUE(clickOn(window().picture("Formend"), QPoint(6, 6)));
        ASSERT_TRUE(QTest::qWaitFor([&] { return no.answered; }, 8000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !window().isVisible(); }, 3000));
    });
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutWindowManager, XcbWindow, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& param) { return param.param ? "openbox" : "bare"; });

// Counts the auto-repeat presses that reach a window.
class RepeatCounter final : public QObject {
public:
    int repeats = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->isAutoRepeat()) ++repeats;
        return false;
    }
};

class XcbKeys : public WindowTest {
protected:
    void prepare(app::KorvexApp& korvex) override {
        korvex.sampler().makeDevice = [this]() -> std::unique_ptr<SoundDevice> {
            auto device = std::make_unique<sampler::testing::FakeDevice>();
            device->files[path_.toStdString()] = {1, 2000, 44100};
            return device;
        };
    }
    QString path_ = dir_.filePath(QStringLiteral("vox.wav"));
};

// "1" held for 1.2 s: the server repeats it about 20 times; the slot plays once, the silencer keeps both
// decks muted the whole time, and the real release lets them back in.
TEST_F(XcbKeys, HeldDigitPlaysOnceAndKeepsTheSilencerUnderRealAutoRepeat) {
    QFile(path_).open(QIODevice::WriteOnly);
    dropFiles(window().label("Text1", 0), {path_});
    sampler::ModeDialog* mode = app_->sampler().modeDialog();
    ASSERT_NE(mode, nullptr);
    QTest::mouseClick(mode->samplerLabel(), Qt::LeftButton);
    auto& slots = app_->sampler().slots();
    auto* buffer = static_cast<sampler::testing::FakeBuffer*>(slots.slotbuffer(0));
    ASSERT_NE(buffer, nullptr);
    slots.setSlotsilencer(0, 1);
    window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
    RepeatCounter counter;
    window().installEventFilter(&counter);
    MediaPlayer& deckA = player().player(0);

    ASSERT_TRUE(xdotool({QStringLiteral("keydown"), QStringLiteral("1")}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return buffer->plays == 1; }, 3000));
    bool alwaysMuted = true;
    QDeadlineTimer hold(1200);
    while (!hold.hasExpired()) {
        QTest::qWait(5);
        alwaysMuted = alwaysMuted && deckA.mute();
    }
    ASSERT_TRUE(xdotool({QStringLiteral("keyup"), QStringLiteral("1")}));
    EXPECT_GE(counter.repeats, 5) << "the server repeated the key";
    EXPECT_EQ(buffer->plays, 1);
    EXPECT_TRUE(alwaysMuted);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !deckA.mute(); }, 2000)) << "the release lets the decks back in";
    window().removeEventFilter(&counter);
}

// K, E and P held for a second under the server's auto-repeat each switch the keyboard deck's keylock, low kill
// and pre-listen once.
TEST_F(XcbKeys, HeldSwitchKeysSwitchOnce) {
    window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
    mixer::Mixer& m = player().mixer();
    const std::pair<const char*, std::function<bool(int)>> keys[] = {
        {"k", [&](int deck) { return m.keylocked(deck); }},
        {"e", [&](int deck) { return m.equalizer().killed(deck, mixer::kEqLow); }},
        {"p", [&](int deck) { return m.headphones().prelisten(deck); }}};
    for (const auto& [key, on] : keys) {
        RepeatCounter counter;
        window().installEventFilter(&counter);
        ASSERT_TRUE(xdotool({QStringLiteral("keydown"), QString::fromLatin1(key)}));
        ASSERT_TRUE(QTest::qWaitFor([&] { return on(0); }, 3000)) << key;
        // Watched all through the hold: a switch on every repeat would turn it off in between.
        bool stayedOn = true;
        QElapsedTimer held;
        held.start();
        while (held.elapsed() < 1000) {
            QTest::qWait(5);
            stayedOn = stayedOn && on(0);
        }
        EXPECT_TRUE(stayedOn) << key;
        ASSERT_TRUE(xdotool({QStringLiteral("keyup"), QString::fromLatin1(key)}));
        QTest::qWait(300);
        EXPECT_GE(counter.repeats, 5) << key << ": the server repeated the key";
        EXPECT_TRUE(on(0)) << key;
        EXPECT_FALSE(on(1)) << key;
        window().removeEventFilter(&counter);
    }
}

class XcbStacking : public WindowTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(startWindowManager());
        WindowTest::SetUp();
        app_->setRecorderDialogs(&dialogs_, &boxes_);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window()));
    }
    void TearDown() override {
        WindowTest::TearDown();
        app_.reset();
        stopWindowManager();
    }
    songlist::testing::FakeDialogs dialogs_;
    songlist::testing::FakeMessages boxes_;
};

// The recorder opened from the title bar stays above the main window when the main window is clicked.
TEST_F(XcbStacking, RecorderStaysAboveTheMainWindowWhenItIsClicked) {
    dialogs_.answer = dir_.filePath(QStringLiteral("set.wav"));
    ASSERT_TRUE(clickOn(window().picture("Imgrec"), QPoint(6, 6)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return app_->recorderWindow() != nullptr; }, 3000));
    recorder::RecorderWindow* recorder = app_->recorderWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(recorder));
    ASSERT_TRUE(QTest::qWaitFor([&] { return stackingIndex(recorder) > stackingIndex(&window()); }, 3000));

    // A click on the player panel, away from any button, then on the song list.
    QWidget* panel = window().picture("Picture4");
    ASSERT_TRUE(clickOn(panel, QPoint(panel->width() / 2, 4)));
    QTest::qWait(300);
    EXPECT_GT(stackingIndex(recorder), stackingIndex(&window()));
    ASSERT_TRUE(clickOn(window().titleList(0)->viewport(), QPoint(20, 20)));
    QTest::qWait(300);
    EXPECT_GT(stackingIndex(recorder), stackingIndex(&window()));
    EXPECT_TRUE(viewable(recorder));
}

// The L key opens the library above the main window with the keyboard in its search box, and it stays above
// when the main window is clicked.
TEST_F(XcbStacking, LibraryOpensAboveWithTheKeyboardInItsSearchBox) {
    window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("l")}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return app_->libraryWindow() != nullptr; }, 3000));
    library::LibraryWindow* library = app_->libraryWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(library));
    ASSERT_TRUE(QTest::qWaitFor([&] { return stackingIndex(library) > stackingIndex(&window()); }, 3000));
    // Typing goes to the search box, none of it to the decks ("a" is a pitch key). Letters typed within
    // moments of L may reach the player before the window system moves the keyboard; the player hands them
    // on, but a pause here keeps the test free of that race.
    QTest::qWait(300);
    const float pitch = player().mixer().pitchKnob(0).top();
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return library->searchBox()->text() == QStringLiteral("abc"); }, 3000))
        << library->searchBox()->text().toStdString();
    EXPECT_EQ(player().mixer().pitchKnob(0).top(), pitch) << "no letter reached the decks";

    QWidget* panel = window().picture("Picture4");
    ASSERT_TRUE(clickOn(panel, QPoint(panel->width() / 2, 4)));
    QTest::qWait(300);
    EXPECT_GT(stackingIndex(library), stackingIndex(&window()));
    EXPECT_TRUE(viewable(library));
}

}  // namespace
}  // namespace korvex::test
