#include "sampler/sampler_dialog_model.h"

#include <algorithm>
#include <cmath>

#include "base/file_names.h"

namespace korvex::sampler {

namespace {

using base::MessageIcon;

// The drawing's angles use 3.141 for a half turn.
constexpr double kHalfTurn = 3.141;
// Distance from a marker's centre to its corners, in pixels.
constexpr double kMarkerRadius = 10.0;
// The source's position in the sound's space is its offset in the drawing divided by this.
constexpr float kPixelsPerUnit = 50.0f;
// The 3D cone the dialog gives a slot: inside and outside angles, outside volume.
constexpr int kConeInside = 0;
constexpr int kConeOutside = 100;
constexpr int kConeOutsideVolume = -400;
// The tone keyboard's ratios for slots 1 .. 6 (a major scale above slot 0); slot 7 is the octave.
constexpr double kToneRatios[] = {1.122, 1.26, 1.335, 1.498, 1.682, 1.888};

// Round to the nearest integer, halves to the even neighbour.
int roundEven(double value) {
    return static_cast<int>(std::nearbyint(value));
}

bool isEffecterMode(int mode) {
    return mode == kEffecter3D || mode == kEffecter;
}
bool isSamplerMode(int mode) {
    return mode == kSampler3D || mode == kSampler;
}
bool has3D(int mode) {
    return mode == kSampler3D || mode == kEffecter3D;
}
bool validBox(int index) {
    return index >= 0 && index < kEffectBoxCount && index != 6;
}

}  // namespace

Triangle drawTriangle(int red, int green, int blue, double x, double y, double angle) {
    const double a = (angle - 90.0) * kHalfTurn / 180.0;
    auto corner = [x, y](double at) {
        return QPoint(roundEven(x + kMarkerRadius * std::sin(at)),
                      roundEven(y + kMarkerRadius * std::cos(at)));
    };
    Triangle t;
    t.points = {corner(a), corner(a + kHalfTurn / 1.3), corner(a - kHalfTurn / 1.3)};
    t.red = red;
    t.green = green;
    t.blue = blue;
    return t;
}

int toneFrequency(int slot, int tempo) {
    if (slot <= 0) return tempo;
    if (slot >= 7)
        return tempo * 2 < SamplerDialogModel::kTempoMax ? tempo * 2 : SamplerDialogModel::kTempoMax;
    const auto scaled = static_cast<long long>(std::floor(tempo * kToneRatios[slot - 1]));
    return scaled < SamplerDialogModel::kTempoMax ? static_cast<int>(scaled) : SamplerDialogModel::kTempoMax;
}

QString toneCaption(int slot) {
    static const char* const kNotes[] = {"ド", "レ", "ミ", "ファ", "ソ", "ラ", "シ", "ド"};
    if (slot < 0 || slot >= kSamplerSlots) return {};
    return QString::number(slot + 1) + QStringLiteral(": ") + QString::fromUtf8(kNotes[slot]);
}

SamplerDialogModel::SamplerDialogModel(SampleSlots& slots) : slots_(slots) {}

void SamplerDialogModel::open() {
    slot_ = slots_.currentslot;
    const int mode = slots_.slotmode(slot_);
    title_ = QStringLiteral("SAMPLER ") + QString::number(slot_ + 1);
    chkLoop_ = slots_.slotloop(slot_) == 1;
    chksilent_ = slots_.slotsilencer(slot_) == 1;
    chkPrelisten_ = slots_.slotprelisten(slot_);
    widthTwips_ = has3D(mode) ? kWideTwips : kNarrowTwips;
    effectFrameTop_ = isEffecterMode(mode) ? kFrameShownTop : kFrameHiddenTop;
    if (SoundBuffer* b = buffer()) {
        volume_ = static_cast<int>(std::sqrt(static_cast<double>(-b->volume())));
        if (isSamplerMode(mode)) tempo_ = std::clamp(b->frequency(), kTempoMin, kTempoMax);
    }
    initialised_ = false;
    checked_ = {};
    efectcfgEnabled_ = {};
    for (const QString& entry : slots_.effects().entries[static_cast<std::size_t>(slot_)]) {
        const int index = slotEffectBox(slotEffectName(entry));
        if (index >= 0)
            checked_[static_cast<std::size_t>(index)] = efectcfgEnabled_[static_cast<std::size_t>(index)] =
                true;
    }
    initialised_ = true;
    if (has3D(mode)) {
        sourcex_ = 0.0f;
        sourcez_ = 5.0f;
        angle_ = kAngleStart;
        angleChanged(angle_);
        DrawPositions();
    }
    touch();
}

bool SamplerDialogModel::checked(int index) const {
    return validBox(index) && checked_[static_cast<std::size_t>(index)];
}

bool SamplerDialogModel::efectcfgEnabled(int index) const {
    return validBox(index) && efectcfgEnabled_[static_cast<std::size_t>(index)];
}

// --- controls ---------------------------------------------------------------------------------------------

void SamplerDialogModel::volumeChanged(int value) {
    volume_ = value;
    if (SoundBuffer* b = buffer()) b->setVolume(-(value * value));
    touch();
}

void SamplerDialogModel::tempoChanged(int value) {
    tempo_ = value;
    if (SoundBuffer* b = buffer()) b->setFrequency(value);
    touch();
}

void SamplerDialogModel::chkLoopClicked(bool ticked) {
    chkLoop_ = ticked;
    slots_.setSlotloop(slot_, ticked ? 1 : 0);
    touch();
}

void SamplerDialogModel::chksilentClicked(bool ticked) {
    chksilent_ = ticked;
    slots_.setSlotsilencer(slot_, ticked ? 1 : 0);
    touch();
}

void SamplerDialogModel::chkPrelistenClicked(bool ticked) {
    chkPrelisten_ = ticked;
    slots_.setSlotprelisten(slot_, ticked);
    touch();
}

bool SamplerDialogModel::check1Clicked(int index, bool ticked) {
    if (!validBox(index)) return false;
    const auto i = static_cast<std::size_t>(index);
    SlotEffectLists& effects = slots_.effects();
    QStringList& list = effects.entries[static_cast<std::size_t>(slot_)];
    touch();
    if (ticked) {
        checked_[i] = true;
        efectcfgEnabled_[i] = true;
        if (initialised_) list.append(slotEffectEntry(index));
    } else {
        if (SoundBuffer* b = buffer(); b != nullptr && (b->status() & SoundBuffer::kStatusPlaying) != 0) {
            slots_.messages().inform(QStringLiteral("エフェクトを解除する前に再生を止めてください。"),
                                     QStringLiteral("ＷＡＶＥを再生中です。"), MessageIcon::Information);
            return true;
        }
        checked_[i] = false;
        efectcfgEnabled_[i] = false;
        if (list.isEmpty()) {
            effects.fxsignature = 0;
        } else {
            const QString name = slotEffectCaption(index).toLower();
            bool removed = false;
            for (qsizetype k = 0; k < list.size(); ++k) {
                if (slotEffectName(list[k]) == name) {
                    list.removeAt(k);
                    removed = true;
                    break;
                }
            }
            if (!removed) effects.fxsignature = 0;
        }
    }
    if (slots_.effectHooks.onEffectToggled) slots_.effectHooks.onEffectToggled(slot_, index, ticked);
    return ticked;
}

void SamplerDialogModel::efectcfgClicked(int index) {
    if (!validBox(index)) return;
    slots_.effects().currentfx = index;
    if (slots_.effectHooks.onEffectSettings) slots_.effectHooks.onEffectSettings(slot_, index);
}

void SamplerDialogModel::okClicked() {
    if (!slots_.effects().entries[static_cast<std::size_t>(slot_)].isEmpty() && slots_.effectHooks.applyOnOk)
        slots_.effectHooks.applyOnOk(slot_);
}

void SamplerDialogModel::keyboadClicked() {
    SoundDevice* device = slots_.device();
    std::array<std::unique_ptr<SoundBuffer>, kSamplerSlots> made;
    for (int k = 0; k < kSamplerSlots; ++k) {
        SoundError error = SoundError::None;
        if (device != nullptr)
            made[static_cast<std::size_t>(k)] = device->createSoundBufferFromFile(
                base::fileNameString(slots_.loadpath), kCtrlFrequency | kCtrlPan | kCtrlVolume, &error);
        // A file that cannot be made into eight buffers leaves every slot as it was.
        if (!made[static_cast<std::size_t>(k)]) {
            slots_.cannotLoad(SampleSlots::cannotLoadText(slots_.loadpath));
            return;
        }
    }
    for (int k = 0; k < kSamplerSlots; ++k) {
        auto& b = made[static_cast<std::size_t>(k)];
        b->setFrequency(toneFrequency(k, tempo_));
        slots_.installBuffer(k, std::move(b));
        slots_.setCaption(k, toneCaption(k));
    }
    touch();
}

// --- 3D panel ---------------------------------------------------------------------------------------------

void SamplerDialogModel::angleChanged(int degrees) {
    angle_ = degrees;
    const auto radians = static_cast<float>(degrees * kHalfTurn / 180.0);
    const float cx = std::cos(radians) * 5.0f;
    const float cz = std::sin(radians) * 5.0f;
    DrawPositions();
    if (!slots_.dsready()) return;
    SoundBuffer* b = buffer();
    SoundBuffer3D* three = b != nullptr ? b->buffer3D() : nullptr;
    slots_.setSlot3dbuffer(slot_, three);
    if (three == nullptr) return;
    three->setConeAngles(kConeInside, kConeOutside);
    three->setConeOutsideVolume(kConeOutsideVolume);
    three->setPosition(sourcex_ / kPixelsPerUnit, 0.0f, sourcez_ / kPixelsPerUnit);
    three->setConeOrientation(cx, 0.0f, cz);
}

void SamplerDialogModel::drawMouseDown(bool leftButton, int x, int y) {
    if (!leftButton) return;
    UpdatePosition(static_cast<float>(x), static_cast<float>(y));
    dragging_ = true;
}

void SamplerDialogModel::drawMouseMove(bool leftButton, int x, int y) {
    if (!leftButton || !dragging_) return;
    if (x < 0 || x > kDrawWidth || y < 0 || y > kDrawHeight) return;
    UpdatePosition(static_cast<float>(x), static_cast<float>(y));
}

void SamplerDialogModel::drawMouseUp() {
    dragging_ = false;
}

void SamplerDialogModel::UpdatePosition(float x, float y) {
    sourcex_ = x - static_cast<float>(kDrawWidth) / 2.0f;
    sourcez_ = y - static_cast<float>(kDrawHeight) / 2.0f;
    DrawPositions();
    if (SoundBuffer3D* three = slots_.slot3dbuffer(slot_))
        three->setPosition(sourcex_ / kPixelsPerUnit, 0.0f, sourcez_ / kPixelsPerUnit);
}

void SamplerDialogModel::DrawPositions() {
    const double cx = kDrawWidth / 2.0;
    const double cy = kDrawHeight / 2.0;
    drawing_.clear();
    drawing_.push_back(drawTriangle(192, 192, 192, roundEven(cx), roundEven(cy), 90.0));
    drawing_.push_back(drawTriangle(230, 0, 0, roundEven(cx + sourcex_), roundEven(cy + sourcez_), angle_));
    touch();
}

}  // namespace korvex::sampler
