#pragma once
// Level conversions shared by the decks and the sampler: hundredths of a decibel to linear gain.

#include <cmath>

namespace korvex::dsp {

// Volume in hundredths of a dB (0 full, -10000 and below silent) to a linear gain.
inline float volumeToGain(int hundredthsDb) {
    if (hundredthsDb <= -10000) return 0.0f;
    if (hundredthsDb >= 0) return 1.0f;
    return static_cast<float>(std::pow(10.0, hundredthsDb / 2000.0));
}

// Balance -10000 .. 10000 to per-channel gains: positive attenuates the left channel by balance/100 dB,
// negative the right channel; the other channel stays at full level.
struct ChannelGains {
    float left = 1.0f;
    float right = 1.0f;
};

inline ChannelGains balanceToGains(int balance) {
    if (balance > 0) return {volumeToGain(-balance), 1.0f};
    if (balance < 0) return {1.0f, volumeToGain(balance)};
    return {};
}

}  // namespace korvex::dsp
