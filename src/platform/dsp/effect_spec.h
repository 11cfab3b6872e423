#pragma once
// The text form of one effect with its settings, as korvex-render's --fx option takes it:
//
//   NAME[:FIELD=VALUE,...]
//
// NAME as in the effect lists (echo, chorus, flanger, distortion, compressor, parameq, gargle); FIELD the
// record's field name without its type prefix (wetdrymix, leftdelay, ratehz ...), both compared in lower
// case. Fields not given keep their defaults.

#include <string>
#include <string_view>

#include "platform/dsp/effect_params.h"

namespace korvex::dsp {

struct EffectSpec {
    EffectKind kind = EffectKind::Echo;
    EffectParams params;
};

// Reads `text` into `effect`. False with a one-line reason in `error` for an unknown name or field, a value
// that is not a number (or not a whole number for the integer fields), or a record out of range.
bool parseEffectSpec(std::string_view text, EffectSpec& effect, std::string& error);

}  // namespace korvex::dsp
