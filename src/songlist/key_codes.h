#pragma once
// The keyboard as the key handlers see it: virtual-key codes (Backspace 8, Enter 13, letters 65..90 ...)
// and the set of keys held down right now, kept from the window's press and release events.
//
// The handlers test held keys on every key-down (holding Space while pressing another key runs the Space
// action again), so the set must follow the physical keys: auto-repeat presses keep a key down, and the
// release events that auto-repeat interleaves are not real releases.

#include <bitset>

namespace korvex::songlist {

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
inline constexpr int kDigit1 = 49;    // "1" .. "8" are 49 .. 56
inline constexpr int kKeypad1 = 97;   // keypad "1" .. "8" are 97 .. 104
inline constexpr int kColon = 186;
inline constexpr int kSlash = 191;
inline constexpr int kBracketRight = 221;
inline constexpr int kBackslash = 226;  // "\" and the Japanese "ろ" key
}  // namespace vk

// The virtual-key code for a Qt key (Qt::Key value) typed on the keypad or not; 0 for keys the player
// does not use.
int virtualKey(int qtKey, bool keypad);

class HeldKeys {
public:
    // A key went down (auto-repeat presses included: the key stays down).
    void press(int virtualKeyCode);
    // A key came up; releases sent by auto-repeat are not releases.
    void release(int virtualKeyCode, bool autoRepeat);
    // Whether the key is held down now.
    bool isDown(int virtualKeyCode) const;
    // Forgets every key (the window lost the keyboard, so releases will not arrive).
    void clear() { down_.reset(); }

private:
    std::bitset<256> down_;
};

}  // namespace korvex::songlist
