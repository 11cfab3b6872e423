// Korvex: a two-deck player for the desktop.
#include <QApplication>
#include <QWidget>
#include <string>
#include <vector>

#include "app/audio_session.h"

int main(int argc, char* argv[]) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvex"));
    korvex::app::AudioSession audio(args);

    QWidget window;
    window.setWindowTitle(QStringLiteral("Korvex"));
    window.resize(712, 576);
    window.show();
    const int rc = QApplication::exec();
    audio.shutdown();
    return rc;
}
