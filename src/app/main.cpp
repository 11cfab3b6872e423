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
    // SIGTERM, SIGINT and SIGHUP leave as the leave question's "No" does, through the normal shutdown. The
    // handlers go in before anything else starts (the sound output runs from the player's first moments); a
    // signal that arrives while the player is still being built is answered as soon as it stands.
    korvex::app::KorvexApp* player = nullptr;
    bool signalled = false;
    korvex::app::QuitSignals quitSignals([&player, &signalled](int) {
        if (player != nullptr)
            player->leaveWithoutSaving();
        else
            signalled = true;
    });
    korvex::app::KorvexApp korvex(args);
    player = &korvex;
    if (signalled) {
        korvex.shutdown();
        return 0;
    }
    if (!korvex.start()) return 0;
    const int rc = korvex.leavingBySignal() ? 0 : QApplication::exec();
    korvex.shutdown();
    return rc;
}
