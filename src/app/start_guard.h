#pragma once
// Keeps a song that brings the player down while it starts from doing so at every start.
//
// A start writes a marker file beside the settings file before it loads anything, names in it each saved
// song or slot sound just before opening it, and removes the marker once the window has stood for a few
// seconds (or the program ends in an orderly way). A marker found at the next start means that start died
// on the way: this one then leaves the decks and slots empty (the lists and the saved paths stay) and says
// which files were set aside, and which one was being opened when it died.
//
// Everything here runs on the user-interface thread.

#include <QString>
#include <QStringList>

namespace korvex::app {

class StartGuard {
public:
    // `markerPath`: the marker file; empty switches the guard off.
    explicit StartGuard(QString markerPath);
    StartGuard(const StartGuard&) = delete;
    StartGuard& operator=(const StartGuard&) = delete;

    // The marker beside the settings file `settingsPath` (empty when that is empty).
    static QString markerBeside(const QString& settingsPath);

    // Reads what an earlier start left and writes this start's marker.
    void begin();
    // True when the start before this one did not finish: saved songs are to be set aside.
    bool settingAside() const { return settingAside_; }
    // The file the earlier start was opening when it died (empty when unknown).
    const QString& suspect() const { return suspect_; }

    // A saved song or slot sound is about to be opened: false when it is to be set aside instead (it is then
    // remembered for the message).
    bool mayOpen(const QString& path);
    // The files set aside in this start, in order.
    const QStringList& setAside() const { return setAside_; }
    // The message that says what was set aside (empty when nothing was).
    QString message() const;

    // The start got through: the marker goes.
    void finish();
    bool finished() const { return finished_; }

private:
    void write();

    QString path_;
    bool begun_ = false;
    bool finished_ = false;
    bool settingAside_ = false;
    QString suspect_;
    QStringList opening_;
    QStringList setAside_;
};

}  // namespace korvex::app
