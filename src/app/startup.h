#pragma once
// Start-up: the single-instance guard, the version text, loading everything the main window needs, and the
// hand-over from the start-up window to the main window.
//
// Why it is shaped this way: the start-up window is a splash that runs a fixed sequence and then steps
// aside, so the sequence is a model that the window drives: claimInstance() first (a second copy ends there,
// before anything else is touched), then load(), then timerTick(), click() and keyPress() until one of them
// says to show the main window. The steps owned by parts that the start-up does not know (settings file,
// fonts, mini bar, decks) are hooks that do nothing until the application plugs them in; the skin and the
// panel layout are called directly.
//
// The guard is a lock file in the user's runtime folder. A lock left behind by a crashed run (its process is
// gone) is taken over; a lock of a running copy is never taken, however old it is.
//
// Everything here runs on the user-interface thread.

#include <QString>
#include <QStringList>
#include <QStringView>
#include <functional>
#include <memory>

#include "appearance/panel_layout.h"
#include "appearance/skin.h"

class QLockFile;

namespace korvex::app {

// The program's version, major.minor.revision, each a plain decimal number ("0.1.0").
QString versionNumber();
// The same for a version string as the build gives it; missing or non-numeric parts count as 0.
QString versionNumber(QStringView version);
// The start-up window's and the about box's version label: "Version " and the version number.
QString versionText();

// A message box the program shows: text and title.
struct MessageText {
    QString text;
    QString title;
};

// What a second copy shows before it ends (exclamation icon, OK button).
MessageText alreadyOpenMessage();
// What a second copy shows when the running player did not take the music files it was given.
MessageText cannotHandOverMessage(const QStringList& files);

// Keeps a second copy of the program from running.
class SingleInstance {
public:
    enum class Claim {
        kFirst,           // this is the only running copy
        kAlreadyRunning,  // another copy holds the lock
        kUnguarded,       // the lock file cannot be written: run without the guard
    };

    // `folder`: where the lock file lives; empty for the user's runtime folder.
    explicit SingleInstance(QString folder = {});
    // Releases the lock if this copy holds it.
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Takes the lock, or a stale one left by a copy that is gone. Claiming again returns the first answer.
    Claim claim();
    // The lock file's path (empty when there is no folder for it).
    QString lockPath() const { return path_; }

private:
    QString path_;
    std::unique_ptr<QLockFile> lock_;
    bool claimed_ = false;
    Claim result_ = Claim::kUnguarded;
};

// The start-up steps owned elsewhere. Each may be left empty; it then does nothing.
struct StartupHooks {
    // `loadsettings`: reads the settings file, refills both song lists, restores each deck's current song
    // and creates the sampler's sound device when the sampler is on.
    std::function<void()> loadsettings;
    // The skin the settings name (`skinname`); the default skin when empty.
    std::function<QString()> skinname;
    // `loadfonts`: applies the current skin's fonts and colours.
    std::function<void()> loadfonts;
    // Moves the four mini-bar buttons out of sight (top 1000).
    std::function<void()> parkMiniButtons;
    // Whether the main window's "起動と同時に再生" menu item (`startup`) is checked.
    std::function<bool()> startupChecked;
    // Switches the pause loop (`headplay`) of both decks off.
    std::function<void()> resetHeadplay;
    // Shows the version label in the start-up window, before the settings are read (whose reset message
    // then stands over a complete start-up window).
    std::function<void(const QString&)> showVersion;
    // The skin is loaded: what shows its pictures outside the main window (the start-up window's picture,
    // the window icon) takes them now.
    std::function<void()> skinLoaded;
};

class Startup {
public:
    // The start-up window's timer interval: it hands over on the first tick after loading is complete.
    static constexpr int kHandOverIntervalMs = 2500;

    // All references must outlive the start-up.
    Startup(SingleInstance& instance, appearance::SkinPictures& pictures, appearance::PanelLayout& layout,
            appearance::PictureCheck& check, StartupHooks hooks = {});
    Startup(const Startup&) = delete;
    Startup& operator=(const Startup&) = delete;

    // The single-instance check, the first step. False when another copy is running: the window then shows
    // alreadyOpenMessage() and ends the program without showing the main window.
    bool claimInstance();

    // The loading steps: version label, settings, skin, fonts, panel layout and the rest of the main window's
    // preparation, then `loadcomplete`. Runs once, and only after claimInstance() succeeded; returns whether
    // it ran.
    bool load();

    // The start-up window's `lblVersion`.
    const QString& versionLabel() const { return versionLabel_; }
    // `loadcomplete`: set as the last loading step.
    bool loadcomplete() const { return loadcomplete_; }

    // `startplay`: deck A is to start at the main window's first paint. takeStartplay() returns it and
    // clears it.
    bool startplay() const { return startplay_; }
    bool takeStartplay();

    // The start-up window's timer fired, it was clicked, or a key was pressed in it. Each returns true when
    // the main window is to be shown and the start-up window closed now; that happens once. The timer hands
    // over only when loading is complete; a click or a key at once, which means once load() has returned
    // (loading runs on the same thread, so no click arrives while it runs).
    bool timerTick();
    bool click();
    bool keyPress();
    // Whether the main window has been handed over.
    bool handedOver() const { return handedOver_; }

private:
    bool handOver();

    SingleInstance& instance_;
    appearance::SkinPictures& pictures_;
    appearance::PanelLayout& layout_;
    appearance::PictureCheck& check_;
    StartupHooks hooks_;
    QString versionLabel_;
    bool claimed_ = false;
    bool loaded_ = false;
    bool loadcomplete_ = false;
    bool startplay_ = false;
    bool handedOver_ = false;
};

}  // namespace korvex::app
