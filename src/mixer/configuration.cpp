#include "mixer/configuration.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace korvex::mixer {

namespace {
constexpr int kSwitchTimeMax = std::numeric_limits<std::int16_t>::max();
}  // namespace

Configuration::Configuration(ConfigurationTargets targets, base::MessageBoxes& messages,
                             ConfigurationHooks hooks)
    : targets_(targets), messages_(messages), hooks_(std::move(hooks)) {
    load();
}

void Configuration::load() {
    // A new dialog: what was not stored in the last one is gone.
    pattern_ = 0;
    sliders_ = kDesignSliders;
    curve_ = kDesignCurve;
    switchText_ = switchTimeText(targets_.deck.switchtime[0]);
}

void Configuration::paternClick(int pattern) {
    if (pattern < 0 || pattern >= kPatternCount) return;
    pattern_ = pattern;
    const FaderTable& table = targets_.mixer.fadertable;
    const auto p = static_cast<std::size_t>(pattern);
    for (std::size_t k = 0; k < 4; ++k) sliders_[k] = std::clamp(table[p + 3 * k], 0, kFaderPointMax);
    switchText_ = switchTimeText(targets_.deck.switchtime[p]);
    linedraw();
}

void Configuration::sliderChange(int slider, int value) {
    if (slider < 0 || slider > 3) return;
    value = std::clamp(value, 0, kFaderPointMax);
    sliders_[static_cast<std::size_t>(slider)] = value;
    switch (slider) {
        case 0:
            curve_[3].x2 = curve_[4].x1 = startX(value);
            break;
        case 1:
            curve_[4].x2 = curve_[5].x1 = endX(value);
            break;
        case 2:
            curve_[2].x2 = curve_[0].x1 = startX(value);
            break;
        default:
            curve_[0].x2 = curve_[1].x1 = endX(value);
            break;
    }
}

void Configuration::linedraw() {
    for (int k = 0; k < 4; ++k) sliderChange(k, sliders_[static_cast<std::size_t>(k)]);
}

void Configuration::fdrecClick() {
    const auto p = static_cast<std::size_t>(pattern_);
    FaderTable& table = targets_.mixer.fadertable;
    for (std::size_t k = 0; k < 4; ++k) table[p + 3 * k] = sliders_[k];
    const std::optional<int> time = switchTimeOf(switchText_);
    if (time) {
        targets_.deck.switchtime[p] = *time;
        return;
    }
    messages_.inform(QStringLiteral("値が不正です。"), QString(), base::MessageIcon::None);
    targets_.deck.switchtime[p] = kInvalidSwitchTime;
    // The box shows what was stored.
    switchText_ = switchTimeText(kInvalidSwitchTime);
}

std::optional<int> Configuration::switchTimeOf(const QString& text) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    const double rounded = std::nearbyint(value);  // the default rounding mode: halves to even
    if (rounded < 1.0 || rounded > kSwitchTimeMax) return std::nullopt;
    return static_cast<int>(rounded);
}

QString Configuration::switchTimeText(int value) {
    return value >= 0 ? QLatin1Char(' ') + QString::number(value) : QString::number(value);
}

void Configuration::gapChange(int value) {
    targets_.deck.gapticks = std::clamp(value, 0, kGapMax);
}

void Configuration::headIntervalChange(int value) {
    targets_.deck.headinterval = std::clamp(value, 0, kHeadIntervalMax);
}

void Configuration::headphonesChange(const QString& mode) {
    const QString chosen = mode.trimmed().isEmpty() ? QStringLiteral("none") : mode.trimmed();
    // The sound is told even when the choice is the stored one: --headphones may have sent it elsewhere.
    targets_.deck.headphones = chosen;
    if (hooks_.headphonesChanged) hooks_.headphonesChanged(chosen);
}

void Configuration::trimChange(int value) {
    targets_.newtrim = std::clamp(value, 0, kTrimMax);
}

void Configuration::playOnSwitchClick(bool checked) {
    targets_.mixer.playonswitch = checked;
}

void Configuration::autorecClick(bool checked) {
    targets_.deck.autorec = checked;
}

void Configuration::bitClick(int option) {
    targets_.deck.rec8bit = option != 1;
}

void Configuration::stereoClick(int option) {
    targets_.deck.recmono = option == 0;
}

void Configuration::bitrateClick(int option) {
    if (option < 0 || option > 2) return;
    targets_.deck.recrate = 2 - option;
}

void Configuration::recordMixClick(bool checked) {
    targets_.deck.recsource =
        checked ? deck::DeckSettings::RecordSource::Mix : deck::DeckSettings::RecordSource::Input;
}

void Configuration::sampoffClick(bool checked) {
    if (checked) {
        targets_.samplerenabled = false;
        targets_.samplerview = false;
        if (hooks_.layoutpanels) hooks_.layoutpanels();
        return;
    }
    targets_.samplerenabled = true;
    // The sampler comes back at once when its sound device can be had now, not only at the next start.
    if (!targets_.dsready && hooks_.initsound) hooks_.initsound();
    if (!targets_.dsready || !targets_.samplerenabled) return;
    targets_.samplerview = true;
    if (hooks_.layoutpanels) hooks_.layoutpanels();
}

void Configuration::startvolconClick() {
    if (hooks_.startVolumeMixer) hooks_.startVolumeMixer();
}

void Configuration::slotClick(int slot) {
    if (slot < 0 || slot > 7 || !targets_.dsready) return;
    if (hooks_.openSlot) hooks_.openSlot(slot);
}

}  // namespace korvex::mixer
