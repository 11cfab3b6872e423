#pragma once
// Song list files (".lis"): both decks' lists with all their memories, saved and loaded from the File menu,
// and the clear command beside them.
//
// Why it is shaped this way: the same two deck blocks head the settings file, so the block writer
// (`save1`) and the block reader work on lines (text_lines.h) and know nothing of files; the settings file
// calls them in its own sequence. The menu commands live in SongListFile, which reaches the file dialog
// and the message boxes only through interfaces, so a test drives a whole save or load with fakes and a
// temporary folder.
//
// Guarantees worth knowing: a save replaces the chosen file only when the whole of it is written; a file
// that cannot be read leaves both lists as they were; a broken file keeps every song read in full before
// the fault, and the seven columns of each list always stay the same length.

#include <QString>
#include <QStringList>
#include <array>

#include "base/message_boxes.h"
#include "songlist/song_adder.h"
#include "songlist/song_list.h"
#include "base/text_lines.h"

namespace korvex::songlist {

// Writes one deck block to `out`: the entry count, then each column's entries, column by column. A line
// break inside a text is written as U+FFFD, since it would shift every line after it.
void save1(const SongList& list, QStringList& out);

// How reading a deck block ended.
enum class BlockRead {
    Complete,    // the count and all its lines were read
    BadCount,    // the count line was not a whole number from -32768 to 32767; nothing was added
    EndedEarly,  // the lines ran out; only the songs whose seven lines were all read were added
};

// Reads one deck block from `in` and appends its songs to `list`, leaving the selection alone. A count of
// 0 or less reads no further lines. Songs that would not fit the list are dropped.
BlockRead readDeckBlock(base::LineSource& in, SongList& list);

// The File menu's song list items: (name, caption), in menu order.
struct MenuEntry {
    QString name;
    QString caption;
};
const std::array<MenuEntry, 3>& songListMenu();

class SongListFile {
public:
    // `lists` are deck A's and deck B's; `dialog` is the main window's shared dialog state. Everything
    // referred to must outlive this.
    SongListFile(std::array<SongList*, 2> lists, DialogState& dialog, FileDialogs& dialogs,
                 base::MessageBoxes& messages);

    // `songlist0`: asks for a name and writes both lists to it. Both lists must hold a song.
    void save();
    // `songlistload`: asks for a file and replaces both lists with its contents.
    void load();
    // `songclear`: clears both lists after the operator agrees.
    void clear();
    // `soat5`: empties both lists.
    void soat5();

    // The folder (with a trailing "/") of the last list file loaded; "" until then.
    const QString& listFolder() const { return listFolder_; }

private:
    std::array<SongList*, 2> lists_;
    DialogState& dialog_;
    FileDialogs& dialogs_;
    base::MessageBoxes& messages_;
    QString listFolder_;
};

}  // namespace korvex::songlist
