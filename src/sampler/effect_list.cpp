#include "sampler/effect_list.h"

#include <cmath>
#include <utility>

namespace korvex::sampler {

namespace {

using base::MessageAnswer;
using base::MessageButtons;
using base::MessageIcon;

QString qs(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// The descriptions of a list's chain: one effect per entry that names a known effect, in list order.
std::vector<dsp::EffectKind> chainOf(const QStringList& entries) {
    std::vector<dsp::EffectKind> chain;
    for (const QString& entry : entries) {
        if (const EffectInfo* effect = effectOfEntry(entry)) chain.push_back(effect->kind);
    }
    return chain;
}

}  // namespace

const EffectInfo* effectByIndex(int index) {
    for (const EffectInfo& effect : kEffects) {
        if (effect.index == index) return &effect;
    }
    return nullptr;
}

const EffectInfo& effectOfKind(dsp::EffectKind kind) {
    for (const EffectInfo& effect : kEffects) {
        if (effect.kind == kind) return effect;
    }
    return kEffects[0];  // unreachable: the table names every kind
}

QString effectNameOf(const QString& entry) {
    const qsizetype blank = entry.indexOf(QLatin1Char(' '));
    return blank < 0 ? entry : entry.left(blank);
}

const EffectInfo* effectOfEntry(const QString& entry) {
    const QString name = effectNameOf(entry).toLower();
    for (const EffectInfo& effect : kEffects) {
        if (name == qs(effect.name)) return &effect;
    }
    return nullptr;
}

QString newEntry(const QString& caption) {
    return caption + QStringLiteral(" (Unallocated)");
}

QString statusText(int resultCode) {
    static const char* const kTexts[] = {" - Present",     " - Hardware", " - Software",
                                         " - Unallocated", " - Failed",   " - Unknown"};
    if (resultCode < 0 || resultCode > 5) return {};
    return QString::fromLatin1(kTexts[resultCode]);
}

int signatureOf(const QStringList& entries) {
    int sum = 0;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (const EffectInfo* effect = effectOfEntry(entries[i])) sum += static_cast<int>(i) + effect->weight;
    }
    return sum;
}

int roundHalfEven(double value) {
    double whole = std::floor(value);
    const double fraction = value - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
    return static_cast<int>(whole);
}

SlotEffects::SlotEffects(EffectLists& lists, std::function<SoundBuffer*(int)> slotBuffer,
                         base::MessageBoxes& boxes)
    : lists_(lists), slotBuffer_(std::move(slotBuffer)), boxes_(boxes) {}

bool SlotEffects::holdsChain(int slot, SoundBuffer& buffer, const std::vector<dsp::EffectKind>& chain) const {
    if (lists_.applied[static_cast<std::size_t>(slot)] != chain) return false;
    // The buffer may have been replaced or given another chain since: each kind must be there exactly as
    // often as the chain names it.
    for (const EffectInfo& effect : kEffects) {
        int count = 0;
        for (dsp::EffectKind kind : chain) count += kind == effect.kind ? 1 : 0;
        if (count > 0 && buffer.effect(effect.kind, count - 1) == nullptr) return false;
        if (buffer.effect(effect.kind, count) != nullptr) return false;
    }
    return true;
}

bool SlotEffects::applyslotfx(int slot, bool forced) {
    if (slot < 0 || slot >= kSlotCount) return false;
    const auto s = static_cast<std::size_t>(slot);
    SoundBuffer* buffer = slotBuffer_ ? slotBuffer_(slot) : nullptr;
    if (buffer == nullptr) {
        boxes_.inform(fxmessages::kNoBuffer, fxmessages::kNoBufferTitle, MessageIcon::Information);
        return false;
    }
    if (!forced && (buffer->status() & SoundBuffer::kStatusPlaying) != 0) {
        boxes_.inform(fxmessages::kPlaying, fxmessages::kPlayingTitle, MessageIcon::None);
        return false;
    }
    QStringList& entries = lists_.entries[s];
    if (entries.isEmpty()) {
        const MessageAnswer answer = boxes_.ask(fxmessages::kRemoveAll, fxmessages::kRemoveAllTitle,
                                                MessageButtons::YesNo, MessageIcon::Question);
        if (answer == MessageAnswer::Yes) {
            std::vector<int> results;
            if (buffer->setFX({}, &results) == SoundError::None) lists_.applied[s].clear();
        } else {
            boxes_.inform(fxmessages::kChooseOne, fxmessages::kChooseOneTitle, MessageIcon::None);
        }
        return false;
    }

    const std::vector<dsp::EffectKind> chain = chainOf(entries);
    const int signature = signatureOf(entries);
    if (holdsChain(slot, *buffer, chain)) return true;

    std::vector<int> results;
    const SoundError error = buffer->setFX(chain, &results);
    if (error != SoundError::None) {
        refused(error, forced);
        return false;
    }
    // One result per description: the entries naming a known effect, in order.
    std::size_t next = 0;
    for (QString& entry : entries) {
        if (effectOfEntry(entry) == nullptr) continue;
        const int code = next < results.size() ? results[next] : -1;
        ++next;
        const QString status = statusText(code);
        if (!status.isEmpty()) entry = effectNameOf(entry) + status;
    }
    lists_.applied[s] = chain;
    lists_.fxsignature = signature;
    if (onListChanged) onListChanged(slot);
    return true;
}

bool SlotEffects::openfxdialog(int slot) {
    if (!applyslotfx(slot, true)) return false;
    SoundBuffer* buffer = slotBuffer_ ? slotBuffer_(slot) : nullptr;
    if (buffer == nullptr) return false;
    for (const QString& entry : lists_.entries[static_cast<std::size_t>(slot)]) {
        const EffectInfo* effect = effectOfEntry(entry);
        if (effect == nullptr || effect->index != lists_.currentfx) continue;
        if (showDialog) showDialog(effect->kind, *buffer);
        return showDialog != nullptr;
    }
    return false;
}

void SlotEffects::refused(SoundError error, bool forced) {
    // From a settings button the operation ends silently; from the sampler dialog's "OK" the operator learns
    // why the chain is not there.
    if (forced) return;
    if (error == SoundError::InvalidCall) {
        boxes_.inform(fxmessages::kPlaying, fxmessages::kPlayingTitle, MessageIcon::None);
    } else if (error == SoundError::ControlUnavailable) {
        boxes_.inform(fxmessages::kRefusedNoFx, fxmessages::kRefusedTitle, MessageIcon::Warning);
    } else {
        boxes_.inform(fxmessages::kRefused, fxmessages::kRefusedTitle, MessageIcon::Warning);
    }
}

}  // namespace korvex::sampler
