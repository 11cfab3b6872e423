#pragma once
// The composition root of the running program: the sound, the skins, the start-up window, the main window
// with its menus and chrome, and the decks. main() makes one; the end-to-end tests make one too.

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <array>
#include <functional>
#include <QTranslator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/audio_session.h"
#include "app/settings_file.h"
#include "app/korvex_settings.h"
#include "app/open_with.h"
#include "app/start_guard.h"
#include "app/startup.h"
#include "app/ui/main_window.h"
#include "app/ui/player_controller.h"
#include "app/ui/sampler_controller.h"
#include "app/ui/splash_window.h"
#include "appearance/font_editor.h"
#include "appearance/font_settings.h"
#include "control/mini_mode.h"
#include "appearance/panel_layout.h"
#include "appearance/skin.h"
#include "broadcast/on_air.h"
#include "broadcast/password_keeper.h"
#include "broadcast/ui/broadcast_window.h"
#include "appearance/ui/font_window.h"
#include "control/midi/midi_session.h"
#include "control/midi/ui/midi_window.h"
#include "library/library.h"
#include "library/ui/library_window.h"
#include "mixer/configuration.h"
#include "mixer/ui/configuration_window.h"
#include "recorder/command_interface.h"
#include "recorder/ui/recorder_window.h"

namespace korvex::app {

class KorvexApp {
public:
    // Needs a QApplication. `args` are the player's arguments as readCommandLine passes them on: options
    // start with "--"; anything else is a music file to add to deck A's list.
    explicit KorvexApp(const std::vector<std::string>& args);
    ~KorvexApp();
    KorvexApp(const KorvexApp&) = delete;
    KorvexApp& operator=(const KorvexApp&) = delete;

    // Runs the start-up: false when another copy is running (after its message was shown, or after the music
    // files named on the command line were handed to it); otherwise the start-up window is up and hands over
    // to the main window by itself.
    bool start();
    // What the program ends with when start() was false: 0, or 1 when the files could not be handed over.
    int refusedStatus() const { return handOverFailed_ ? 1 : 0; }
    // Where this player takes the files of a second start (the desktop's "open with").
    OpenWithServer* openWithServer() { return openWith_.get(); }
    // Hands over to the main window now, as a click on the start-up window does.
    void handOver();

    MainWindow& window() { return *window_; }
    PlayerController& player() { return *player_; }
    SamplerController& sampler() { return *sampler_; }
    SplashWindow& splash() { return *splash_; }
    AudioSession& audio() { return *audio_; }
    appearance::PanelLayout& layout() { return *layout_; }
    appearance::SkinPictures& pictures() { return *pictures_; }
    control::MiniMode& mini() { return *mini_; }
    // What the main window's texts show (fonts and colours).
    const appearance::DisplayFonts& fonts() const { return fonts_; }
    // `skinname`: the current skin.
    const QString& skinname() const { return skinname_; }
    // `samplerenabled`: the sampler is switched on (the configuration's "サンプラーＯＦＦ" unticked).
    bool samplerenabled() const { return samplerenabled_; }
    // The menu entries "設定" and "ｽｷﾝ": open (or raise) the configuration dialog and the font and skin
    // dialog. Each is modeless and destroyed when closed; null while it is not open.
    mixer::ConfigurationWindow* showConfiguration();
    appearance::FontWindow* showSkinDialog();
    mixer::ConfigurationWindow* configurationWindow() const { return configurationWindow_; }
    // MIDI controllers, and their dialog (from the configuration dialog's "MIDI 設定..."; null when closed).
    midi::MidiSession& midi() { return *midi_; }
    midi::MidiWindow* showMidi();
    midi::MidiWindow* midiWindow() const { return midiWindow_; }
    // The music library (the L key and the menu's "ﾗｲﾌﾞﾗﾘ" open its window, or raise the open one). The
    // song analysis reports what it learns through library().analysisKnown().
    library::Library& library() { return *library_; }
    library::LibraryWindow* showLibrary();
    library::LibraryWindow* libraryWindow() const { return libraryWindow_; }
    // The configuration dialog's "配信の設定...": the broadcast's settings (modal to the dialog); accepted,
    // they are kept in korvex.ini at once and used by the next ON AIR.
    broadcast::BroadcastWindow* showBroadcastSettings();
    broadcast::OnAir& onAir() { return *onAir_; }
    // The ON AIR key pressed: a password the keyring holds is read first (without waiting for it).
    void pressOnAir();
    appearance::FontWindow* skinWindow() const { return skinWindow_; }
    // `loadfonts`: the current skin's font.txt into the main window.
    void loadFonts();

