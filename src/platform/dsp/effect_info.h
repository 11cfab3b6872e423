#pragma once
// What the rest of the program asks about an effect record: its kind, its defaults, its name in the effect
// lists, and whether every field lies in its published range.

#include <optional>
#include <string>
#include <string_view>

#include "platform/dsp/effect_params.h"

namespace korvex::dsp {

// The kind a record belongs to.
EffectKind kindOf(const EffectParams& params);

// The published defaults of `kind`.
EffectParams defaultParams(EffectKind kind);

// True when every field lies in its published range (the integer fields exactly one of their values).
// A record that fails is refused whole, as the component refuses it.
bool isValid(const EffectParams& params);

// The effect's name as the effect lists compare it: "echo", "chorus", "flanger", "distortion",
// "compressor", "parameq", "gargle".
std::string_view effectName(EffectKind kind);

// The kind named `name` (lower case, as effectName gives it); empty for any other text.
std::optional<EffectKind> effectKindFromName(std::string_view name);

}  // namespace korvex::dsp
