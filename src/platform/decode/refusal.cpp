#include "platform/decode/refusal.h"

#include <cerrno>
#include <cstring>

extern "C" {
#include <libavutil/error.h>
}

namespace korvex::decode {

namespace {
using Reason = Refusal::Reason;
}  // namespace

Refusal fileProblem(int errnoValue) {
    switch (errnoValue) {
        case ENOENT:
        case ENOTDIR:
            return {Reason::Missing};
        case EACCES:
        case EPERM:
            return {Reason::NoPermission};
        case EISDIR:
            return {Reason::Folder};
        case ENAMETOOLONG:
            return {Reason::NameTooLong};
        case ELOOP:
            return {Reason::LinkLoop};
        case ENOMEM:
            return {Reason::NoMemory};
        default:
            return {Reason::Unreadable, errnoValue};
    }
}

std::string englishText(const Refusal& refusal) {
    switch (refusal.reason) {
        case Reason::None:
            return {};
        case Reason::NoFileName:
            return "no file name";
        case Reason::Missing:
            return "the file does not exist";
        case Reason::NoPermission:
            return "no permission to read the file";
        case Reason::Folder:
            return "a folder, not a music file";
        case Reason::NameTooLong:
            return "the file name is too long";
        case Reason::LinkLoop:
            return "the file name leads round in a circle of links";
        case Reason::NotOrdinary:
            return "not an ordinary file (a pipe, device or socket)";
        case Reason::Empty:
            return "the file is empty";
        case Reason::Unreadable:
            return std::string("the file could not be read (") + std::strerror(refusal.code) + ")";
        case Reason::NotMusic:
            return "not a music file Korvex can read (damaged or of an unknown kind)";
        case Reason::TimedOut:
            return "the file took too long to open (the disk or network is not answering)";
        case Reason::NoAudio:
            return "the file holds no audio that can be played";
        case Reason::NoMemory:
            return "not enough memory to open the file";
        case Reason::UnsupportedFormat:
            return "the audio format of this file cannot be played";
        case Reason::NotMidi:
            return "not a MIDI file (the name says MIDI, the contents do not)";
        case Reason::DamagedMidi:
            return "a damaged MIDI file";
        case Reason::TooLargeForMidi:
            return "too large for a MIDI file";
        case Reason::NoSoundfont:
            return "no General MIDI soundfont is installed";
        case Reason::NoThreads:
            return "the system could not start decoding (too many threads)";
        case Reason::Other: {
            char buffer[AV_ERROR_MAX_STRING_SIZE] = {};
            av_strerror(refusal.code, buffer, sizeof buffer);
            return std::string("the file could not be opened (") + buffer + ")";
        }
    }
    return "the file could not be opened";
}

std::string japaneseText(const Refusal& refusal) {
    switch (refusal.reason) {
        case Reason::None:
            return {};
        case Reason::NoFileName:
            return "ファイル名がありません。";
        case Reason::Missing:
            return "ファイルが見つかりません。";
        case Reason::NoPermission:
            return "ファイルを読む権限がありません。";
        case Reason::Folder:
            return "フォルダーです。音楽ファイルではありません。";
        case Reason::NameTooLong:
            return "ファイル名が長すぎます。";
        case Reason::LinkLoop:
            return "リンクが循環していて、ファイルにたどり着けません。";
        case Reason::NotOrdinary:
            return "普通のファイルではありません（パイプやデバイスなど）。";
        case Reason::Empty:
            return "ファイルが空です（0 バイト）。";
        case Reason::Unreadable:
            return "ファイルを読み取れません（エラー番号 " + std::to_string(refusal.code) + "）。";
        case Reason::NotMusic:
            return "ファイルが壊れているか、対応していない形式です。";
        case Reason::TimedOut:
            return "ファイルの読み込みが時間内に終わりません（ディスクやネットワークが応答しません）。";
        case Reason::NoAudio:
            return "ファイルに再生できる音声がありません。";
        case Reason::NoMemory:
            return "メモリーが足りません。";
        case Reason::UnsupportedFormat:
            return "このファイルの音声形式は再生できません。";
        case Reason::NotMidi:
            return "名前は MIDI ですが、中身が MIDI ファイルではありません。";
        case Reason::DamagedMidi:
            return "MIDI ファイルが壊れています。";
        case Reason::TooLargeForMidi:
            return "MIDI ファイルとしては大きすぎます（16 MiB まで）。";
        case Reason::NoSoundfont:
            return "MIDI を鳴らすサウンドフォントがインストールされていません。";
        case Reason::NoThreads:
            return "デコードを始められません（スレッドが多すぎます）。";
        case Reason::Other:
            return "ファイルを開けません（FFmpeg のエラー " + std::to_string(refusal.code) + "）。";
    }
    return "ファイルを開けません。";
}

std::string japaneseAdvice(const Refusal& refusal) {
    switch (refusal.reason) {
        case Reason::None:
            return {};
        case Reason::Missing:
            return "移動や削除、名前の変更がされていないか確かめて、曲を選び直してください。";
        case Reason::NoPermission:
            return "ファイルの権限を確かめるか、別のファイルを選んでください。";
        case Reason::Folder:
            return "フォルダーの中の曲を選ぶか、フォルダーを曲リストにドロップしてください。";
        case Reason::NameTooLong:
            return "ファイル名を短くしてから選び直してください。";
        case Reason::LinkLoop:
            return "リンクを直すか、元のファイルを選んでください。";
        case Reason::Empty:
            return "コピーやダウンロードが終わっているか確かめて、別のファイルを選んでください。";
        case Reason::Unreadable:
        case Reason::TimedOut:
            return "ディスクやネットワークの接続を確かめて、もう一度選んでください。";
        case Reason::NoMemory:
        case Reason::NoThreads:
            return "ほかのアプリケーションを閉じて、もう一度選んでください。";
        case Reason::UnsupportedFormat:
            return "MP3 や WAV に変換したファイルを選んでください。";
        case Reason::NoSoundfont:
            return "fluid-soundfont-gm パッケージをインストールするか、環境変数 KORVEX_SOUNDFONT "
                   "でサウンドフォントを指定してください。";
        case Reason::NoFileName:
        case Reason::NotOrdinary:
        case Reason::NotMusic:
        case Reason::NoAudio:
        case Reason::NotMidi:
        case Reason::DamagedMidi:
        case Reason::TooLargeForMidi:
        case Reason::Other:
            return "別のファイルを選んでください。";
    }
    return "別のファイルを選んでください。";
}

}  // namespace korvex::decode
