// Korvex: a two-deck player for the desktop.
#include <QApplication>
#include <QImageReader>
#include <QMessageBox>
#include <string>
#include <vector>

#include "app/audio_session.h"
#include "app/startup.h"
#include "app/ui/main_window.h"
#include "app/ui/player_controller.h"
#include "appearance/font_settings.h"
#include "appearance/skin.h"

namespace {

// A skin bitmap counts as loadable when Qt can decode it.
class ImageCheck final : public korvex::appearance::PictureCheck {
public:
    bool canLoad(const QString& path) override { return QImageReader(path).canRead(); }
};

}  // namespace

int main(int argc, char* argv[]) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvex"));

    korvex::app::SingleInstance instance;
    if (instance.claim() == korvex::app::SingleInstance::Claim::kAlreadyRunning) {
        const auto message = korvex::app::alreadyOpenMessage();
        QMessageBox::warning(nullptr, message.title, message.text, QMessageBox::Ok);
        return 0;
    }
    korvex::app::AudioSession audio(args);

    const QString skinname = QStringLiteral("orange");
    korvex::appearance::SkinPictures pictures(
        korvex::appearance::SkinFolders::standard(QStringLiteral(KORVEX_DATA_DIR)));
    ImageCheck check;
    pictures.loadskin(skinname, 0, check);
    korvex::app::MainWindow window([&pictures](const QString& file) { return pictures.pictureFor(file); });
    if (auto fonts = korvex::appearance::readFontSettings(pictures.pictureFor(QStringLiteral("font.txt"))))
        window.applyFonts(*fonts);
    int rc = 0;
    {
        korvex::app::PlayerController player(window, audio.engine());
        window.show();
        window.activateWindow();
        window.setFocus();
        rc = QApplication::exec();
        // The decks' players may only go once the output has stopped reading their tracks.
        audio.shutdown();
    }
    return rc;
}
