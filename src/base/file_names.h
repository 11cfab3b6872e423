#pragma once
// File names as the program holds them: a file's name is the bytes the file system has, whatever they are.
//
// Why it is shaped this way: the models keep names as QString, but a Linux name is any run of bytes, and
// one written on an older Japanese system is Shift-JIS. Qt's own conversions (QFile::encodeName, a URL's
// toLocalFile(), a folder listing) turn bytes that are not UTF-8 into U+FFFD, and the name then names no
// file. Here every name is read from its bytes with fileNameFromBytes(), which keeps UTF-8 as its characters
// and each other byte as one lone low surrogate (U+DC80..U+DCFF, which no valid text holds), and every open
// goes through fileNameBytes(), which gives those bytes back exactly. For a name that is UTF-8 both are the
// plain UTF-8 conversions, so nothing changes for ordinary names. What the operator reads is
// readableFileName(); the line files store such a name as a file URL (fileNameLine()), so they stay UTF-8.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>
#include <string>

class QUrl;

namespace korvex::base {

// The name whose bytes are `bytes`: UTF-8 as its characters, any other byte kept as U+DC00 + byte.
QString fileNameFromBytes(QByteArrayView bytes);
// The bytes of `name` for opening it: the inverse of fileNameFromBytes(); UTF-8 for every other text.
QByteArray fileNameBytes(QStringView name);
// fileNameBytes() as the engine takes a name.
std::string fileNameString(QStringView name);
// True when `name` holds bytes that are not UTF-8.
bool hasRawBytes(QStringView name);

// `name` as the operator reads it: each part between "/" that holds bytes that are not UTF-8 is read as
// Shift-JIS (CP932); what is neither shows as U+FFFD. Other names are returned as they are.
QString readableFileName(const QString& name);
// The part of `path` after its last "/", readable (the song title a name gives).
QString readableTitleOf(const QString& path);

// The local file a dropped URL names, byte for byte; empty when it is not a local file.
QString localFileOf(const QUrl& url);
// `name` made absolute against the current folder and cleaned of "." and "..", bytes kept.
QString absoluteFileName(const QString& name);

// `name` as one line of a list or settings file: unchanged, or, when it holds bytes that are not UTF-8
// (or begins with "file://" itself), as a "file://" URL with its bytes percent-encoded, so the file stays
// UTF-8.
QString fileNameLine(const QString& name);
// The name a line of a list or settings file holds (the inverse of fileNameLine()).
QString fileNameOfLine(const QString& line);

// True when `name` is a folder (links followed).
bool isFolder(const QString& name);
// True when `name` is an ordinary file (links followed).
bool isPlainFile(const QString& name);
// The names of the ordinary files in `folder` (links followed; not those beginning with "."), in the
// order the file system lists them; nothing when the folder cannot be listed.
std::optional<QStringList> filesInFolder(const QString& folder);

}  // namespace korvex::base
