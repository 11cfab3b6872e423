#include "sampler/slot_effects.h"

namespace korvex::sampler {

namespace {
// Check-box captions by index; index 6 has no box.
constexpr const char* kCaptions[kEffectBoxCount] = {"Echo",       "Chorus",  "Flanger", "Distortion",
                                                    "Compressor", "ParamEQ", "",        "Gargle"};
}  // namespace

QString slotEffectName(const QString& entry) {
    const qsizetype blank = entry.indexOf(u' ');
    return (blank < 0 ? entry : entry.left(blank)).toLower();
}

int slotEffectBox(const QString& effectName) {
    for (int i = 0; i < kEffectBoxCount; ++i) {
        if (i != 6 && effectName == QString::fromLatin1(kCaptions[i]).toLower()) return i;
    }
    return -1;
}

QString slotEffectCaption(int index) {
    if (index < 0 || index >= kEffectBoxCount) return {};
    return QString::fromLatin1(kCaptions[index]);
}

QString slotEffectEntry(int index) {
    return slotEffectCaption(index) + QStringLiteral(" (Unallocated)");
}

}  // namespace korvex::sampler
