#pragma once
// The seven standard effects' parameter records, with the published fields, units, ranges and defaults.
// Field names keep their published spelling (type prefix included), so a record reads like the
// documentation of the effect it belongs to.

#include <variant>

namespace korvex::dsp {

enum class EffectKind : int { Chorus, Compressor, Distortion, Echo, Flanger, Gargle, ParamEq };
inline constexpr int kEffectKinds = 7;

struct EchoParams {
    float fWetDryMix = 50.0f;    // 0 .. 100 %
    float fFeedback = 50.0f;     // 0 .. 100 %
    float fLeftDelay = 500.0f;   // 1 .. 2000 ms
    float fRightDelay = 500.0f;  // 1 .. 2000 ms
    int lPanDelay = 0;           // 0 / 1: the delays swap sides on each repeat
};

struct ChorusParams {
    float fWetDryMix = 50.0f;  // 0 .. 100 %
    float fDepth = 10.0f;      // 0 .. 100 %
    float fFeedback = 25.0f;   // -99 .. 99 %
    float fFrequency = 1.1f;   // 0 .. 10 Hz
    int lWaveform = 1;         // 0 triangle, 1 sine
    float fDelay = 16.0f;      // 0 .. 20 ms
    int lPhase = 3;            // 0 .. 4 = -180, -90, 0, 90, 180 degrees between the channels' LFOs
};

struct FlangerParams {
    float fWetDryMix = 50.0f;  // 0 .. 100 %
    float fDepth = 100.0f;     // 0 .. 100 %
    float fFeedback = -50.0f;  // -99 .. 99 %
    float fFrequency = 0.25f;  // 0 .. 10 Hz
    int lWaveform = 1;         // 0 triangle, 1 sine
    float fDelay = 2.0f;       // 0 .. 4 ms
    int lPhase = 2;            // 0 .. 4 as for the chorus
};

struct DistortionParams {
    float fGain = -18.0f;                   // -60 .. 0 dB
    float fEdge = 15.0f;                    // 0 .. 100 %
    float fPostEQCenterFrequency = 2400.0f; // 100 .. 8000 Hz
    float fPostEQBandwidth = 2400.0f;       // 100 .. 8000 Hz
    float fPreLowpassCutoff = 8000.0f;      // 100 .. 8000 Hz
};

struct CompressorParams {
    float fGain = 0.0f;         // -60 .. 60 dB
    float fAttack = 10.0f;      // 0.01 .. 500 ms
    float fRelease = 200.0f;    // 50 .. 3000 ms
    float fThreshold = -20.0f;  // -60 .. 0 dB
    float fRatio = 3.0f;        // 1 .. 100
    float fPredelay = 4.0f;     // 0 .. 4 ms
};

struct ParamEqParams {
    float fCenter = 8000.0f;    // 80 .. 16000 Hz
    float fBandwidth = 12.0f;   // 1 .. 36 semitones
    float fGain = 0.0f;         // -15 .. 15 dB
};

struct GargleParams {
    int dwRateHz = 20;    // 1 .. 1000 Hz
    int dwWaveShape = 0;  // 0 triangle, 1 square
};

// One record of any of the seven; the alternative tells the effect.
using EffectParams = std::variant<ChorusParams, CompressorParams, DistortionParams, EchoParams, FlangerParams,
                                  GargleParams, ParamEqParams>;

}  // namespace korvex::dsp
