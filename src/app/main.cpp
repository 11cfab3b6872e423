// Korvex: a two-deck player for the desktop.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <string>
#include <vector>

#include "app/audio_session.h"
#include "app/ui/main_window.h"
#include "app/ui/player_controller.h"
#include "appearance/font_settings.h"

int main(int argc, char* argv[]) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvex"));
    korvex::app::AudioSession audio(args);

    // Skins: beside the program (build tree, portable use), else the installed data folder.
    QString skins = QCoreApplication::applicationDirPath() + QStringLiteral("/picture");
    if (!QFileInfo(skins).isDir()) skins = QStringLiteral(KORVEX_DATA_DIR "/picture");
    const QString skin = skins + QStringLiteral("/orange/");
    korvex::app::MainWindow window([skin](const QString& file) { return skin + file; });
    if (auto fonts = korvex::appearance::readFontSettings(skin + QStringLiteral("font.txt")))
        window.applyFonts(*fonts);
    int rc = 0;
    {
        korvex::app::PlayerController player(window, audio.engine());
        window.show();
        rc = QApplication::exec();
        // The decks' players may only go once the output has stopped reading their tracks.
        audio.shutdown();
    }
    return rc;
}
