#include "platform/audio/realtime.h"

#include <sys/resource.h>
#include <unistd.h>

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

void lowerDecoderPriority() {
    // On Linux the nice value is per thread; a failure only leaves the thread where it was.
    constexpr int kDecoderNice = 10;
    (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kDecoderNice);
}

RealtimeScope::RealtimeScope() : previous_(t_realtime) { t_realtime = true; }
RealtimeScope::~RealtimeScope() { t_realtime = previous_; }

}  // namespace korvex::audio