    // The recorder window while it is open (null otherwise), and its command interface.
    recorder::RecorderWindow* recorderWindow() { return recorder_.data(); }
    recorder::CommandInterface& recorderCommands() { return *recorderCommands_; }
    // Opens the recorder window as the main window's recorder button does (or raises the open one).
    void openRecorder();
    // Replaces the recorder's save dialog and message boxes (tests answer them); null restores Qt's.
    void setRecorderDialogs(songlist::FileDialogs* dialogs, base::MessageBoxes* boxes);
    // The normal way out, taken once whatever ended the program: runs the steps added with
    // addShutdownStep() (newest first: a recording is closed while its sound still flows), then stops the
    // sound output, which closes a WAVE file being written.
    void shutdown();
    // What this start set aside because the start before it died on the way (the guard of the start).
    const StartGuard& startGuard() const { return *startGuard_; }
    // Adds a step to shutdown() (a recorder closing its file, for example).
    void addShutdownStep(std::function<void()> step) { shutdownSteps_.push_back(std::move(step)); }
    // Ends the program as the leave question's "No" does: nothing is saved. For SIGTERM, SIGINT and
    // SIGHUP; an open dialog (the leave question included) is left without its answer taking effect.
    void leaveWithoutSaving();
    // True once leaveWithoutSaving() was called.
    bool leavingBySignal() const { return leavingBySignal_; }

private:
    // Draws the ON AIR key and sends the live deck's song title to the stream.
    void tickOnAir();
    class ImageCheck;
    void buildMenus();
    // MIDI: the back end and the mapping file the command line names; then the mapping in use.
    void makeMidi(const std::vector<std::string>& args);
    void loadMidiMapping();
    void connectChrome();
    void applySkin();
    // Lights the title bar's library key while the library window is open.
    void showLibraryKey();
    void showLibraryKey(bool open);
    void applyLayout();
    // `loadskin` of the current skin, then its pictures into the window.
    void loadSkin();
    // `layoutpanels`, then the window follows.
    void layoutPanels();
    // The title bar's texts, the caption and the mini buttons from the mini-bar model.
    void drawChrome();
    // The mini bar's four buttons, looked up by the first drawChrome().
    std::array<appearance::PictureWidget*, 4> miniButtons_{};
    // The title bar's count of gaps in the sound, as they happen.
    void drawSoundStatus();
    void connectMiniBar();
    void showAbout();
    // `initsound`: the sampler's sound device, when the sampler is switched on.
    void initsound();
    // The leave dialog: true when the program is to end (after saving, when asked to).
    bool leave();
    // Writes the settings file.
    void saveSettings();
    // Puts the menu check marks and the window where the settings say.
    void applySettings();

