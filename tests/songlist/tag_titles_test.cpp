#include "songlist/tag_titles.h"

#include <gtest/gtest.h>

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
        {kSjis, japanese},                      // a Vorbis comment or ASF text in Shift-JIS
        {asLatin1ReadAsUtf8(kSjis), japanese},  // an ID3 text in Shift-JIS marked Latin-1
        {asLatin1ReadAsUtf8("青い空"), QStringLiteral("青い空")},  // UTF-8 marked Latin-1
        {"Bj\xc3\xb6rk", QStringLiteral("Björk")},
        {asLatin1ReadAsUtf8("Bj\xf6rk"), QStringLiteral("Björk")},     // real Latin-1 stays Latin-1
        {"Bj\xf6rk", QStringLiteral("Björk")},                         // Latin-1 bytes, not UTF-8
        {"\xe9\x9d\x92\xe3\x81\x84\xe7\xa9", QStringLiteral("青い")},  // UTF-8 cut inside a character
        {"Line\r\none\ttwo\x01", QStringLiteral("Line one two")},
        {"\xff\xfe\x80\x81", QString()},  // garbage
        {"\xff\xfe"
         "A\0",
         QString()},
        {"   ", QString()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tagText(c.raw), c.shown) << QByteArray::fromStdString(c.raw).toHex().constData();
    EXPECT_EQ(tagText(std::string(1000, 'x')).size(), 200) << "a long text is cut";

    EXPECT_EQ(tagTitle({"Aoi", "青い空"}), QStringLiteral("Aoi - 青い空"));
    EXPECT_EQ(tagTitle({"", "青い空"}), QStringLiteral("青い空"));
    EXPECT_EQ(tagTitle({"Aoi", "\xff\xfe\x80"}), QString()) << "no title, no tag title";
}

}  // namespace
}  // namespace korvex::songlist
