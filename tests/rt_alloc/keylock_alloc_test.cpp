// The render path allocates nothing while keylock plays, switches, seeks and follows the pitch knob, nor
// while a beat loop jumps back at its seams, with keylock or without.
// malloc, posix_memalign (Rubber Band's buffers) and free are replaced in this program (its own executable,
// never built with the sanitizers, which replace them too) by counters in front of glibc's own.

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>

#include "support/engine_rig.h"
#include "support/signals.h"

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* ptr);
}

namespace {
thread_local bool tCounting = false;
std::atomic<int> gAllocations{0};

void count() {
    if (tCounting) gAllocations.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

extern "C" {
void* malloc(std::size_t size) {
    count();
    return __libc_malloc(size);
}
int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
    count();
    *out = __libc_memalign(alignment, size);
    return *out != nullptr ? 0 : 12;  // ENOMEM
}
void free(void* ptr) {
    __libc_free(ptr);
}
}

namespace korvex::test {
namespace {

TEST(KeylockAllocation, TheRenderPathAllocatesNothing) {
    const std::string dir = tempDir();
    writeWav16(dir + "/tone.wav", sine(440.0, 6.0));
    EngineRig rig;
    rig.load(dir + "/tone.wav");
    rig.player.setRate(1.07);
    rig.player.play();
    std::vector<float> block(512 * 2);
    auto render = [&](int blocks) {
        tCounting = true;
        for (int i = 0; i < blocks; ++i) rig.engine.render_rt(block.data(), 512);
        tCounting = false;
    };
    render(20);
    ASSERT_EQ(gAllocations.load(), 0) << "the counter sees nothing without keylock";
    for (int round = 0; round < 4; ++round) {
        rig.player.setKeylock(true);
        render(20);
        for (const double rate : {1.08, 0.92, 1.5, 0.6, 1.07}) {
            rig.player.setRate(rate);
            render(4);
        }
        rig.player.setCurrentPosition(1.0 + round);
        render(3);
        rig.player.setCurrentPosition(0.5);
        render(3);
        rig.player.setKeylock(false);
        render(5);
    }
    EXPECT_EQ(gAllocations.load(), 0);
    // A short loop: a seam every 16 blocks or so, each a crossfade (on the second stretcher with keylock).
    rig.player.setCurrentPosition(0.5);
    rig.player.setLoop(0.5, 0.7);
    for (const bool keylock : {false, true}) {
        rig.player.setKeylock(keylock);
        render(40);
        EXPECT_LT(rig.player.currentPosition(), 0.75);
    }
    EXPECT_EQ(gAllocations.load(), 0);
    // The counter works: an allocation on this thread is seen.
    const int before = gAllocations.load();
    tCounting = true;
    void* volatile p = malloc(16);
    tCounting = false;
    free(p);
    EXPECT_EQ(gAllocations.load(), before + 1);
}

}  // namespace
}  // namespace korvex::test
