#pragma once
// Starting the desktop's volume mixer from the configuration dialog's button.
//
// Why it is shaped this way: the program only starts the mixer and never waits for it or hears from it
// again, so the start is a detached process (it outlives Korvex and leaves no zombie behind), and a mixer
// that is not installed or cannot start is simply not started. Plain POSIX, no Qt, so that the models can
// call it and a test can point PATH at a stand-in.

#include <string>

namespace korvex::os {

// The desktop volume mixer's program name, looked up in PATH.
inline constexpr const char* kVolumeMixerProgram = "pavucontrol";

// The full path of an executable regular file named `program` in the folders of `path` (a PATH value;
// empty entries mean the current folder), or "" when there is none. A name with a "/" is not looked up.
std::string findInPath(const std::string& program, const std::string& path);

// Starts `executable` (a full path) with no arguments, detached from this process, with its standard
// streams on /dev/null. True once the program is running; false when it could not be started.
bool startDetached(const std::string& executable);

// Starts the volume mixer when it is installed (found in this process's PATH). True when it was started;
// callers ignore a false.
bool startVolumeMixer();

}  // namespace korvex::os
