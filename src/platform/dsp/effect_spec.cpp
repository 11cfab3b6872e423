#include "platform/dsp/effect_spec.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <variant>
#include <vector>

#include "platform/dsp/effect_info.h"

namespace korvex::dsp {

namespace {

// One settable field: its name in the text form and where it lives in the record.
template <typename Record>
struct Field {
    std::string_view name;
    float Record::*real = nullptr;
    int Record::*whole = nullptr;
};

template <typename Record>
using Fields = std::vector<Field<Record>>;

Fields<EchoParams> fields(const EchoParams*) {
    return {{"wetdrymix", &EchoParams::fWetDryMix},
            {"feedback", &EchoParams::fFeedback},
            {"leftdelay", &EchoParams::fLeftDelay},
            {"rightdelay", &EchoParams::fRightDelay},
            {"pandelay", nullptr, &EchoParams::lPanDelay}};
}

template <typename Record>  // chorus and flanger share their field names
Fields<Record> modulationFields() {
    return {{"wetdrymix", &Record::fWetDryMix},        {"depth", &Record::fDepth},
            {"feedback", &Record::fFeedback},          {"frequency", &Record::fFrequency},
            {"waveform", nullptr, &Record::lWaveform}, {"delay", &Record::fDelay},
            {"phase", nullptr, &Record::lPhase}};
}
Fields<ChorusParams> fields(const ChorusParams*) {
    return modulationFields<ChorusParams>();
}
Fields<FlangerParams> fields(const FlangerParams*) {
    return modulationFields<FlangerParams>();
}

Fields<DistortionParams> fields(const DistortionParams*) {
    return {{"gain", &DistortionParams::fGain},
            {"edge", &DistortionParams::fEdge},
            {"posteqcenterfrequency", &DistortionParams::fPostEQCenterFrequency},
            {"posteqbandwidth", &DistortionParams::fPostEQBandwidth},
            {"prelowpasscutoff", &DistortionParams::fPreLowpassCutoff}};
}

Fields<CompressorParams> fields(const CompressorParams*) {
    return {{"gain", &CompressorParams::fGain},       {"attack", &CompressorParams::fAttack},
            {"release", &CompressorParams::fRelease}, {"threshold", &CompressorParams::fThreshold},
            {"ratio", &CompressorParams::fRatio},     {"predelay", &CompressorParams::fPredelay}};
}

Fields<ParamEqParams> fields(const ParamEqParams*) {
    return {{"center", &ParamEqParams::fCenter},
            {"bandwidth", &ParamEqParams::fBandwidth},
            {"gain", &ParamEqParams::fGain}};
}

Fields<GargleParams> fields(const GargleParams*) {
    return {{"ratehz", nullptr, &GargleParams::dwRateHz}, {"waveshape", nullptr, &GargleParams::dwWaveShape}};
}

bool number(std::string_view text, double& value) {
    const std::string copy(text);
    char* end = nullptr;
    errno = 0;
    value = std::strtod(copy.c_str(), &end);
    return !copy.empty() && end == copy.c_str() + copy.size() && errno == 0 && std::isfinite(value);
}

// Sets one field of `record`; false with the reason in `error`.
template <typename Record>
bool assign(Record& record, std::string_view name, std::string_view text, std::string& error) {
    for (const Field<Record>& field : fields(static_cast<const Record*>(nullptr))) {
        if (field.name != name) continue;
        double value = 0.0;
        if (!number(text, value)) {
            error = "not a number for " + std::string(name) + ": " + std::string(text);
            return false;
        }
        if (field.real != nullptr) {
            record.*field.real = static_cast<float>(value);
        } else {
            if (value != std::floor(value) || std::abs(value) > 1e9) {
                error = "not a whole number for " + std::string(name) + ": " + std::string(text);
                return false;
            }
            record.*field.whole = static_cast<int>(value);
        }
        return true;
    }
    error = "no field " + std::string(name) + " in " + std::string(effectName(kindOf(Record{})));
    return false;
}

}  // namespace

bool parseEffectSpec(std::string_view original, EffectSpec& effect, std::string& error) {
    // Names compare in lower case, as the effect lists compare them.
    std::string lower(original);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::string_view text = lower;
    const std::size_t colon = text.find(':');
    const std::string_view name = text.substr(0, colon);
    const auto kind = effectKindFromName(name);
    if (!kind) {
        error = "unknown effect \"" + std::string(name) +
                "\" (echo, chorus, flanger, distortion, compressor, parameq, gargle)";
        return false;
    }
    EffectParams params = defaultParams(*kind);
    if (colon != std::string_view::npos) {
        std::string_view rest = text.substr(colon + 1);
        while (true) {
            const std::size_t comma = rest.find(',');
            const std::string_view item = rest.substr(0, comma);
            const std::size_t equals = item.find('=');
            if (equals == std::string_view::npos) {
                error = "expected FIELD=VALUE in " + std::string(name) + ": \"" + std::string(item) + "\"";
                return false;
            }
            const bool ok = std::visit(
                [&](auto& record) {
                    return assign(record, item.substr(0, equals), item.substr(equals + 1), error);
                },
                params);
            if (!ok) return false;
            // The defaults are in range, so the field just set is the one at fault.
            if (!isValid(params)) {
                error = std::string(item.substr(0, equals)) + " out of range in " + std::string(name) + ": " +
                        std::string(item.substr(equals + 1));
                return false;
            }
            if (comma == std::string_view::npos) break;
            rest = rest.substr(comma + 1);
        }
    }
    effect.kind = *kind;
    effect.params = params;
    return true;
}

}  // namespace korvex::dsp