    // Qt's own texts in Japanese.
    std::unique_ptr<QTranslator> translator_;
    std::unique_ptr<AudioSession> audio_;
    // Before the window: the library window shows it until the end.
    std::unique_ptr<library::Library> library_;
    // Feeds the decks' plays to the library once a second.
    // The song of each deck whose analysis the library was last told.
    std::array<std::string, 2> analysisTold_;
    QTimer libraryTick_;
    std::unique_ptr<appearance::PictureCheck> check_;
    SingleInstance instance_;
    std::unique_ptr<appearance::SkinPictures> pictures_;
    std::unique_ptr<appearance::PanelLayout> layout_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<PlayerController> player_;
    // After the decks: its buffers go before the engine and the decks.
    std::unique_ptr<SamplerController> sampler_;
    // After the decks and the sampler it works, and gone before them.
    std::unique_ptr<midi::MidiSession> midi_;
    // What the start's MIDI options or mapping file went wrong with, told when the window opens.
    QString midiProblem_;
    // The mapping file named on the command line (it wins over korvex.ini's); null when none.
    std::optional<QString> midiMappingOption_;
    QPointer<midi::MidiWindow> midiWindow_;
    // The redraw after MIDI messages, at most once a frame.
    static constexpr int kMidiRedrawMs = 16;
    QTimer midiRedraw_;
    std::unique_ptr<SplashWindow> splash_;
    std::unique_ptr<Startup> startup_;
    std::unique_ptr<recorder::CommandInterface> recorderCommands_;
    // The ON AIR key's model and its half-second tick (the blink, the tooltip, the song now heard).
    std::unique_ptr<broadcast::OnAir> onAir_;
    QPointer<broadcast::BroadcastWindow> broadcastWindow_;
    QTimer onAirTick_;
    bool onAirBlink_ = false;
    // The address `--broadcast=` gave (empty: none); it wins over the stored settings.
    std::string broadcastUrl_;
    // Whether the password the keyring holds is known (read, or typed this run), and whether it is being read.
    bool broadcastPasswordKnown_ = false;
    bool readingBroadcastPassword_ = false;
    // Moves a password korvex.ini holds into the keyring when one answers, then writes the file without it;
    // `wait`: waits for the keyring (briefly), for the last save on leaving.
    void moveBroadcastPasswordToKeyring(bool wait);
    // Gone with the app: keyring answers that come later find it expired.
    std::shared_ptr<int> lifetime_ = std::make_shared<int>(0);
    songlist::DialogState recorderDialog_;
    songlist::FileDialogs* recorderFileDialogs_ = nullptr;
    base::MessageBoxes* recorderBoxes_ = nullptr;
    QPointer<recorder::RecorderWindow> recorder_;
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
    std::unique_ptr<StartGuard> startGuard_;
    // Korvex's own settings file beside the settings file, and what it holds beyond the models.
    QString korvexSettingsPath_;
    KorvexSettings korvexSettings_;
    // The start counts as through once the window has stood this long: a song's decoding runs on past
    // the hand-over.
    static constexpr int kStartSettleMs = 3000;
    // How long a second start waits for the running player to take its files (a player still starting may
    // not listen yet).
    static constexpr int kHandOverWaitMs = 5000;
    QTimer startSettled_;
    appearance::DisplayFonts fonts_;
    std::unique_ptr<control::MiniMode> mini_;
    std::unique_ptr<mixer::Configuration> configuration_;
    std::unique_ptr<appearance::FontEditor> fontEditor_;
    QPointer<mixer::ConfigurationWindow> configurationWindow_;
    QPointer<appearance::FontWindow> skinWindow_;
    QPointer<library::LibraryWindow> libraryWindow_;
    // The caption last written to the window.
    QString shownCaption_;
    // The gap count the title bar shows.
    std::uint64_t shownUnderflows_ = 0;
    // The output's start problem was shown.
    bool soundProblemTold_ = false;
    // The window is closing for good (answered, or left through the File menu).
    bool closingForGood_ = false;
    // Ending on a signal: whatever a dialog open at that moment answers, nothing is saved.
    bool leavingBySignal_ = false;
    // Music files named on the command line (the desktop's "open with"): dropped on deck A's list once the
    // window is up; files a second start hands over before then join them.
    QStringList openFiles_;
    // Files a second start hands over: into the keyboard's deck's list, as the open dialog adds a song.
    void openHandedFiles(const QStringList& files);
    std::unique_ptr<OpenWithServer> openWith_;
    // The main window is up (the start-up window has handed over).
    bool handedOver_ = false;
    // A second copy: its music files went to the running player, or could not be handed to it.
    bool filesHandedOver_ = false;
    bool handOverFailed_ = false;
    // The files a second copy could not hand over, for its message.
    QStringList unsentFiles_;
    std::vector<std::function<void()>> shutdownSteps_;
};

}  // namespace korvex::app
