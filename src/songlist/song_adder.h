#pragma once
// Adding songs to the decks' lists: one file at a time through the open dialog (`addsongs`, which also
// loads the file into the deck) and many at once by dropping files and folders on a deck's title list.
//
// The adder owns no window. It reaches the file dialog, the deck's displays and knobs and the message
// boxes through two small interfaces (FileDialogs, DeckLoadTarget) that the window layer and the deck
// model implement, and the players through DeckPlayer, so the whole operation runs in a test with fakes.
// The dialog state is one object owned by the app and shared by every open and save dialog of the main
// window, because those dialogs carry the folder and the last file name over from one use to the next.
//
// A file the player cannot open never changes what the deck plays: the player gets its previous file,
// position and play state back before the failure is reported.

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

#include "platform/deck_player.h"
#include "songlist/song_list.h"

namespace korvex::songlist {

// The main window's one file dialog state, carried over between its open and save dialogs.
struct DialogState {
    // Folder the next dialog opens in; "" until a dialog first needs one.
    QString initialFolder;
    // In: the name proposed to the operator ("" for none). Out: the chosen absolute path ("/" separators).
    QString fileName;
    // Window title, shown as given (trailing blanks included).
    QString title;
    // Description and patterns separated by "|", e.g. "(*.lis;)|*.lis;" (patterns separated by ";").
    QString filter;
    // Extension added to a typed name that has none; ".*" adds nothing.
    QString defaultExtension;
    // Out: which of the filter's pairs was chosen in a save dialog (0 the first).
    int filterIndex = 0;
};

// What the open dialog for songs gave back.
enum class SongChoice {
    kCancelled,
    kFiles,   // one or more existing files
    kFolder,  // a folder, through the dialog's folder button
};

// The file dialogs as the window system shows them; the window layer implements this with QFileDialog.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // Shows a modal dialog for choosing one existing file, opened in state.initialFolder with
    // state.fileName proposed. True when a file was chosen: state.fileName is then its absolute path.
    // False when cancelled, with state.fileName left as it was. Changes nothing else in `state`.
    virtual bool showOpen(DialogState& state) = 0;
    // The same for choosing a file name to save to (the file need not exist).
    virtual bool showSave(DialogState& state) = 0;
    // The open dialog for songs: one or more existing files, or a folder (its folder button). `chosen` gets
    // the absolute paths in the order chosen (the folder alone); state.fileName the first of them. Changes
    // nothing when cancelled. A dialog without several files or a folder button asks for one file.
    virtual SongChoice showOpenSongs(DialogState& state, QStringList& chosen) {
        if (!showOpen(state)) return SongChoice::kCancelled;
        chosen = QStringList{state.fileName};
        return SongChoice::kFiles;
    }
};

// What the deck side does when the adder has loaded a song, and the operator's message boxes. The deck
// model implements this; the adder has already written the song list and the deck's player when a
// method is called.
class DeckLoadTarget {
public:
    virtual ~DeckLoadTarget() = default;
    // A song chosen in the open dialog is now open in the deck's player and is the deck's list's last
    // entry, selected in all seven columns, with default memories. In this order: `lbfilename` emptied;
    // `text2` = title; the deck's `title` = title; `Totaltime` emptied; `trimlinedraw`(deck) from the new
    // entry's volume memory; the deck's pitch knob indicator to its centre (top 2400) and
    // `pitchset`(deck); `freshload` = true; the CUE button shows "cue1.bmp".
    virtual void songAdded(int deck, const QString& title) = 0;
    // A drop ended by opening the deck's current entry in the deck's player: `lbfilename` emptied and
    // `text2` = title (the entry's title). Nothing else: pitch, trim, memories and flags stay as they are.
    virtual void dropLoaded(int deck, const QString& title) = 0;
    // A message box with an OK button and no title of its own. A file that cannot be added says
    // "ファイルが読み込めません。", the file's path on the next line and why, with what to do, after it.
    virtual void showMessage(const QString& text) = 0;
    // True when a drop's load onto `deck` is to be refused to keep its song playing (the songs are added
    // all the same); the target shows the refusal.
    virtual bool keepsLiveDeck(int /*deck*/) { return false; }
};

// The text up to and including the last "/" of `path`; "" when there is none.
QString dirOf(const QString& path);
// The folder the first file dialog opens in: the user's music folder when it exists, else the home folder.
QString defaultDialogFolder();

class SongAdder {
public:
    // `lists` and `players` are deck A's and deck B's. `newtrim` is the live setting, read at each append.
    // Everything referred to must outlive the adder.
    SongAdder(std::array<SongList*, 2> lists, std::array<DeckPlayer*, 2> players, DialogState& dialog,
              FileDialogs& dialogs, DeckLoadTarget& target, const int& newtrim);

    // Asks for music files and appends each one the deck's player opens to `deck`'s list, in the order
    // chosen; the last one added stays loaded in the deck. A folder chosen with the dialog's folder button is
    // added as a drop of it is. Cancelling changes nothing.
    void addsongs(int deck);
    // Files and folders dropped on `deck`'s title list: absolute local paths with "/" separators in the
    // order delivered; `shift` is whether Shift was held at the drop. Songs are appended in that order
    // (folder songs alternate between the decks with Shift) and the last one added is loaded.
    void drop(int deck, const QStringList& paths, bool shift);
    // Music files handed over from outside while the player runs (a file manager's "open with"), as
    // absolute paths: each is opened in `deck`'s player and appended as the open dialog does with the file
    // chosen there, so the last one that opens stays loaded. The files the player refuses are named
    // together in one message once the others are in. While "演奏中のデッキを保護" keeps the deck's song
    // playing, the files are appended without being opened, as a drop's are.
    void openFiles(int deck, const QStringList& paths);

    // The folder (with a trailing "/") of the last file chosen in the open dialog; "" until then.
    const QString& musicFolder() const { return musicFolder_; }

private:
    // Gives `path` to the deck's player. False, with the previous file restored and the player's reason
    // in `why`, when it cannot be opened.
    bool openInPlayer(int deck, const QString& path, QString& why);
    // The songs of one folder in the order they are added, or nothing when it cannot be listed.
    static std::optional<QStringList> folderSongs(const QString& folder);

    std::array<SongList*, 2> lists_;
    std::array<DeckPlayer*, 2> players_;
    DialogState& dialog_;
    FileDialogs& dialogs_;
    DeckLoadTarget& target_;
    const int& newtrim_;
    QString musicFolder_;
};

}  // namespace korvex::songlist
