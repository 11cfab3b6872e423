#pragma once
// Marks the thread that renders audio, so code that must never run there can say so.
//
// The render path may not allocate, lock, log or touch the file system. Functions that only the audio
// thread may call end in `_rt`; functions that must stay off it call assertNotRealtime(), which aborts in
// debug builds when the current thread is rendering.

namespace korvex::audio {

// True while the current thread is inside a render call.
bool isRealtimeThread();

// Aborts (debug builds) when called from the audio thread.
void assertNotRealtime();

// Puts the calling thread below every other thread of the program (decoding: a busy machine takes its
// time from decoding, which runs far ahead of the play head, before it takes it from the interface).
void lowerDecoderPriority();

// Marks the current thread as the audio thread for its lifetime (nestable).
class RealtimeScope {
public:
    RealtimeScope();
    ~RealtimeScope();
    RealtimeScope(const RealtimeScope&) = delete;
    RealtimeScope& operator=(const RealtimeScope&) = delete;

private:
    bool previous_;
};

}  // namespace korvex::audio
