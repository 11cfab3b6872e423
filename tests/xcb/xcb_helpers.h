#pragma once
// What the xcb tests need from the X server beside Qt: a window manager to start and stop, real pointer
// and key input through xdotool (XTEST, so the events come from the server as a user's would), and the
// server's stacking order of the top-level windows.

#include <QString>
#include <QStringList>
#include <QWidget>

namespace korvex::test {

// Starts openbox on the test server and waits until it manages windows; false when it did not come up.
bool startWindowManager();
// Stops the window manager started here (nothing when none runs).
void stopWindowManager();
bool windowManagerRunning();

// Runs xdotool with `args`; false when it failed.
bool xdotool(const QStringList& args);
// Moves the pointer to `at` (in `widget`'s coordinates) and clicks the left button there, as a user does.
bool clickOn(QWidget* widget, QPoint at);
// Presses, holds for `ms` and releases the key `keysym` ("1", "Return"), with the server's auto-repeat.
bool holdKey(const QString& keysym, int ms);

// Where the top-level window of `widget` stands in the server's stacking order, 0 at the bottom (with a
// window manager, the position of the frame around it); -1 when it is not found.
int stackingIndex(const QWidget* widget);
// Whether the server shows the window of `widget` now (mapped and viewable).
bool viewable(const QWidget* widget);

}  // namespace korvex::test
