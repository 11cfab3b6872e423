#pragma once
// The keyboard as the key handlers see it: virtual-key codes (Backspace 8, Enter 13, letters 65..90 ...)
// and the set of keys held down right now, kept from the window's press and release events.
//
// The handlers test held keys on every key-down (holding Space while pressing another key runs the Space
// action again), so the set must follow the physical keys: auto-repeat presses keep a key down, and the
// release events that auto-repeat interleaves are not real releases. A Qt key names a character, which can
// change while the key is held (press "1", then Shift, release "!"); so a press may name the physical key
// too, and its release then lets go of the code that key went down with.

#include <array>
#include <bitset>
#include <cstdint>
#include <vector>

namespace korvex::control {

// Virtual-key codes the handlers use.
namespace vk {
inline constexpr int kBackspace = 8;
inline constexpr int kEnter = 13;
inline constexpr int kSpace = 32;
inline constexpr int kPageUp = 33;
inline constexpr int kPageDown = 34;
inline constexpr int kEnd = 35;
inline constexpr int kLeft = 37;
inline constexpr int kUp = 38;
inline constexpr int kRight = 39;
inline constexpr int kDown = 40;
inline constexpr int kDelete = 46;
inline constexpr int kDigit1 = 49;   // "1" .. "8" are 49 .. 56
inline constexpr int kLetterA = 65;  // "A" .. "Z" are 65 .. 90
inline constexpr int kKeypad1 = 97;  // keypad "1" .. "8" are 97 .. 104
inline constexpr int kColon = 186;
inline constexpr int kSlash = 191;
inline constexpr int kBracketRight = 221;
inline constexpr int kBackslash = 226;  // "\" and the Japanese "ろ" key

// The code of letter `c` ('A' .. 'Z').
constexpr int letter(char c) {
    return kLetterA + (c - 'A');
}
}  // namespace vk

// The physical keys (the window system's key codes, as QKeyEvent::nativeScanCode() gives them under X11
// and Wayland) of a Japanese keyboard's ":" key, whose shifted character is "*", and of its "ろ" key, whose
// shifted character is "_".
inline constexpr std::uint32_t kJapaneseColonKey = 48;
inline constexpr std::uint32_t kJapaneseRoKey = 97;

// The virtual-key code for a Qt key (Qt::Key value) typed on the keypad or not; 0 for keys the player
// does not use. On the keypad only the digits 1 .. 8, Enter and, without Num Lock, the cursor keys count:
// its "/", "*", "-", "+" are keys of their own and not the ones on the main keyboard. `scanCode` names the
// physical key (0 when unknown): "*" and "_" count as the ":" and "ろ" keys only when they come from those
// keys, so that Shift+8 and Shift+- of other layouts move no knob.
int virtualKey(int qtKey, bool keypad, std::uint32_t scanCode = 0);

class HeldKeys {
public:
    // A key went down (auto-repeat presses included: the key stays down). `physicalKey` names the key on
    // the keyboard (the window's native scan code), 0 when unknown.
    void press(int virtualKeyCode, std::uint32_t physicalKey = 0);
    // A key came up; releases sent by auto-repeat are not releases (nothing happens, 0 is returned).
    // Returns the code released: the one the physical key went down with when it is known, else
    // `virtualKeyCode`.
    int release(int virtualKeyCode, bool autoRepeat, std::uint32_t physicalKey = 0);
    // Whether the key is held down now.
    bool isDown(int virtualKeyCode) const;
    // The codes held down now, in rising order.
    std::vector<int> downKeys() const;
    // Forgets every key (the window lost the keyboard, so releases will not arrive).
    void clear();

private:
    static bool valid(int code) { return code > 0 && code < kCodes; }
    static constexpr int kCodes = 256;

    std::bitset<kCodes> down_;
    // The physical key each held code went down with (0 when none was named).
    std::array<std::uint32_t, kCodes> physical_{};
};

}  // namespace korvex::control
