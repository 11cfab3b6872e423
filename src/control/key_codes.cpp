#include "control/key_codes.h"

#include <Qt>

namespace korvex::control {
namespace {

// Keys that are the same key on the keypad (without Num Lock) and elsewhere.
int navigationKey(int qtKey) {
    switch (qtKey) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return vk::kEnter;
        case Qt::Key_PageUp:
            return vk::kPageUp;
        case Qt::Key_PageDown:
            return vk::kPageDown;
        case Qt::Key_End:
            return vk::kEnd;
        case Qt::Key_Left:
            return vk::kLeft;
        case Qt::Key_Up:
            return vk::kUp;
        case Qt::Key_Right:
            return vk::kRight;
        case Qt::Key_Down:
            return vk::kDown;
        case Qt::Key_Delete:
            return vk::kDelete;
        default:
            return 0;
    }
}

}  // namespace

int virtualKey(int qtKey, bool keypad, std::uint32_t scanCode) {
    if (qtKey >= Qt::Key_1 && qtKey <= Qt::Key_8)
        return (keypad ? vk::kKeypad1 : vk::kDigit1) + (qtKey - Qt::Key_1);
    if (keypad) return navigationKey(qtKey);
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return vk::kLetterA + (qtKey - Qt::Key_A);
    switch (qtKey) {
        case Qt::Key_Backspace:
            return vk::kBackspace;
        case Qt::Key_Space:
            return vk::kSpace;
        // Keys named as on a Japanese keyboard, shifted or not: ":" "*", "/" "?", "]" "}", "\" "_" (ろ). "?"
        // and "}" are shifted "/" and "]" on the common layouts; "*" and "_" only on the Japanese one.
        case Qt::Key_Colon:
            return vk::kColon;
        case Qt::Key_Asterisk:
            return scanCode == kJapaneseColonKey ? vk::kColon : 0;
        case Qt::Key_Slash:
        case Qt::Key_Question:
            return vk::kSlash;
        case Qt::Key_BracketRight:
        case Qt::Key_BraceRight:
            return vk::kBracketRight;
        case Qt::Key_Backslash:
            return vk::kBackslash;
        case Qt::Key_Underscore:
            return scanCode == kJapaneseRoKey ? vk::kBackslash : 0;
        default:
            return navigationKey(qtKey);
    }
}

void HeldKeys::press(int virtualKeyCode, std::uint32_t physicalKey) {
    if (!valid(virtualKeyCode)) return;
    const auto code = static_cast<std::size_t>(virtualKeyCode);
    down_.set(code);
    physical_[code] = physicalKey;
}

int HeldKeys::release(int virtualKeyCode, bool autoRepeat, std::uint32_t physicalKey) {
    if (autoRepeat) return 0;
    int released = virtualKeyCode;
    if (physicalKey != 0) {
        for (int code = 1; code < kCodes; ++code) {
            const auto c = static_cast<std::size_t>(code);
            if (down_.test(c) && physical_[c] == physicalKey) {
                released = code;
                break;
            }
        }
    }
    if (valid(released)) {
        down_.reset(static_cast<std::size_t>(released));
        physical_[static_cast<std::size_t>(released)] = 0;
    }
    return released;
}

bool HeldKeys::isDown(int virtualKeyCode) const {
    return valid(virtualKeyCode) && down_.test(static_cast<std::size_t>(virtualKeyCode));
}

std::vector<int> HeldKeys::downKeys() const {
    std::vector<int> codes;
    for (int code = 1; code < kCodes; ++code) {
        if (down_.test(static_cast<std::size_t>(code))) codes.push_back(code);
    }
    return codes;
}

void HeldKeys::clear() {
    down_.reset();
    physical_.fill(0);
}

}  // namespace korvex::control
