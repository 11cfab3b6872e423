// Files a second start hands over bring the player to the front, as the window system stacks it: out of
// the task bar when minimised, above the window that covered it.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <atomic>
#include <thread>

#include "app/open_with.h"
#include "ui/ui_helpers.h"
#include "xcb/xcb_helpers.h"

namespace korvex::test {
namespace {

class XcbOpenWith : public WindowTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(startWindowManager());
        WindowTest::SetUp();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window()));
    }
    void TearDown() override {
        WindowTest::TearDown();
        app_.reset();
        stopWindowManager();
    }
    // What a second start with `path` does, from its own thread while the player runs here.
    bool secondStart(const QString& path) {
        std::atomic<bool> done{false};
        bool taken = false;
        std::thread start([&] {
            taken = app::sendToRunningPlayer(app::openWithSocketPath(), {QFile::encodeName(path)}, 5000);
            done = true;
        });
        EXPECT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 10000));
        start.join();
        return taken;
    }
};

TEST_F(XcbOpenWith, HandedFilesBringThePlayerToTheFront) {
    // Another window covers the player.
    QWidget other;
    other.setGeometry(window().geometry());
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    ASSERT_TRUE(QTest::qWaitFor([&] { return stackingIndex(&other) > stackingIndex(&window()); }, 3000));
    ASSERT_TRUE(secondStart(tone(QStringLiteral("one.wav"))));
    EXPECT_TRUE(QTest::qWaitFor([&] { return stackingIndex(&window()) > stackingIndex(&other); }, 3000));
    EXPECT_EQ(window().titleList(0)->count(), 1);

    // Minimised, it comes back.
    window().showMinimized();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !viewable(&window()); }, 3000));
    ASSERT_TRUE(secondStart(tone(QStringLiteral("two.wav"))));
    EXPECT_TRUE(QTest::qWaitFor([&] { return viewable(&window()); }, 3000));
    EXPECT_FALSE(window().isMinimized());
    EXPECT_EQ(window().titleList(0)->count(), 2);
}

}  // namespace
}  // namespace korvex::test
