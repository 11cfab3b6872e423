#pragma once
// RealtimeKit: the desktop's broker for real-time scheduling, asked over the system D-Bus when the process
// may not raise its own threads (an ordinary user without an rtprio limit).

#include <sys/types.h>

#include <string>

namespace korvex::os {

// Asks RealtimeKit to run thread `tid` of this process with SCHED_RR at `priority`. Blocks for at most two
// seconds (never on the audio thread). False with a reason in `why` when there is no broker or it refuses.
// Limits the process's real-time CPU time without a pause to 200 ms first, as RealtimeKit requires.
bool makeThreadRealtimeThroughKit(pid_t tid, int priority, std::string& why);

}  // namespace korvex::os
