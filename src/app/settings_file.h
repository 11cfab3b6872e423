#pragma once
// The settings file korvexp.ini: both song lists with their memories, each deck's current song, the menu
// switches, the window position, the configuration values, the fader patterns and the sampler slots.
//
// Why it is shaped this way: the file has no keys, only positions, so reading and writing must walk the
// very same sequence. After the two list blocks (shared with the .lis files, song_list_file.h) the settings
// are one table of fields built in one place, and the reader and the writer both walk that table; a field
// can only be added to both or to neither. The objects whose state is saved are not copied into a settings
// struct: SettingsTargets names them by reference, values are read back into them one after the other as
// the file goes, and what the loader sets off (loading a deck's song, creating the sampler's sound device,
// reloading a slot) goes through the transport's hooks and SettingsEffects. So a test loads a file into
// fake decks and checks what each deck was told, with no window.
//
// A file that cannot be read in full resets the settings to their defaults after a message; whatever was
// read before the fault stays. Saving writes a new file beside the old one and replaces it only when all of
// it is on disk, so a failed save never costs the previous state.
//
// Everything here runs on the user-interface thread.

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>

#include "appearance/panel_layout.h"
#include "deck/deck_transport.h"
#include "mixer/mixer.h"
#include "base/message_boxes.h"
#include "base/text_lines.h"

namespace korvex::app {

// The settings file's name.
inline constexpr char kSettingsFileName[] = "korvexp.ini";
// Number of sampler slots the file carries.
inline constexpr int kSlotCount = 8;

// What the file keeps that no model of the program owns.
struct KeptSettings {
    // The main window's top and left edges in twips. The window is read into these before savest() and
    // placed from them after loadsettings(); a file without them leaves them as they were.
    float windowTop = 0.0f;
    float windowLeft = 0.0f;
    // Two values that only hold their place in the file: read, written back, used by nothing.
    int reservedNumber = 0;
    bool reservedFlag = true;
};

// The sampler slots as the file carries them (`slotmode`, `slotpath`).
struct SlotSettings {
    // Buffer mode of each slot, 0 .. 3.
    std::array<int, kSlotCount> slotmode{};
    // Wave file of each slot; empty when the slot holds no sample.
    std::array<QString, kSlotCount> slotpath{};
};

// Everything whose state the file holds. The song lists and the deck settings are the transport's; the
// restored current songs are applied to the transport's players and through its hooks (pitchset,
// trimlinedraw, volcontrol), as a song load does. All must outlive the SettingsFile.
struct SettingsTargets {
    deck::DeckTransport& transport;
    // `fadertable` and `playonswitch`.
    mixer::MixerSettings& mixer;
    // `samplerview` and `listview`.
    appearance::ViewFlags& view;
    // `skinname`: the skin folder's name.
    QString& skinname;
    // `newtrim`: initial trim of added songs, 0 .. 40.
    int& newtrim;
    // "起動と同時に再生" (`startup`) checked.
    bool& startup;
    // `samplerenabled`: the sampler is switched on.
    bool& samplerenabled;
    // Start folder of the add-songs file dialog.
    QString& dialogFolder;
    KeptSettings& kept;
    SlotSettings& slots;
};

// What loading sets off beyond storing values. Either may be left empty; it then does nothing.
struct SettingsEffects {
    // `initsound`: creates the sampler's sound device. Run when the file says the sampler is on, and by
    // the reset; it may clear `samplerenabled` (and `samplerview`) when there is no usable device. It can
    // run twice in one load (a file cut short in its slot paths resets after it ran), so a device that
    // exists already is kept.
    std::function<void()> initsound;
    // Loads the wave file `path` into `slot` with mode `mode` and labels the slot (sampler on only; the
    // slot's mode and path are already stored in SlotSettings).
    std::function<void(int slot, int mode, const QString& path)> loadslot;
    // Asked before a deck's saved song or a slot's sound is opened: false leaves that deck or slot empty
    // (the list row and the slot's path stay, and are saved again).
    std::function<bool(const QString& path)> mayOpen;
};

// How loadsettings() ended.
enum class SettingsLoad {
    kRead,   // the whole file was read
    kReset,  // the file was missing or broken: the message was shown and the defaults set
};

class SettingsFile {
public:
    // `path`: the file (see settingsFilePath()). `messages` shows the reset and save-failure boxes.
    SettingsFile(QString path, SettingsTargets targets, base::MessageBoxes& messages,
                 SettingsEffects effects = {});
    SettingsFile(const SettingsFile&) = delete;
    SettingsFile& operator=(const SettingsFile&) = delete;

    const QString& path() const { return path_; }

    // `savest`: writes both lists and every setting. The file is replaced only once all of it is written;
    // on failure the previous file stays as it was, a message says so and the result is false. Ending the
    // program afterwards is the caller's.
    bool savest();
    // `loadsettings`: reads the file into the targets, appending the songs to the lists, and restores each
    // deck's current song (only when deck B's list holds songs). A missing or broken file resets.
    SettingsLoad loadsettings();

    // The lines savest() writes.
    QStringList lines() const;
    // loadsettings() on a file's lines already read.
    SettingsLoad loadLines(const QStringList& lines);

private:
    bool readAll(base::LineSource& in);
    bool restoreDecks(base::LineSource& in);
    bool readSlotPaths(base::LineSource& in);
    // The restored current song of `deck` given to its player, as far as a start-up restores it.
    void applyRow(int deck);
    void runInitsound();
    void reset();

    QString path_;
    SettingsTargets targets_;
    base::MessageBoxes& messages_;
    SettingsEffects effects_;
    // Slot paths read while the sampler was off: nothing loads them, but they are written back for slots
    // that were not filled since, so switching the sampler off for a while loses no slot.
    std::array<QString, kSlotCount> carriedSlotPaths_{};
};

// Where the settings file is: `executableDir`/korvexp.ini when that file exists (portable use), otherwise
// korvexp.ini in the "korvex" folder of the user's configuration folder ($XDG_CONFIG_HOME when it names an
// absolute path, else $HOME/.config). Empty when neither the folder nor a home folder is known.
QString settingsFilePath(const QString& executableDir, const QProcessEnvironment& environment);
// settingsFilePath() for the running program and its environment. Needs a QCoreApplication.
QString standardSettingsFilePath();

}  // namespace korvex::app
