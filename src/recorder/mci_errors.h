#pragma once
// The codes and texts of the recorder's command interface, in one table: the codes the system's own
// multimedia command interface answers with, their texts as it words them, and the one code of its own
// (lost frames).

#include <QString>

namespace korvex::recorder {

namespace mcierr {
inline constexpr int kInvalidDeviceId = 257;
inline constexpr int kUnrecognizedKeyword = 259;
inline constexpr int kUnrecognizedCommand = 261;
inline constexpr int kInvalidDeviceName = 263;
inline constexpr int kUnsupportedFunction = 274;
inline constexpr int kFileNotFound = 275;
inline constexpr int kFileWrite = 286;
inline constexpr int kDuplicateAlias = 289;
inline constexpr int kBadSequence = 302;
inline constexpr int kWaveInputUnavailable = 328;
// The recording was saved, but the disk could not keep up and part of it is missing.
inline constexpr int kFramesLost = 513;
}  // namespace mcierr

// The text for `code` in `text`; false (text untouched) for a code the table does not know.
bool mciErrorText(int code, QString& text);

// What the command procedure says when the error text cannot be fetched, and for the empty command.
inline QString noErrorText() {
    return QStringLiteral("Error (文字列が取れません)");
}
inline QString emptyCommandText() {
    return QStringLiteral("コマンド文字列が指定されていません");
}

}  // namespace korvex::recorder
