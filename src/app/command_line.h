#pragma once
// The player's command line, read before anything starts: `--help` and `--version` answer and end, an
// option the player does not know ends with its name on stderr (exit status 2), and what remains goes on
// to the player (its own options and the music files) without Qt's options, which QApplication takes.
//
// Why it is shaped this way: `korvex --help` must neither open a window nor the sound card, so the reading
// is plain C++ run before QApplication exists, and it knows every option the player accepts in one table.

#include <string>
#include <vector>

namespace korvex::app {

struct CommandLine {
    enum class Action { kRun, kHelp, kVersion, kError };
    Action action = Action::kRun;
    // kError: the one-line reason, naming the option.
    std::string error;
    // kRun: the player's options ("--audio-output=..." etc.) and the music files, in their order.
    std::vector<std::string> player;
};

// Reads `args` (the arguments without the program's name).
CommandLine readCommandLine(const std::vector<std::string>& args);

// What `korvex --help` prints.
std::string commandLineHelp();

}  // namespace korvex::app
