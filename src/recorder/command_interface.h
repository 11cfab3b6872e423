#pragma once
// The recorder's text command interface: `mci`(command, text) -> code, the multimedia command strings the
// recorder sends ("open new type waveaudio alias file", "set file bitspersample 16", "record file",
// "stop file", "save file NAME", "close file") interpreted over Korvex's own capture and WAVE writer.
//
// Why it is shaped this way: the recorder window speaks command strings and reads back codes and texts, so
// the interpreter keeps exactly that surface (codes and texts from one table, mci_errors.h) and leaves the
// sound to the platform: a device is a WaveRecording, and where its frames come from is decided when it
// starts recording by the source factory (the capture device or the player's mix).
//
// Devices: "open new type waveaudio alias NAME" makes a new, empty recording, 8-bit mono 11025 Hz until
// "set" says otherwise; a second device of the same alias is refused (289). "set" works only before the
// first "record" (302 after). "record" starts or resumes; "stop" pauses; "save NAME" finishes the file and
// moves it to NAME (a path; surrounding double quotes are removed); "close" ends the device and deletes an
// unsaved recording. A command for an alias that is not open answers 263; an unknown command 261; an unknown
// or missing parameter 259; a format the recorder cannot write, or a capture that does not start, 328.
//
// Everything here runs on the user-interface thread.

#include <QString>
#include <functional>
#include <map>
#include <memory>

#include "platform/capture.h"
#include "platform/wave_recording.h"

namespace korvex::recorder {

class CommandInterface {
public:
    // Makes the capture a "record" command starts; null when there is none.
    using SourceFactory = std::function<std::unique_ptr<audio::CaptureSource>()>;

    explicit CommandInterface(SourceFactory sources);
    // Devices still open keep their recordings in their temporary files.
    ~CommandInterface();
    CommandInterface(const CommandInterface&) = delete;
    CommandInterface& operator=(const CommandInterface&) = delete;

    // `mci`: runs `command`. On success `text` is the return string (empty for every command here) and the
    // code 0; otherwise `text` is the code's error text. The empty command gives its own text and -1.
    int mci(const QString& command, QString& text);

    // Where the next opened device keeps its temporary file: beside `path`, the file the recording is meant
    // for (the system's temporary folder until one is named).
    void setDestination(const QString& path) { destination_ = path; }

    // The recording of an open device (null when `alias` is not open), for status displays and tests.
    const audio::WaveRecording* recording(const QString& alias) const;

    // Why the last command failed, where one code stands for several causes (286 is a read-only folder as
    // much as a full disk): what the recorder tells the operator follows this, the code stays as it is.
    enum class Cause { kNone, kNoFolder, kNoPermission, kDiskFull, kFramesLost, kNoInput, kOther };
    Cause lastCause() const { return cause_; }

private:
    struct Device {
        std::unique_ptr<audio::WaveRecording> recording;
    };

    int run(const QString& command);
    int open(const QStringList& words);
    int set(Device& device, const QStringList& words);
    int save(Device& device, const QString& name);
    Device* find(const QString& alias);
    // The cause of a failed file operation of `recording`.
    static Cause fileCause(const audio::WaveRecording& recording);

    SourceFactory sources_;
    Cause cause_ = Cause::kNone;
    QString destination_;
    std::map<QString, Device> devices_;
};

}  // namespace korvex::recorder
