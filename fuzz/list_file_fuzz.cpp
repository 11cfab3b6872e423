// Song list file reader on arbitrary bytes: the two deck blocks as the list load reads them. Whatever it
// reads must be written by save1 and read back unchanged.

#include <QByteArray>
#include <QStringList>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "songlist/song_list.h"
#include "songlist/song_list_file.h"
#include "base/text_lines.h"

namespace {

using namespace korvex::songlist;

// Reads up to two deck blocks, stopping at the first that is not complete, as the list load does.
void readBlocks(const QStringList& lines, std::array<SongList, 2>& lists) {
    LineSource in(lines);
    for (SongList& list : lists) {
        if (readDeckBlock(in, list) != BlockRead::Complete) return;
    }
}

QStringList written(const std::array<SongList, 2>& lists) {
    QStringList out;
    for (const SongList& list : lists) save1(list, out);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    std::array<SongList, 2> lists;
    readBlocks(splitLines(decodeText(bytes)), lists);

    const QStringList first = written(lists);
    std::array<SongList, 2> again;
    LineSource in(splitLines(decodeText(encodeLines(first))));
    for (SongList& list : again) {
        if (readDeckBlock(in, list) != BlockRead::Complete) std::abort();
    }
    if (written(again) != first) std::abort();
    return 0;
}
