#pragma once
// Opening a file the user named (a song, a sampler sound, the settings, a list, a skin's pictures and
// font.txt) only when it is an ordinary file.
//
// Why it is shaped this way: a FIFO blocks an open for reading until someone writes to it, a terminal or
// some devices block the first read, and a device may never end; any of them in the main thread hangs the
// program beyond what a signal can end. The file is opened without blocking and checked on the open
// descriptor itself, so a pipe put in place of the file between a check and the open is still refused; the
// descriptor is then switched back to blocking reads for the library that reads it. Plain POSIX, no Qt, so
// the engine and the models share it.

#include <string>

namespace korvex::os {

// The reason given for a pipe, a device or a socket.
inline constexpr const char* kNotOrdinaryFile = "not an ordinary file (a pipe, device or socket)";

// What an errno from opening or reading a file means, in words.
std::string fileProblem(int errnoValue);

// Opens `path` read-only (close-on-exec) when it is an ordinary file (links followed) and returns the
// descriptor, which the caller closes. Returns -1 with the reason in `error` for a missing or unreadable
// file, a folder, a pipe, a device or a socket; such a file is never waited on.
int openOrdinaryFile(const std::string& path, std::string& error);

// Whether `path` is an ordinary file that can be opened for reading, found as openOrdinaryFile() finds it
// (the file is opened and closed again). For libraries that open a file by its name.
bool isOrdinaryFile(const std::string& path, std::string& error);

}  // namespace korvex::os
