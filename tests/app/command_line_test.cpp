// Reading the player's command line: what is refused and what goes on to the player (--help, --version and
// an unknown option are checked through the real executables).

#include <gtest/gtest.h>

#include "app/command_line.h"

namespace korvex::app {
namespace {

using Action = CommandLine::Action;
using Args = std::vector<std::string>;

TEST(CommandLineReading, AnOptionThePlayerDoesNotKnowIsNamed) {
    for (const Args& args : {Args{"--frobnicate"}, Args{"song.mp3", "-x"}, Args{"--audio-outputs=null"},
                             Args{"--help-me"}, Args{"--record-source"}, Args{"-platform"}}) {
        const CommandLine line = readCommandLine(args);
        EXPECT_EQ(line.action, Action::kError) << args.back();
        EXPECT_NE(line.error.find(args.back()), std::string::npos) << line.error;
    }
}

// Qt's options and their values are QApplication's; "--" makes everything after it a file.
TEST(CommandLineReading, ThePlayerGetsItsOwnOptionsAndTheFiles) {
    const CommandLine line =
        readCommandLine({"--audio-output=null", "-platform", "offscreen", "a.mp3", "-reverse", "--style",
                         "fusion", "--record-source=input", "-", "--", "--b.mp3"});
    EXPECT_EQ(line.action, Action::kRun);
    EXPECT_EQ(line.player, (Args{"--audio-output=null", "a.mp3", "--record-source=input", "-", "./--b.mp3"}));
}

}  // namespace
}  // namespace korvex::app
