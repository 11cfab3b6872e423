#pragma once
// What the sampler asks of its sound buffers: a device that makes buffers from wave files, and buffers
// with volume, frequency, pan, status, play once or looping, a 3D interface and an effect chain.
// SoundEngineDevice (sound_buffer.h) is the engine's implementation; tests may substitute their own.
//
// Units: volume in hundredths of a dB (-10000 .. 0), frequency in Hz (100 .. 100000, the playback rate is
// frequency / the file's own rate), pan -10000 .. 10000 (as a deck's balance). Everything here is called
// on the UI thread; a call takes effect in the first block the engine renders after it.

#include <memory>
#include <string>
#include <vector>

#include "platform/dsp/effect_params.h"

namespace korvex {

// Capability flags of a new buffer.
enum SoundCaps : unsigned {
    kCtrlVolume = 1u << 0,
    kCtrlFrequency = 1u << 1,
    kCtrlPan = 1u << 2,
    kCtrl3D = 1u << 3,
    kCtrlFx = 1u << 4,
};

// Why a call failed.
enum class SoundError {
    None,
    InvalidArgument,     // a capability the file cannot have (3D on a file that is not mono, 3D with pan)
    BufferTooSmall,      // effects asked for on less than 150 ms of audio
    InvalidCall,         // not now (an effect chain set while the buffer plays)
    ControlUnavailable,  // the buffer was made without that capability
    Other,               // unreadable or missing file, out-of-range value, anything else
};

// Result codes of SetFX, one per effect.
enum FxResult : int { kFxPresent = 0, kFxHardware = 1, kFxSoftware = 2, kFxUnallocated = 3, kFxFailed = 4, kFxUnknown = 5 };

// The 3D interface of a buffer made with kCtrl3D. Listener at the origin facing +z, +x to the right.
class SoundBuffer3D {
public:
    virtual ~SoundBuffer3D() = default;
    virtual void setConeAngles(int insideDegrees, int outsideDegrees) = 0;
    virtual void setConeOutsideVolume(int hundredthsDb) = 0;
    virtual void setConeOrientation(float x, float y, float z) = 0;
    virtual void setPosition(float x, float y, float z) = 0;
};

// One effect of a buffer's chain (GetObjectInPath): its parameter record, read and written whole.
class SoundEffect {
public:
    virtual ~SoundEffect() = default;
    virtual dsp::EffectKind kind() const = 0;
    virtual dsp::EffectParams allParameters() const = 0;
    // False, and the record stays as it was, when a field is out of range or the record is of another kind.
    virtual bool setAllParameters(const dsp::EffectParams& params) = 0;
};

class SoundBuffer {
public:
    static constexpr int kStatusPlaying = 1;
    static constexpr int kStatusLooping = 4;
    static constexpr int kPlayOnce = 0;
    static constexpr int kPlayLooping = 1;

    virtual ~SoundBuffer() = default;  // releases the buffer (the engine stops reading it first)

    virtual unsigned caps() const = 0;
    // Bit kStatusPlaying while it plays, plus kStatusLooping while it plays looping.
    virtual int status() const = 0;
    virtual void play(int flags) = 0;
    virtual void stop() = 0;
    // In bytes of the buffer's audio; the sampler only rewinds to 0.
    virtual void setCurrentPosition(long position) = 0;
    virtual int volume() const = 0;
    virtual SoundError setVolume(int hundredthsDb) = 0;
    virtual int frequency() const = 0;
    virtual SoundError setFrequency(int hertz) = 0;
    virtual int pan() const = 0;
    virtual SoundError setPan(int pan) = 0;
    // SetFX: the chain in order; `results` gets one FxResult per effect. An empty chain removes all effects.
    // InvalidCall while the buffer plays, ControlUnavailable without kCtrlFx; then nothing changes.
    virtual SoundError setFX(const std::vector<dsp::EffectKind>& chain, std::vector<int>* results) = 0;
    // GetObjectInPath: the `index`-th effect of `kind` in the chain; null when there is none.
    virtual SoundEffect* effect(dsp::EffectKind kind, int index) = 0;
    // GetDirectSound3DBuffer: null for a buffer made without kCtrl3D.
    virtual SoundBuffer3D* buffer3D() = 0;
    // Pre-listen: the buffer goes to the headphones as well (after its volume and pan).
    virtual void setPrelisten(bool on) { (void)on; }
};

class SoundDevice {
public:
    virtual ~SoundDevice() = default;
    // CreateSoundBufferFromFile: the whole wave file (any rate and channel count libsndfile reads) in a new
    // buffer with the capabilities `caps`; null and the reason in `error` when it cannot be made.
    virtual std::unique_ptr<SoundBuffer> createSoundBufferFromFile(const std::string& path, unsigned caps,
                                                                   SoundError* error) = 0;
};

}  // namespace korvex
