#include "songlist/key_codes.h"

#include <Qt>

namespace korvex::songlist {

int virtualKey(int qtKey, bool keypad) {
    if (qtKey >= Qt::Key_1 && qtKey <= Qt::Key_8)
        return (keypad ? vk::kKeypad1 : vk::kDigit1) + (qtKey - Qt::Key_1);
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return 65 + (qtKey - Qt::Key_A);
    switch (qtKey) {
        case Qt::Key_Backspace:
            return vk::kBackspace;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return vk::kEnter;
        case Qt::Key_Space:
            return vk::kSpace;
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
        // Keys named as on a Japanese keyboard, shifted or not: ":" "*", "/" "?", "]" "}", "\" "_" (ろ).
        case Qt::Key_Colon:
        case Qt::Key_Asterisk:
            return vk::kColon;
        case Qt::Key_Slash:
        case Qt::Key_Question:
            return vk::kSlash;
        case Qt::Key_BracketRight:
        case Qt::Key_BraceRight:
            return vk::kBracketRight;
        case Qt::Key_Backslash:
        case Qt::Key_Underscore:
            return vk::kBackslash;
        default:
            return 0;
    }
}

void HeldKeys::press(int virtualKeyCode) {
    if (virtualKeyCode > 0 && virtualKeyCode < 256) down_.set(static_cast<std::size_t>(virtualKeyCode));
}

void HeldKeys::release(int virtualKeyCode, bool autoRepeat) {
    if (autoRepeat) return;
    if (virtualKeyCode > 0 && virtualKeyCode < 256) down_.reset(static_cast<std::size_t>(virtualKeyCode));
}

bool HeldKeys::isDown(int virtualKeyCode) const {
    return virtualKeyCode > 0 && virtualKeyCode < 256 && down_.test(static_cast<std::size_t>(virtualKeyCode));
}

}  // namespace korvex::songlist
