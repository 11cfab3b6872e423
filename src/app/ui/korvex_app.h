#pragma once
// The composition root of the running program: the sound, the skins, the start-up window, the main window
// with its menus and chrome, and the decks. main() makes one; the end-to-end tests make one too.

#include <QMenu>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/audio_session.h"
#include "app/settings_file.h"
#include "app/startup.h"
#include "app/ui/main_window.h"
#include "app/ui/player_controller.h"
#include "app/ui/splash_window.h"
#include "appearance/panel_layout.h"
#include "appearance/skin.h"

namespace korvex::app {

class KorvexApp {
public:
    // Needs a QApplication. `args` are the command line's arguments (without the program name).
    explicit KorvexApp(const std::vector<std::string>& args);
    ~KorvexApp();
    KorvexApp(const KorvexApp&) = delete;
    KorvexApp& operator=(const KorvexApp&) = delete;

    // Runs the start-up: false when another copy is running (after its message was shown); otherwise the
    // start-up window is up and hands over to the main window by itself.
    bool start();
    // Hands over to the main window now, as a click on the start-up window does.
    void handOver();

    MainWindow& window() { return *window_; }
    PlayerController& player() { return *player_; }
    SplashWindow& splash() { return *splash_; }
    AudioSession& audio() { return *audio_; }
    appearance::PanelLayout& layout() { return *layout_; }
    // The normal way out, taken once whatever ended the program: runs the steps added with
    // addShutdownStep() (newest first: a recording is closed while its sound still flows), then stops the
    // sound output, which closes a WAVE file being written.
    void shutdown();
    // Adds a step to shutdown() (a recorder closing its file, for example).
    void addShutdownStep(std::function<void()> step) { shutdownSteps_.push_back(std::move(step)); }
    // Ends the program as the leave question's "No" does: nothing is saved. For SIGTERM, SIGINT and
    // SIGHUP; an open dialog (the leave question included) is left without its answer taking effect.
    void leaveWithoutSaving();

private:
    class ImageCheck;
    void buildMenus();
    void connectChrome();
    void applySkin();
    void applyLayout();
    void showAbout();
    // The leave dialog: true when the program is to end (after saving, when asked to).
    bool leave();
    // Writes the settings file.
    void saveSettings();
    // Puts the menu check marks and the window where the settings say.
    void applySettings();

    std::unique_ptr<AudioSession> audio_;
    std::unique_ptr<appearance::PictureCheck> check_;
    SingleInstance instance_;
    std::unique_ptr<appearance::SkinPictures> pictures_;
    std::unique_ptr<appearance::PanelLayout> layout_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<PlayerController> player_;
    std::unique_ptr<SplashWindow> splash_;
    std::unique_ptr<Startup> startup_;
    QTimer handOverTimer_;
    QAction* startupItem_ = nullptr;
    // Menu items that show a flag: refreshed from the flags after the settings are read.
    std::vector<std::pair<QAction*, bool*>> flagItems_;
    // What the settings file keeps beyond the models.
    QString skinname_ = QStringLiteral("orange");
    bool startupFlag_ = false;
    bool samplerenabled_ = false;
    KeptSettings kept_;
    SlotSettings slots_;
    std::unique_ptr<SettingsFile> settings_;
    bool minimizedflag_ = false;
    // The window is closing for good (answered, or left through the File menu).
    bool closingForGood_ = false;
    // Ending on a signal: whatever a dialog open at that moment answers, nothing is saved.
    bool leavingBySignal_ = false;
    std::vector<std::function<void()>> shutdownSteps_;
};

}  // namespace korvex::app
