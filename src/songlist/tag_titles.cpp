#include "songlist/tag_titles.h"

#include <QStringDecoder>
#include <chrono>

#include "base/text_lines.h"
#include "platform/audio/realtime.h"

namespace korvex::songlist {
namespace {

using Clock = std::chrono::steady_clock;

// While a long queue is read, new titles are shown at most this often.
constexpr auto kPublishEvery = std::chrono::milliseconds(150);
// Longer tag texts are cut: a title list line has no room for more.
constexpr qsizetype kMaxTextLength = 200;

bool isJapaneseLetter(char16_t c) {
    return (c >= 0x3000 && c <= 0x30FF) || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) ||
           (c >= 0xFF01 && c <= 0xFF5E);
}

bool isHalfWidthKana(char16_t c) {
    return c >= 0xFF61 && c <= 0xFF9F;
}

// True when `text` reads as Japanese: nothing undecodable, private or a control character in it, and at
// least one kana or kanji (or two half-width kana: a lone one is as likely a Latin-1 accent read as
// Shift-JIS).
bool looksJapanese(const QString& text) {
    int letters = 0;
    int halfWidth = 0;
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c == 0xFFFD || (c >= 0xE000 && c <= 0xF8FF) || c < 0x20 || (c >= 0x7F && c <= 0x9F)) return false;
        if (isJapaneseLetter(c)) ++letters;
        if (isHalfWidthKana(c)) ++halfWidth;
    }
    return letters > 0 || halfWidth > 1;
}

// Strict UTF-8: nothing when `bytes` are not valid UTF-8.
std::optional<QString> strictUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) return std::nullopt;
    return text;
}

bool hasNonAscii(const QString& text) {
    for (const QChar ch : text)
        if (ch.unicode() >= 0x80) return true;
    return false;
}

// Latin-1 reads any byte, so it is believed only of text that looks like it: letters with a few accents,
// and none of the codes Latin-1 leaves for control characters. Anything else (a byte-order mark of a UTF-16
// text stored as bytes, binary garbage) is nothing readable.
QString plausibleLatin1(const QString& text) {
    qsizetype plain = 0;
    qsizetype accented = 0;
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c >= 0x80 && c < 0xA0) return {};
        if (c >= 0x80)
            ++accented;
        else if (ch.isLetter())
            ++plain;
    }
    return plain >= accented ? text : QString();
}

// `bytes` without a last UTF-8 character that was cut short.
QByteArray withoutCutCharacter(const QByteArray& bytes) {
    for (qsizetype back = 1; back <= 3 && back <= bytes.size(); ++back) {
        const auto byte = static_cast<unsigned char>(bytes[bytes.size() - back]);
        if ((byte & 0xC0) == 0x80) continue;  // a continuation byte: its lead is further back
        const qsizetype length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return length > back ? bytes.left(bytes.size() - back) : bytes;
    }
    return bytes;
}

// What the bytes most likely say.
QString guessText(const QByteArray& bytes) {
    if (const std::optional<QString> text = strictUtf8(bytes)) {
        // Every character fits one byte: FFmpeg read an ID3 text as Latin-1. Its bytes may have been UTF-8
        // or Shift-JIS all along.
        bool oneByte = true;
        for (const QChar ch : *text) oneByte = oneByte && ch.unicode() <= 0xFF;
        if (!oneByte || !hasNonAscii(*text)) return *text;
        const QByteArray original = text->toLatin1();
        if (const std::optional<QString> utf8 = strictUtf8(original)) return *utf8;
        if (const QString sjis = base::decodeCp932(original); looksJapanese(sjis)) return sjis;
        return plausibleLatin1(*text);
    }
    // Not UTF-8. A text cut in the middle of its last character keeps what is whole, and so does one with
    // fewer broken sequences than whole characters; otherwise Shift-JIS, and failing that Latin-1.
    if (const std::optional<QString> cut = strictUtf8(withoutCutCharacter(bytes)); cut && hasNonAscii(*cut))
        return *cut;
    const QString lossy = QString::fromUtf8(bytes);
    qsizetype broken = 0;
    qsizetype whole = 0;
    for (const QChar ch : lossy) {
        if (ch.unicode() == 0xFFFD)
            ++broken;
        else if (ch.unicode() >= 0x80)
            ++whole;
    }
    if (whole > broken) return lossy;
    if (const QString sjis = base::decodeCp932(bytes); looksJapanese(sjis)) return sjis;
    return plausibleLatin1(QString::fromLatin1(bytes));
}

}  // namespace

QString tagText(const std::string& raw) {
    const QString guessed = guessText(QByteArray::fromStdString(raw));
    QString text;
    text.reserve(guessed.size());
    for (const QChar ch : guessed) {
        const char16_t c = ch.unicode();
        if (c == 0xFFFD || c == 0xFEFF) continue;
        // Line breaks, tabs and other control characters would break the list's one line.
        text += (c < 0x20 || (c >= 0x7F && c <= 0x9F)) ? QChar(u' ') : ch;
    }
    text = text.simplified();
    if (text.size() > kMaxTextLength) {
        text.truncate(kMaxTextLength);
        // Never half of a surrogate pair.
        if (text.back().isHighSurrogate()) text.chop(1);
    }
    return text;
}

QString tagTitle(const decode::SongTags& tags) {
    const QString title = tagText(tags.title);
    if (title.isEmpty()) return {};
    const QString artist = tagText(tags.artist);
    return artist.isEmpty() ? title : artist + QStringLiteral(" - ") + title;
}

TagTitles::TagTitles() : worker_([this] { run(); }) {}

TagTitles::~TagTitles() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        queue_.clear();
    }
    wake_.notify_all();
    worker_.join();
}

std::optional<QString> TagTitles::title(const QString& path) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = titles_.constFind(path);
    if (found == titles_.constEnd()) {
        titles_.insert(path, std::nullopt);
        queue_.push_back(path);
        wake_.notify_one();
        return std::nullopt;
    }
    if (!found->has_value() || (*found)->isEmpty()) return std::nullopt;
    return **found;
}

void TagTitles::run() {
    // Reading headers is background work: it never takes time from the sound or the decks.
    audio::lowerDecoderPriority();
    Clock::time_point lastPublished = Clock::now();
    bool unpublished = false;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_.load() || !queue_.empty(); });
        if (stopping_) return;
        const QString path = queue_.front();
        queue_.pop_front();
        lock.unlock();
        decode::SongTags tags;
        const QString title =
            decode::readSongTags(path.toStdString(), tags, &stopping_) ? tagTitle(tags) : QString();
        lock.lock();
        titles_.insert(path, title);
        unpublished = unpublished || !title.isEmpty();
        // Shown when the queue is done, and every so often while a long one is read.
        const Clock::time_point now = Clock::now();
        if (unpublished && (queue_.empty() || now - lastPublished >= kPublishEvery)) {
            published_.fetch_add(1, std::memory_order_release);
            lastPublished = now;
            unpublished = false;
        }
    }
}

}  // namespace korvex::songlist
