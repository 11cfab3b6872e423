#include "mixer/knob.h"

#include <algorithm>
#include <cmath>

namespace korvex::mixer {

Knob::Knob(const KnobDesign& design)
    : design_(design),
      left_(design.indicator.left),
      top_(design.indicator.top),
      lineX2_(design.lineEndX),
      lineY2_(design.lineEndY) {}

void Knob::toBase(KnobPart part, float& x, float& y) const {
    if (part != KnobPart::kIndicator) return;
    x = left_ + x - design_.base.left;
    y = top_ + y - design_.base.top;
}

bool Knob::inBounds(float x, float y) const {
    const bool inX = x >= 0.0f && x <= design_.base.width;
    const bool inY = y >= 0.0f && y <= design_.base.height;
    switch (design_.bounds) {
        case BoundsTest::kNone:
            return true;
        case BoundsTest::kBoth:
            return inX && inY;
        case BoundsTest::kHorizontal:
            return inX;
    }
    return true;
}

void Knob::press(KnobPart part, int button, float x, float y) {
    if (part == KnobPart::kIndicator && design_.kind == KnobKind::kTrim) return;
    if (onPress) onPress(button);
    if (button != kLeftButton) return;
    toBase(part, x, y);
    // A press follows the same bounds as a move. Pitch and pan have no clamp; without the test, a press on
    // the part of the indicator that overhangs its base would push it one half-indicator past the end of its
    // travel, and further with every press.
    if (inBounds(x, y)) updatePosition(x, y);
    dragging_ = true;
    ++revision_;
}

void Knob::move(KnobPart part, int buttons, float x, float y) {
    if (!dragging_ || (buttons & kLeftButton) == 0) return;
    if (part == KnobPart::kIndicator && design_.kind == KnobKind::kTrim) return;
    toBase(part, x, y);
    if (!inBounds(x, y)) return;
    updatePosition(x, y);
}

void Knob::release(KnobPart part, int button, float /*x*/, float /*y*/) {
    if (part == KnobPart::kIndicator && design_.kind == KnobKind::kTrim) return;
    dragging_ = false;
    ++revision_;
    if (design_.kind == KnobKind::kJog) returnToTop();
    if (onRelease) onRelease(button);
}

void Knob::updatePosition(float x, float y) {
    place(x, y);
    if (consumer_) consumer_(x, y);
}

bool Knob::place(float x, float y) {
    const TwipBox& b = design_.base;
    switch (design_.kind) {
        case KnobKind::kVertical: {
            float top = b.top + y - design_.indicator.height / 2;
            if (design_.clamped) top = std::min(std::max(top, design_.low), design_.high);
            setTop(top);
            return true;
        }
        case KnobKind::kHorizontal: {
            float left = b.left + x - design_.indicator.width / 2;
            if (design_.clamped) left = std::min(std::max(left, design_.low), design_.high);
            setLeft(left);
            return true;
        }
        case KnobKind::kTrim: {
            const float dx = x - b.width / 2;
            // The needle never points below the horizontal.
            const float dy = std::min(y - b.height / 2, 0.0f);
            const float r = std::sqrt(dx * dx + dy * dy);
            if (r == 0.0f) return false;
            const float lengthX = b.height / 4 + 10;
            const float lengthY = b.width / 4 + 10;
            setLineEnd(b.left + b.width / 2 + lengthX * dx / r, b.top + b.height / 2 + lengthY * dy / r);
            return true;
        }
        case KnobKind::kJog: {
            const float dx = x - b.width / 2;
            const float dy = y - b.height / 2;
            const float r = std::sqrt(dx * dx + dy * dy);
            if (r == 0.0f) return false;
            const float w = design_.indicator.width;
            const float h = design_.indicator.height;
            left_ = b.left - w / 2 + b.width / 2 + (b.width / 4) * dx / r;
            top_ = b.top - h / 2 + b.height / 2 + (b.height / 4) * dy / r;
            ++revision_;
            return true;
        }
    }
    return false;
}

void Knob::setLeft(float left) {
    left_ = left;
    ++revision_;
}

void Knob::setTop(float top) {
    top_ = top;
    ++revision_;
}

float Knob::value() const {
    switch (design_.kind) {
        case KnobKind::kHorizontal:
            return left_;
        case KnobKind::kTrim:
            return lineX2_;
        case KnobKind::kVertical:
        case KnobKind::kJog:
            return top_;
    }
    return top_;
}

void Knob::setLineEnd(float x2, float y2) {
    lineX2_ = x2;
    lineY2_ = y2;
    ++revision_;
}

void Knob::returnToTop() {
    const TwipBox& b = design_.base;
    left_ = b.left - design_.indicator.width / 2 + b.width / 2;
    top_ = b.top - design_.indicator.height / 2 + b.height / 2 - b.width / 4;
    ++revision_;
}

}  // namespace korvex::mixer
