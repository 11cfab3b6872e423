#include "sampler/slot_effects.h"

namespace korvex::sampler {

namespace {
// Check-box captions by index; index 6 has no box.
constexpr const char* kCaptions[kEffectBoxCount] = {"Echo",       "Chorus",  "Flanger", "Distortion",
                                                    "Compressor", "ParamEQ", "",        "Gargle"};
}  // namespace

QString SlotEffectLists::effectName(const QString& entry) {
    const qsizetype blank = entry.indexOf(u' ');
    return (blank < 0 ? entry : entry.left(blank)).toLower();
}

int SlotEffectLists::boxIndex(const QString& effectName) {
    for (int i = 0; i < kEffectBoxCount; ++i) {
        if (i != 6 && effectName == QString::fromLatin1(kCaptions[i]).toLower()) return i;
    }
    return -1;
}

QString SlotEffectLists::boxCaption(int index) {
    if (index < 0 || index >= kEffectBoxCount) return {};
    return QString::fromLatin1(kCaptions[index]);
}

QString SlotEffectLists::newEntry(int index) {
    return boxCaption(index) + QStringLiteral(" (Unallocated)");
}

}  // namespace korvex::sampler
