// The tests of what the X11 window system decides (closing, modal questions opened from a click, key
// auto-repeat, which window stays on top) run on Qt's real xcb platform against a private Xvfb server.
// The server is started here on a free display (Xvfb picks it and reports it through -displayfd), with
// auto-repeat on, and stopped however the tests end: it dies with this process.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "xcb/xcb_helpers.h"

namespace {

// Starts Xvfb and returns its display number (-1 when it could not start).
int startXvfb(pid_t* pid) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        // The server goes when the tests go, even when they crash.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        // Auto-repeat as a desktop has it: after 300 ms, every 40 ms.
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
               "-ardelay", "300", "-arinterval", "40", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string number;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    *pid = child;
    if (number.empty()) return -1;
    return std::atoi(number.c_str());
}

void stopXvfb(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests (ctest's discovery) needs no server.
    if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();

    QTemporaryDir home;
    qputenv("XDG_RUNTIME_DIR", (home.path() + QStringLiteral("/run")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toUtf8());
    pid_t server = 0;
    const int display = startXvfb(&server);
    if (display < 0) {
        std::fprintf(stderr, "Xvfb could not start\n");
        stopXvfb(server);
        return 1;
    }
    qputenv("DISPLAY", QByteArray(":") + QByteArray::number(display));
    qputenv("QT_QPA_PLATFORM", "xcb");
    // No desktop session: no input method between the keys and the window.
    qunsetenv("QT_IM_MODULE");
    qunsetenv("XMODIFIERS");
    int result = 1;
    {
        QApplication app(argc, argv);
        // A first start finds no settings file and says it starts afresh; answer that box as a user would.
        QTimer resetAnswer;
        QObject::connect(&resetAnswer, &QTimer::timeout, [] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box != nullptr && box->text() == QStringLiteral("Korvexの状態を初期化します。")) box->accept();
        });
        resetAnswer.start(20);
        result = RUN_ALL_TESTS();
        korvex::test::stopWindowManager();
    }
    stopXvfb(server);
    return result;
}
