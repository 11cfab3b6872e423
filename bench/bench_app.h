#pragma once
// The one QApplication of the benchmark program (offscreen), for the benchmarks that need widgets.

#include <QApplication>

inline QApplication& application() {
    static int argc = 1;
    static char name[] = "korvex_bench";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    return app;
}
