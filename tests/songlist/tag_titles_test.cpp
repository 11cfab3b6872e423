#include "songlist/tag_titles.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <mutex>

namespace korvex::songlist {
namespace {

// "日本の歌" in CP932, and the same bytes as FFmpeg hands on an ID3 text it took for Latin-1.
const std::string kSjis = "\x93\xfa\x96\x7b\x82\xcc\x89\xcc";
std::string asLatin1ReadAsUtf8(const std::string& bytes) {
    return QString::fromLatin1(QByteArray::fromStdString(bytes)).toStdString();
}

// Whatever encoding a tag's text came in, the list shows what it says or nothing, never garbage.
TEST(TagText, ShowsWhatTheTagMeantWhateverItsEncoding) {
    const QString japanese = QStringLiteral("日本の歌");
    const struct {
        std::string raw;
        QString shown;
    } cases[] = {
        {"Aoi Sora", QStringLiteral("Aoi Sora")},
        {"青い空", QStringLiteral("青い空")},
        {kSjis, japanese},                             // a Vorbis comment or ASF text in Shift-JIS
        {asLatin1ReadAsUtf8(kSjis), japanese},         // an ID3 text in Shift-JIS marked Latin-1
        {asLatin1ReadAsUtf8("青い空"), QStringLiteral("青い空")},  // UTF-8 marked Latin-1
        {"Bj\xc3\xb6rk", QStringLiteral("Björk")},
        {asLatin1ReadAsUtf8("Bj\xf6rk"), QStringLiteral("Björk")},  // real Latin-1 stays Latin-1
        {"Bj\xf6rk", QStringLiteral("Björk")},                      // Latin-1 bytes, not UTF-8
        {"\xe9\x9d\x92\xe3\x81\x84\xe7\xa9", QStringLiteral("青い")},  // UTF-8 cut inside a character
        {"Line\r\none\ttwo\x01", QStringLiteral("Line one two")},
        {"\xff\xfe\x80\x81", QString()},               // garbage
        {"\xff\xfe" "A\0", QString()},
        {"   ", QString()},
    };
    for (const auto& c : cases) EXPECT_EQ(tagText(c.raw), c.shown) << QByteArray::fromStdString(c.raw).toHex().constData();
    EXPECT_EQ(tagText(std::string(1000, 'x')).size(), 200) << "a long text is cut";

    EXPECT_EQ(tagTitle({"Aoi", "青い空"}), QStringLiteral("Aoi - 青い空"));
    EXPECT_EQ(tagTitle({"", "青い空"}), QStringLiteral("青い空"));
    EXPECT_EQ(tagTitle({"Aoi", "\xff\xfe\x80"}), QString()) << "no title, no tag title";
}

// Titles are read in the background, in the order asked, each file once; the revision moves when there
// are new ones to show, and a file that cannot be read, or has no title, shows its file name.
TEST(TagTitles, ReadsInTheBackgroundOnceEachAndSaysWhenThereIsMore) {
    std::mutex mutex;
    QStringList read;
    TagTitles titles([&](const std::string& path, decode::SongTags& tags) {
        const std::lock_guard<std::mutex> lock(mutex);
        read << QString::fromStdString(path);
        if (path == "/broken.mp3") return false;
        if (path != "/untagged.mp3") tags = {"Artist", path.substr(1, path.size() - 5)};
        return true;
    });
    const std::uint64_t before = titles.revision();
    const QStringList paths{"/one.mp3", "/broken.mp3", "/untagged.mp3", "/two.mp3"};
    for (const QString& path : paths) EXPECT_FALSE(titles.title(path)) << "not read yet";
    ASSERT_TRUE(titles.waitIdle(5000));
    EXPECT_NE(titles.revision(), before);
    EXPECT_EQ(titles.title(QStringLiteral("/one.mp3")), QStringLiteral("Artist - one"));
    EXPECT_EQ(titles.title(QStringLiteral("/two.mp3")), QStringLiteral("Artist - two"));
    EXPECT_FALSE(titles.title(QStringLiteral("/broken.mp3")));
    EXPECT_FALSE(titles.title(QStringLiteral("/untagged.mp3")));
    ASSERT_TRUE(titles.waitIdle(5000));
    const std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(read, paths);
}

}  // namespace
}  // namespace korvex::songlist
