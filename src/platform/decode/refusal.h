#pragma once
// Why a music file cannot be played, as a code. The code is turned into words where they are shown: plain
// English for stderr and the command-line tools (scripts and logs read those), Japanese for the operator
// (the deck's display and the message boxes), with what to do about it.

#include <string>

namespace korvex::decode {

struct Refusal {
    enum class Reason {
        None,
        NoFileName,
        Missing,  // the file or a folder on its way does not exist
        NoPermission,
        Folder,  // a folder given as a song
        NameTooLong,
        LinkLoop,
        NotOrdinary,  // a pipe, a device or a socket
        Empty,
        Unreadable,  // any other system error while opening or reading; `code` is its errno
        NotMusic,    // damaged, or of a kind nothing here reads
        TimedOut,    // the disk or network did not answer in time
        NoAudio,     // nothing in the file can be played, or nothing decoded from it
        NoMemory,
        UnsupportedFormat,  // an audio format the decoder has no codec or converter for
        NotMidi,            // named like a MIDI file, but its contents are not MIDI
        DamagedMidi,
        TooLargeForMidi,
        NoSoundfont,
        NoThreads,  // the system would not start the decoding thread
        Other,      // an FFmpeg error without a better name; `code` is FFmpeg's
    };
    Reason reason = Reason::None;
    // The errno of Unreadable, FFmpeg's error code of Other; 0 otherwise.
    int code = 0;

    explicit operator bool() const { return reason != Reason::None; }
    bool operator==(const Refusal&) const = default;
};

// What an errno from opening or reading a file means.
Refusal fileProblem(int errnoValue);

// One line in plain English ("a folder, not a music file"), for stderr and korvex-render.
std::string englishText(const Refusal& refusal);
// What went wrong, in Japanese (UTF-8), short enough for the deck's display
// ("フォルダーです。音楽ファイルではありません。").
std::string japaneseText(const Refusal& refusal);
// What the operator can do about it, in Japanese (UTF-8).
std::string japaneseAdvice(const Refusal& refusal);

}  // namespace korvex::decode
