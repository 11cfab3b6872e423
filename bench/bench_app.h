#pragma once
// The one QApplication of the benchmark program (offscreen), for the benchmarks that need widgets. The
// program's main() ends it before the program's static objects go (Qt's own among them).

#include <QApplication>
#include <memory>

inline std::unique_ptr<QApplication>& applicationHolder() {
    static std::unique_ptr<QApplication> app;
    return app;
}

inline QApplication& application() {
    // A benchmark may have made one already.
    if (auto* made = qobject_cast<QApplication*>(QCoreApplication::instance())) return *made;
    static int argc = 1;
    static char name[] = "korvex_bench";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    applicationHolder() = std::make_unique<QApplication>(argc, argv);
    return *applicationHolder();
}
