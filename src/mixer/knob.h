#pragma once
// One drag knob of the mixer: pitch, volume, pan, master/monitor (linear), the trim needle and the jog wheel.
//
// Why it is shaped this way: a knob has no value apart from where its indicator stands. The indicator's
// position, in twips of the player panel (the frame of the layout table), is the state here; whoever needs
// the knob's value reads that position and converts it, exactly as the loaders and the keyboard write it
// back. The widget only draws the base and the indicator where this model says and forwards the mouse: a
// press, each move and the release, with coordinates in twips relative to the picture that received the
// event (the widget grabs the pointer from press to release, so the release always arrives here and the
// drag flag is always cleared).
//
// All kinds share one drag protocol; what differs is how a point becomes an indicator position (the
// pointer sets a linear indicator's centre, aims the trim needle, or picks an angle on the jog circle), the
// clamp and the bounds test. After placing the indicator the knob calls its consumer with the
// base-relative point, which is where the mixer turns the position into a rate, a level or a seek.
//
// Positions are single-precision numbers, as the level law and the pitch law compute with them.

#include <cstdint>
#include <functional>

namespace korvex::mixer {

// A box in player-panel twips.
struct TwipBox {
    float left = 0.0f;
    float top = 0.0f;
    float width = 0.0f;
    float height = 0.0f;
};

enum class KnobKind : std::uint8_t {
    kVertical,    // the indicator's Top is the value (pitch, volume, master, monitor)
    kHorizontal,  // the indicator's Left is the value (pan, crossfader)
    kTrim,        // a needle from the base centre; its end X2 is the value
    kJog,         // the indicator runs on a circle around the base centre
};

// Which picture received a mouse event.
enum class KnobPart : std::uint8_t { kBase, kIndicator };

// What a move must satisfy to be followed (a point that fails is ignored and the indicator stays).
enum class BoundsTest : std::uint8_t {
    kNone,        // no test: the clamp (if any) keeps the indicator on its travel
    kBoth,        // the point must lie within the base rectangle (pitch)
    kHorizontal,  // only its horizontal coordinate must lie within the base (pan)
};

// Mouse button values as the widgets pass them: a press or release names one button, a move the set held.
inline constexpr int kLeftButton = 1;
inline constexpr int kRightButton = 2;
inline constexpr int kMiddleButton = 4;

struct KnobDesign {
    KnobKind kind = KnobKind::kVertical;
    TwipBox base{};
    // The indicator's design box; for the trim knob only the needle's design end matters (lineEnd).
    TwipBox indicator{};
    BoundsTest bounds = BoundsTest::kNone;
    // Clamp of the indicator's Top (vertical) or Left (horizontal) after each placement.
    bool clamped = false;
    float low = 0.0f;
    float high = 0.0f;
    // Design end of the trim needle (its start is the base centre).
    float lineEndX = 0.0f;
    float lineEndY = 0.0f;
};

class Knob {
public:
    // The tail of the knob's UpdatePosition: called with the base-relative point after the indicator was
    // placed (or left where it was, for a point without an angle).
    using Consumer = std::function<void(float x, float y)>;

    explicit Knob(const KnobDesign& design);

    void setConsumer(Consumer consumer) { consumer_ = std::move(consumer); }
    // Work a knob does on every press, whatever the button, before the drag starts (the jog's base
    // position), and on every release after the drag flag was cleared (the jog's return).
    std::function<void(int button)> onPress;
    std::function<void(int button)> onRelease;

    // --- mouse, from the widget ---------------------------------------------------------------------------
    // Coordinates are twips relative to the top-left corner of the picture named by `part`. The trim needle
    // takes no mouse input; it is worked through its base.
    void press(KnobPart part, int button, float x, float y);
    void move(KnobPart part, int buttons, float x, float y);
    void release(KnobPart part, int button, float x, float y);
    // The drag flag: set by a left press, cleared by any release (which also returns the jog indicator to
    // the top of its circle).
    bool dragging() const { return dragging_; }

    // The knob's UpdatePosition for a base-relative point: places the indicator, then calls the consumer.
    void updatePosition(float x, float y);
    // Only the placement; false when the point has no angle (trim and jog at the exact centre) and the
    // indicator stayed where it was.
    bool place(float x, float y);

    // --- position ---------------------------------------------------------------------------------------
    const KnobDesign& design() const { return design_; }
    const TwipBox& base() const { return design_.base; }
    // The indicator picture's box (linear and jog knobs).
    float left() const { return left_; }
    float top() const { return top_; }
    float width() const { return design_.indicator.width; }
    float height() const { return design_.indicator.height; }
    // Direct writes, as the keyboard and the loaders move indicators: no clamp, no consumer.
    void setLeft(float left);
    void setTop(float top);
    // The value a consumer reads: Top, Left or the needle's X2.
    float value() const;

    // The trim needle: its fixed start (the base centre) and its free end.
    float lineX1() const { return design_.base.left + design_.base.width / 2; }
    float lineY1() const { return design_.base.top + design_.base.height / 2; }
    float lineX2() const { return lineX2_; }
    float lineY2() const { return lineY2_; }
    void setLineEnd(float x2, float y2);

    // The jog indicator back at the top of its circle.
    void returnToTop();

    // Grows with every change of position or drag flag; the window redraws when it differs.
    std::uint64_t revision() const { return revision_; }

private:
    // The event point in base-relative coordinates.
    void toBase(KnobPart part, float& x, float& y) const;
    bool inBounds(float x, float y) const;

    KnobDesign design_;
    Consumer consumer_;
    float left_;
    float top_;
    float lineX2_;
    float lineY2_;
    bool dragging_ = false;
    std::uint64_t revision_ = 0;
};

}  // namespace korvex::mixer
