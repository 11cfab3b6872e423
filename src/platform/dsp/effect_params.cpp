#include <array>
#include <type_traits>
#include <utility>

#include "platform/dsp/effect_info.h"

namespace korvex::dsp {

namespace {

// kindOf() relies on the variant listing its records in the order of the enumeration.
template <EffectKind K, typename T>
constexpr bool kAt = std::is_same_v<std::variant_alternative_t<static_cast<std::size_t>(K), EffectParams>, T>;
static_assert(kAt<EffectKind::Chorus, ChorusParams> && kAt<EffectKind::Compressor, CompressorParams> &&
              kAt<EffectKind::Distortion, DistortionParams> && kAt<EffectKind::Echo, EchoParams> &&
              kAt<EffectKind::Flanger, FlangerParams> && kAt<EffectKind::Gargle, GargleParams> &&
              kAt<EffectKind::ParamEq, ParamEqParams>);

// Closed range test that refuses NaN as well.
bool within(float value, float low, float high) { return value >= low && value <= high; }

bool valid(const EchoParams& p) {
    return within(p.fWetDryMix, 0, 100) && within(p.fFeedback, 0, 100) && within(p.fLeftDelay, 1, 2000) &&
           within(p.fRightDelay, 1, 2000) && (p.lPanDelay == 0 || p.lPanDelay == 1);
}

bool valid(const ChorusParams& p) {
    return within(p.fWetDryMix, 0, 100) && within(p.fDepth, 0, 100) && within(p.fFeedback, -99, 99) &&
           within(p.fFrequency, 0, 10) && (p.lWaveform == 0 || p.lWaveform == 1) && within(p.fDelay, 0, 20) &&
           p.lPhase >= 0 && p.lPhase <= 4;
}

bool valid(const FlangerParams& p) {
    return within(p.fWetDryMix, 0, 100) && within(p.fDepth, 0, 100) && within(p.fFeedback, -99, 99) &&
           within(p.fFrequency, 0, 10) && (p.lWaveform == 0 || p.lWaveform == 1) && within(p.fDelay, 0, 4) &&
           p.lPhase >= 0 && p.lPhase <= 4;
}

bool valid(const DistortionParams& p) {
    return within(p.fGain, -60, 0) && within(p.fEdge, 0, 100) && within(p.fPostEQCenterFrequency, 100, 8000) &&
           within(p.fPostEQBandwidth, 100, 8000) && within(p.fPreLowpassCutoff, 100, 8000);
}

bool valid(const CompressorParams& p) {
    return within(p.fGain, -60, 60) && within(p.fAttack, 0.01f, 500) && within(p.fRelease, 50, 3000) &&
           within(p.fThreshold, -60, 0) && within(p.fRatio, 1, 100) && within(p.fPredelay, 0, 4);
}

bool valid(const ParamEqParams& p) {
    return within(p.fCenter, 80, 16000) && within(p.fBandwidth, 1, 36) && within(p.fGain, -15, 15);
}

bool valid(const GargleParams& p) {
    return p.dwRateHz >= 1 && p.dwRateHz <= 1000 && (p.dwWaveShape == 0 || p.dwWaveShape == 1);
}

constexpr std::array<std::pair<EffectKind, std::string_view>, kEffectKinds> kNames{{
    {EffectKind::Echo, "echo"},
    {EffectKind::Chorus, "chorus"},
    {EffectKind::Flanger, "flanger"},
    {EffectKind::Distortion, "distortion"},
    {EffectKind::Compressor, "compressor"},
    {EffectKind::ParamEq, "parameq"},
    {EffectKind::Gargle, "gargle"},
}};

}  // namespace

EffectKind kindOf(const EffectParams& params) {
    return static_cast<EffectKind>(params.index());
}

EffectParams defaultParams(EffectKind kind) {
    switch (kind) {
        case EffectKind::Chorus: return ChorusParams{};
        case EffectKind::Compressor: return CompressorParams{};
        case EffectKind::Distortion: return DistortionParams{};
        case EffectKind::Echo: return EchoParams{};
        case EffectKind::Flanger: return FlangerParams{};
        case EffectKind::Gargle: return GargleParams{};
        case EffectKind::ParamEq: return ParamEqParams{};
    }
    return EchoParams{};
}

bool isValid(const EffectParams& params) {
    return std::visit([](const auto& p) { return valid(p); }, params);
}

std::string_view effectName(EffectKind kind) {
    for (const auto& [k, name] : kNames)
        if (k == kind) return name;
    return {};
}

std::optional<EffectKind> effectKindFromName(std::string_view name) {
    for (const auto& [k, n] : kNames)
        if (n == name) return k;
    return std::nullopt;
}

}  // namespace korvex::dsp
