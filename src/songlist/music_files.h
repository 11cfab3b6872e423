#pragma once
// The kinds of music file the decks take, in one list: the command line, drops, folder scans, the open
// dialog's filter and the desktop entry's MIME types all read it, so they cannot disagree.
//
// A name is taken by its ending alone, without regard to case ("SONG.MP3" as "song.mp3"); whether the file
// really is music is the player's business when it opens it.

#include <QString>
#include <QStringList>
#include <span>

namespace korvex::songlist {

// One kind of music file: its ending and the MIME types a desktop gives such files.
struct MusicKind {
    const char* ending;               // ".flac"
    std::span<const char* const> mimeTypes;
};

// Every kind, in the order a folder's songs are added (mp3, wav, mid, wmd, wma, mpg, then the others).
std::span<const MusicKind> musicKinds();
// True when `name` ends in one of the endings, in any case.
bool hasMusicEnding(const QString& name);
// The open dialog's filter: "(*.mp3;*.wav;...)|*.mp3;*.wav;..." in list order.
QString musicFilter();
// The MIME types of all kinds, each once, in list order (the desktop entry's MimeType line).
QStringList musicMimeTypes();

}  // namespace korvex::songlist
