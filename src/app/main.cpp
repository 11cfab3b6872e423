// Korvex: a two-deck player for the desktop.
#include <QApplication>
#include <string>
#include <vector>

#include "app/quit_signals.h"
#include "app/ui/korvex_app.h"

int main(int argc, char* argv[]) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvex"));
    korvex::app::KorvexApp korvex(args);
    // SIGTERM, SIGINT and SIGHUP leave as the leave question's "No" does, through the normal shutdown.
    korvex::app::QuitSignals quitSignals([&korvex](int) { korvex.leaveWithoutSaving(); });
    if (!korvex.start()) return 0;
    const int rc = QApplication::exec();
    korvex.shutdown();
    return rc;
}
