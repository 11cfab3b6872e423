#pragma once
// The sampler dialog (`sampcfg`, "   サンプラー設定") as a model: one slot's volume, tempo (the buffer's
// frequency), loop and silencer flags, the effect check boxes with their settings buttons, the tone
// keyboard that turns all eight slots into a major scale of the current file, and the 3D panel with the
// listener, the sound source and the cone angle.
//
// Why it is shaped this way: the dialog's controls are values here (slider positions, ticks, the enabled
// settings buttons, the window's width and the effect frame's top in twips, the triangles the 3D panel
// draws), and each control event is one function; the window only forwards events and draws this state.
// The effect chain itself is applied elsewhere, through the slots' SamplerEffectHooks.
//
// Everything here runs on the user-interface thread.

#include <QPoint>
#include <QString>
#include <array>
#include <cstdint>
#include <vector>

#include "sampler/sample_slots.h"

namespace korvex::sampler {

// One marker of the 3D panel: three corners joined by lines (P1–P2, P1–P3, P2–P3) in a colour.
struct Triangle {
    std::array<QPoint, 3> points;
    int red = 0;
    int green = 0;
    int blue = 0;
    bool operator==(const Triangle&) const = default;
};

// `DrawTriangle`(colour, x, y, angle): the marker at (x, y) pointing along `angle` degrees.
Triangle drawTriangle(int red, int green, int blue, double x, double y, double angle);

class SamplerDialogModel {
public:
    // The 3D drawing's size in pixels (2655 by 2415 twips).
    static constexpr int kDrawWidth = 177;
    static constexpr int kDrawHeight = 161;
    // The window's width in twips with the 3D panel (modes 0, 1) and without it (modes 2, 3).
    static constexpr int kWideTwips = 8200;
    static constexpr int kNarrowTwips = 5200;
    // The effect frame's top in twips when it shows (modes 1, 3) and when it is out of sight.
    static constexpr int kFrameShownTop = 720;
    static constexpr int kFrameHiddenTop = 4300;
    // The tempo slider's range, and its value when the slot's buffer has no frequency of its own.
    static constexpr int kTempoMin = 100;
    static constexpr int kTempoMax = 100000;
    static constexpr int kTempoDefault = 44100;
    // The angle slider's range and start.
    static constexpr int kAngleMin = -270;
    static constexpr int kAngleMax = 90;
    static constexpr int kAngleStart = -90;

    // `slots` must outlive the model.
    explicit SamplerDialogModel(SampleSlots& slots);

    // The opening steps for `currentslot`: title, boxes, width, effect frame, sliders, ticked effects, and
    // for the 3D modes the source at (0, 5), the angle applied and the drawing.
    void open();

    // --- the controls' state --------------------------------------------------------------------------
    int slot() const { return slot_; }
    // "SAMPLER " and the slot number.
    const QString& title() const { return title_; }
    bool chkLoop() const { return chkLoop_; }
    bool chksilent() const { return chksilent_; }
    // The pre-listen tick ("ヘッドホン (PFL)").
    bool chkPrelisten() const { return chkPrelisten_; }
    int widthTwips() const { return widthTwips_; }
    int effectFrameTop() const { return effectFrameTop_; }
    // `volume` 0 .. 100 (0 is full level) and `tempo` 100 .. 100000.
    int volume() const { return volume_; }
    int tempo() const { return tempo_; }
    // `Check1`(i) ticked and `efectcfg`(i) enabled.
    bool checked(int index) const;
    bool efectcfgEnabled(int index) const;
    // `scrlangle` in degrees, and the source's offset from the drawing's centre.
    int angle() const { return angle_; }
    float sourcex() const { return sourcex_; }
    float sourcez() const { return sourcez_; }
    // What the 3D panel shows: the listener's marker, then the source's.
    const std::vector<Triangle>& drawing() const { return drawing_; }
    // Grows with every change the window shows.
    std::uint64_t revision() const { return revision_; }

    // --- the controls' events -------------------------------------------------------------------------
    // `volume`: the buffer's volume := -(value²) hundredths of a dB.
    void volumeChanged(int value);
    // `tempo`: the buffer's frequency := value Hz.
    void tempoChanged(int value);
    void chkLoopClicked(bool ticked);
    void chksilentClicked(bool ticked);
    void chkPrelistenClicked(bool ticked);
    // `Check1`(index) clicked to `ticked`. Unticking while the slot plays is refused with a message: the
    // entry stays and the box goes back to ticked (the return value is the box's state).
    bool check1Clicked(int index, bool ticked);
    // `efectcfg`(index): `currentfx` := index; the effect's settings dialog.
    void efectcfgClicked(int index);
    // "OK": applies the slot's effect chain when it has entries. The window then closes.
    void okClicked();
    // `keyboad` ("音源キーボード"): eight new buffers of `loadpath` tuned to a major scale from `tempo`.
    void keyboadClicked();
    // `scrlangle` moved.
    void angleChanged(int degrees);
    // Mouse in the drawing (pixels): the left button places the source and drags it inside the drawing.
    void drawMouseDown(bool leftButton, int x, int y);
    void drawMouseMove(bool leftButton, int x, int y);
    void drawMouseUp();
    // `UpdatePosition`(x, y): the source to a point of the drawing.
    void UpdatePosition(float x, float y);
    // `DrawPositions`: redraws the listener and the source.
    void DrawPositions();

private:
    SoundBuffer* buffer() const { return slots_.slotbuffer(slot_); }
    void touch() { ++revision_; }

    SampleSlots& slots_;
    int slot_ = 0;
    QString title_;
    bool chkLoop_ = false;
    bool chksilent_ = false;
    bool chkPrelisten_ = false;
    int widthTwips_ = kWideTwips;
    int effectFrameTop_ = kFrameHiddenTop;
    int volume_ = 0;
    int tempo_ = kTempoDefault;
    std::array<bool, kEffectBoxCount> checked_{};
    std::array<bool, kEffectBoxCount> efectcfgEnabled_{};
    bool initialised_ = false;
    bool dragging_ = false;
    int angle_ = kAngleStart;
    float sourcex_ = 0.0f;
    float sourcez_ = 5.0f;
    std::vector<Triangle> drawing_;
    std::uint64_t revision_ = 0;
};

// The tone keyboard's frequency for `slot` from the `tempo` of the low "ド": the ratios of a major scale,
// capped at 100000 Hz.
int toneFrequency(int slot, int tempo);
// The tone keyboard's caption for `slot`: "1: ド" .. "8: ド".
QString toneCaption(int slot);

}  // namespace korvex::sampler
