// The sound thread's scheduling through the real PortAudio -> PulseAudio path: real-time when the process
// may, and a plain word on stderr when it may not.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/platform_support.h"

namespace korvex::test {
namespace {

std::string run(const std::string& command) { return runCommand(command).output; }

TEST(RealtimeOutput, TwoDecksPlayAndARefusalOfRealTimeIsSaidOnce) {
    if (::geteuid() != 0 || std::system("command -v setpriv > /dev/null") != 0)
        GTEST_SKIP() << "needs root and setpriv to take the right to real-time scheduling away";
    const std::string dir = tempDir();
    const std::string tool = KORVEX_PULSE_TOOL;
    if (std::system(("'" + tool + "' start '" + dir + "' > /dev/null").c_str()) != 0)
        GTEST_SKIP() << "no PulseAudio server could be started";
    const std::string env = "PULSE_SERVER='unix:" + dir + "/run/pulse/native' ";
    const std::string song = std::string(KORVEX_TEST_DATA) + "/tone440.mp3";
    const std::string play = std::string("'") + KORVEX_PLAYCHECK_EXE + "' '" + song + "' '" + song + "' 1";
    const std::string refusal =
        "korvex: the sound runs at normal priority (real-time scheduling was refused); a busy machine may "
        "interrupt it\n";

    const std::string allowed = run(env + play);
    const std::string refused = run(env + "setpriv --bounding-set=-sys_nice --inh-caps=-sys_nice " + play);
    std::system(("'" + tool + "' stop '" + dir + "'").c_str());

    EXPECT_NE(allowed.find("underflows=0 output=PortAudio"), std::string::npos) << allowed;
    EXPECT_EQ(allowed.find("normal priority"), std::string::npos) << allowed;
    EXPECT_NE(refused.find("output=PortAudio"), std::string::npos) << refused;
    const auto at = refused.find(refusal);
    EXPECT_NE(at, std::string::npos) << refused;
    EXPECT_EQ(refused.find(refusal, at + 1), std::string::npos) << "said once";
}

}  // namespace
}  // namespace korvex::test
