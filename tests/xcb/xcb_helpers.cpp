#include "xcb/xcb_helpers.h"

#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QTest>
#include <QWindow>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <vector>

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace korvex::test {
namespace {

pid_t windowManager = 0;

xcb_connection_t* connection() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 != nullptr ? x11->connection() : nullptr;
}

xcb_window_t rootWindow() {
    xcb_connection_t* c = connection();
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

xcb_atom_t atom(const char* name) {
    xcb_connection_t* c = connection();
    Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(strlen(name)), name), nullptr),
        &std::free);
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

// The window manager announces itself on the root window (EWMH's supporting-window check).
bool managerAnnounced() {
    xcb_connection_t* c = connection();
    Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(
            c, xcb_get_property(c, 0, rootWindow(), atom("_NET_SUPPORTING_WM_CHECK"), XCB_ATOM_WINDOW, 0, 1),
            nullptr),
        &std::free);
    return reply && xcb_get_property_value_length(reply.get()) > 0;
}

// The root's child that holds `window` (the window itself without a window manager, its frame with one).
xcb_window_t topLevelOf(xcb_window_t window) {
    xcb_connection_t* c = connection();
    const xcb_window_t root = rootWindow();
    while (window != XCB_WINDOW_NONE) {
        Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr), &std::free);
        if (!tree) return XCB_WINDOW_NONE;
        if (tree->parent == root) return window;
        window = tree->parent;
    }
    return XCB_WINDOW_NONE;
}

}  // namespace

bool startWindowManager() {
    if (windowManagerRunning()) return true;
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        execlp("openbox", "openbox", "--sm-disable", static_cast<char*>(nullptr));
        _exit(127);
    }
    windowManager = child;
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        if (managerAnnounced()) return true;
        if (waitpid(windowManager, nullptr, WNOHANG) == windowManager) {
            windowManager = 0;
            return false;
        }
        QTest::qWait(20);
    }
    return false;
}

void stopWindowManager() {
    if (windowManager <= 0) return;
    kill(windowManager, SIGTERM);
    waitpid(windowManager, nullptr, 0);
    windowManager = 0;
    // Let the windows it gave back settle.
    QTest::qWait(50);
}

bool windowManagerRunning() { return windowManager > 0; }

bool xdotool(const QStringList& args) {
    QProcess run;
    run.start(QStringLiteral("xdotool"), args);
    return run.waitForFinished(10000) && run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0;
}

bool clickOn(QWidget* widget, QPoint at) {
    const QPoint global = widget->mapToGlobal(at);
    // The server takes the motion before the click: no need to wait for it (and a pointer already there
    // would never report a move).
    return xdotool({QStringLiteral("mousemove"), QString::number(global.x()), QString::number(global.y()),
                    QStringLiteral("click"), QStringLiteral("1")});
}

bool holdKey(const QString& keysym, int ms) {
    if (!xdotool({QStringLiteral("keydown"), keysym})) return false;
    QTest::qWait(ms);
    return xdotool({QStringLiteral("keyup"), keysym});
}

int stackingIndex(const QWidget* widget) {
    xcb_connection_t* c = connection();
    const xcb_window_t top = topLevelOf(static_cast<xcb_window_t>(widget->window()->winId()));
    Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, rootWindow()), nullptr),
                                       &std::free);
    if (!tree || top == XCB_WINDOW_NONE) return -1;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    const int count = xcb_query_tree_children_length(tree.get());
    for (int i = 0; i < count; ++i)
        if (children[i] == top) return i;
    return -1;
}

bool viewable(const QWidget* widget) {
    xcb_connection_t* c = connection();
    const auto window = static_cast<xcb_window_t>(widget->window()->winId());
    Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr), &std::free);
    return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
}

}  // namespace korvex::test
