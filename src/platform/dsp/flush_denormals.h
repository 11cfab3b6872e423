#pragma once
// Feedback paths and recursive filters decay into denormal numbers, which some processors handle a hundred
// times slower: FlushDenormals flushes them to zero for as long as it lives and gives the thread its own
// mode back afterwards.

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace korvex::dsp {

class FlushDenormals {
public:
#if defined(__SSE__)
    FlushDenormals() : saved_(_mm_getcsr()) {
        _mm_setcsr(saved_ | 0x8040u);
    }
    ~FlushDenormals() {
        _mm_setcsr(saved_);
    }
    FlushDenormals(const FlushDenormals&) = delete;
    FlushDenormals& operator=(const FlushDenormals&) = delete;

private:
    unsigned saved_;
#endif
};

}  // namespace korvex::dsp
