#pragma once
// PortAudio's set-up calls (initialise, device queries, opening and closing streams, terminate) must not run
// on two threads at once, and the output's and the capture's supervisors both make them when the sound
// server comes and goes. Each takes this lock around them (it is recursive: a failed open closes itself).
// Never taken on an audio callback.

#include <mutex>

namespace korvex::audio {

inline std::recursive_mutex& portAudioLock() {
    static std::recursive_mutex lock;
    return lock;
}

}  // namespace korvex::audio
