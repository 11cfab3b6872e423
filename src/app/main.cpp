// Korvex: a two-deck player for the desktop.
#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/quit_signals.h"
#include "app/startup.h"
#include "app/ui/korvex_app.h"

int main(int argc, char* argv[]) {
    // Read before anything opens: --help, --version and a mistyped option neither show a window nor touch
    // the sound card.
    using korvex::app::CommandLine;
    const CommandLine line = korvex::app::readCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    switch (line.action) {
        case CommandLine::Action::kHelp:
            std::fputs(korvex::app::commandLineHelp().c_str(), stdout);
            return 0;
        case CommandLine::Action::kVersion:
            std::printf("korvex %s\n", korvex::app::versionNumber().toStdString().c_str());
            return 0;
        case CommandLine::Action::kError:
            std::fprintf(stderr, "korvex: %s korvex --help で使えるオプションを確かめてください。\n",
                         line.error.c_str());
            return 2;
        case CommandLine::Action::kRun:
            break;
    }
    const std::vector<std::string>& args = line.player;
    // On X11 the window's updates go to the server in the request itself, not through shared memory. They
    // are small (a display's text, a knob) and come 33 times a second, and the shared-memory path waits
    // on the server twice for each: a fifth of the playing player's CPU. A user's own setting stands.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
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
    if (!korvex.start()) return korvex.refusedStatus();
    const int rc = korvex.leavingBySignal() ? 0 : QApplication::exec();
    korvex.shutdown();
    return rc;
}
