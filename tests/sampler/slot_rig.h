#pragma once
// Eight sampler slots on a fake device with three files: a mono kick, a stereo horn and a 100 ms mono click.

#include "sampler/sample_slots.h"
#include "songlist/list_fakes.h"
#include "songlist/songlist_fakes.h"
#include "support/fake_sound_buffer.h"

namespace korvex::sampler::testing {

struct SlotRig {
    SlotRig() {
        auto fake = std::make_unique<test::FakeSoundDevice>();
        device = fake.get();
        device->files["/s/kick.wav"] = {1, 800, 44100};
        device->files["/s/horn.wav"] = {2, 2000, 48000};
        device->files["/s/click.wav"] = {1, 100, 44100};
        slots.setDevice(std::move(fake));
        slots.windows.showModeDialog = [this] { ++modeDialogs; };
        slots.windows.showSamplerDialog = [this] { ++samplerDialogs; };
        slots.windows.unloadothers = [this] { ++unloads; };
    }
    test::FakeSoundBuffer* buffer(int slot) {
        return static_cast<test::FakeSoundBuffer*>(slots.slotbuffer(slot));
    }
    // Loads `path` into `slot` by the open dialog and answers the mode dialog with `mode`.
    void load(int slot, const QString& path, int mode) {
        dialogs.answer = path;
        slots.loadByDialog(slot);
        slots.selectmode(mode);
    }

    std::array<int, kSamplerSlots> modes{};
    std::array<QString, kSamplerSlots> paths{};
    korvex::testing::FakeDeckPlayer deckA, deckB;
    songlist::testing::FakeDialogs dialogs;
    songlist::testing::FakeMessages messages;
    SampleSlots slots{modes, paths, {&deckA, &deckB}, dialogs, messages};
    test::FakeSoundDevice* device = nullptr;
    int modeDialogs = 0, samplerDialogs = 0, unloads = 0;
};

}  // namespace korvex::sampler::testing
