#pragma once
// The one QApplication of the benchmark program (offscreen), for the benchmarks that need widgets.

#include <QApplication>

inline QApplication& application() {
    // A benchmark may have made one already.
    if (auto* made = qobject_cast<QApplication*>(QCoreApplication::instance())) return *made;
    static int argc = 1;
    static char name[] = "korvex_bench";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    return app;
}
