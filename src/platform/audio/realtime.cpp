#include "platform/audio/realtime.h"

#include <cstdio>
#include <cstdlib>

namespace korvex::audio {

namespace {
thread_local bool t_realtime = false;
}

bool isRealtimeThread() { return t_realtime; }

void assertNotRealtime() {
#ifndef NDEBUG
    if (t_realtime) {
        std::fputs("korvex: a blocking call was made on the audio thread\n", stderr);
        std::abort();
    }
#endif
}

RealtimeScope::RealtimeScope() : previous_(t_realtime) { t_realtime = true; }
RealtimeScope::~RealtimeScope() { t_realtime = previous_; }

}  // namespace korvex::audio
