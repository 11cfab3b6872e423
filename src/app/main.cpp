// Korvex: a two-deck player for the desktop.
#include <QApplication>
#include <string>
#include <vector>

#include "app/ui/korvex_app.h"

int main(int argc, char* argv[]) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvex"));
    korvex::app::KorvexApp korvex(args);
    if (!korvex.start()) return 0;
    const int rc = QApplication::exec();
    korvex.shutdown();
    return rc;
}
