#include "recorder/mci_errors.h"

#include <array>
#include <utility>

namespace korvex::recorder {

namespace {

struct ErrorEntry {
    int code;
    const char* text;
};

// clang-format off
constexpr auto kErrors = std::to_array<ErrorEntry>({
    {mcierr::kInvalidDeviceId, "Invalid MCI device ID. Use the ID returned when opening the MCI device."},
    {mcierr::kUnrecognizedKeyword, "The driver cannot recognize the specified command parameter."},
    {mcierr::kUnrecognizedCommand, "The driver cannot recognize the specified command."},
    {mcierr::kInvalidDeviceName, "The specified device is not open or is not recognized by MCI."},
    {mcierr::kUnsupportedFunction, "The MCI device you are using does not support the specified command."},
    {mcierr::kFileNotFound, "Cannot find the specified file. Make sure the path and filename are correct."},
    {mcierr::kFileWrite,
     "Cannot save the specified file. Make sure you have enough disk space or are still connected to the network."},
    {mcierr::kDuplicateAlias,
     "The specified alias is already being used in this application. Use a unique alias."},
    {mcierr::kBadSequence,
     "Cannot carry out the commands in the order specified. Correct the command sequence, and then try again."},
    {mcierr::kWaveInputUnavailable,
     "No wave device that can record files in the current format is installed. Use the Drivers option to install "
     "the wave device."},
    {mcierr::kFramesLost,
     "The file was saved, but part of the recording is missing because the disk could not keep up."},
});
// clang-format on

}  // namespace

bool mciErrorText(int code, QString& text) {
    for (const ErrorEntry& e : kErrors) {
        if (e.code == code) {
            text = QString::fromUtf8(e.text);
            return true;
        }
    }
    return false;
}

}  // namespace korvex::recorder
