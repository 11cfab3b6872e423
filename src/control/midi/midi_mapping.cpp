#include "control/midi/midi_mapping.h"

#include <QRegularExpression>
#include <array>
#include <cmath>
#include <utility>

#include "control/key_codes.h"

namespace korvex::midi {
namespace {

struct KindName {
    MessageKind kind;
    const char* name;
};
constexpr std::array<KindName, 5> kKinds{{{MessageKind::kNote, "note"},
                                          {MessageKind::kCc, "cc"},
                                          {MessageKind::kCc14, "cc14"},
                                          {MessageKind::kCcRelative, "ccrel"},
                                          {MessageKind::kPitchBend, "bend"}}};

std::optional<MessageKind> kindOf(const QString& word) {
    for (const KindName& k : kKinds)
        if (word == QLatin1String(k.name)) return k.kind;
    return std::nullopt;
}

QString kindName(MessageKind kind) {
    for (const KindName& k : kKinds)
        if (k.kind == kind) return QString::fromLatin1(k.name);
    return {};
}

// The named keys beside the letters and the digits.
constexpr std::array<std::pair<const char*, int>, 15> kNamedKeys{
    {{"Backspace", control::vk::kBackspace},
     {"Enter", control::vk::kEnter},
     {"Space", control::vk::kSpace},
     {"PageUp", control::vk::kPageUp},
     {"PageDown", control::vk::kPageDown},
     {"End", control::vk::kEnd},
     {"Left", control::vk::kLeft},
     {"Up", control::vk::kUp},
     {"Right", control::vk::kRight},
     {"Down", control::vk::kDown},
     {"Delete", control::vk::kDelete},
     {"Slash", control::vk::kSlash},
     {"Backslash", control::vk::kBackslash},
     {"Colon", control::vk::kColon},
     {"BracketRight", control::vk::kBracketRight}}};

// Reads a whole number in [low, high]; nullopt otherwise.
std::optional<int> number(const QString& word, int low, int high) {
    bool ok = false;
    const int n = word.toInt(&ok);
    if (!ok || n < low || n > high) return std::nullopt;
    return n;
}

// The argument word for `kind`: -1 when the operation takes none.
std::optional<int> argumentOf(ArgKind kind, const QString& word) {
    switch (kind) {
        case ArgKind::kNone:
            return -1;
        case ArgKind::kDeck:
            if (word.compare(QLatin1String("A"), Qt::CaseInsensitive) == 0) return 0;
            if (word.compare(QLatin1String("B"), Qt::CaseInsensitive) == 0) return 1;
            return std::nullopt;
        case ArgKind::kSlot:
            if (const auto n = number(word, 1, 8)) return *n - 1;
            return std::nullopt;
        case ArgKind::kKey: {
            const int code = keyCodeOf(word);
            return code > 0 ? std::optional<int>(code) : std::nullopt;
        }
    }
    return std::nullopt;
}

QString argumentText(ArgKind kind, int argument) {
    switch (kind) {
        case ArgKind::kNone:
            return {};
        case ArgKind::kDeck:
            return argument == 0 ? QStringLiteral("A") : QStringLiteral("B");
        case ArgKind::kSlot:
            return QString::number(argument + 1);
        case ArgKind::kKey:
            return keyNameOf(argument);
    }
    return {};
}

QString what(ArgKind kind) {
    switch (kind) {
        case ArgKind::kDeck:
            return QStringLiteral("デッキ（A か B）");
        case ArgKind::kSlot:
            return QStringLiteral("スロット番号（1〜8）");
        case ArgKind::kKey:
            return QStringLiteral("キーの名前");
        case ArgKind::kNone:
            break;
    }
    return {};
}

}  // namespace

int keyCodeOf(const QString& name) {
    if (name.size() == 1) {
        const QChar c = name.at(0).toUpper();
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            return control::vk::letter(static_cast<char>(c.unicode()));
        if (c >= QLatin1Char('1') && c <= QLatin1Char('8')) return control::vk::kDigit1 + (c.unicode() - '1');
    }
    for (const auto& [n, code] : kNamedKeys)
        if (name.compare(QLatin1String(n), Qt::CaseInsensitive) == 0) return code;
    return 0;
}

QString keyNameOf(int code) {
    if (code >= control::vk::kLetterA && code < control::vk::kLetterA + 26) return QChar(code);
    if (code >= control::vk::kDigit1 && code < control::vk::kDigit1 + 8) return QChar(code);
    for (const auto& [n, c] : kNamedKeys)
        if (c == code) return QString::fromLatin1(n);
    return {};
}

std::optional<Mapping> readMapping(const QString& text, const MappingCatalog& catalog, QStringList& errors) {
    Mapping mapping;
    QString port;
    const QStringList lines = text.split(QLatin1Char('\n'));
    const QRegularExpression space(QStringLiteral("\\s+"));
    const int before = static_cast<int>(errors.size());
    for (int i = 0; i < lines.size(); ++i) {
        const int lineNo = i + 1;
        QString line = lines[i];
        if (const auto hash = line.indexOf(QLatin1Char('#')); hash >= 0) line.truncate(hash);
        line = line.trimmed();
        if (line.isEmpty()) continue;
        auto fail = [&](const QString& why) { errors << QStringLiteral("%1 行目: %2").arg(lineNo).arg(why); };
        if (line.startsWith(QLatin1String("port")) && (line.size() == 4 || line.at(4).isSpace())) {
            port = line.mid(4).trimmed();
            if (port == QLatin1String("*")) port.clear();
            continue;
        }
        QStringList words = line.split(space, Qt::SkipEmptyParts);
        const bool light = words.first() == QLatin1String("light");
        if (light) words.removeFirst();
        const std::optional<MessageKind> kind = words.isEmpty() ? std::nullopt : kindOf(words.first());
        if (!kind || (light && *kind != MessageKind::kNote && *kind != MessageKind::kCc)) {
            fail(light ? QStringLiteral("light の後は note か cc です。")
                       : QStringLiteral("「%1」は分かりません（note, cc, cc14, ccrel, bend, light, port）。")
                             .arg(words.isEmpty() ? line : words.first()));
            continue;
        }
        const bool bend = *kind == MessageKind::kPitchBend;
        const int fixed = bend ? 3 : 4;  // kind, channel, [number,] name
        if (words.size() < fixed) {
            fail(QStringLiteral("チャンネル、番号、操作の名前が必要です。"));
            continue;
        }
        const auto channel = number(words[1], 1, 16);
        if (!channel) {
            fail(QStringLiteral("チャンネル「%1」は 1〜16 ではありません。").arg(words[1]));
            continue;
        }
        const auto num =
            bend ? std::optional<int>(0) : number(words[2], 0, *kind == MessageKind::kCc14 ? 31 : 127);
        if (!num) {
            fail(QStringLiteral("番号「%1」は 0〜%2 ではありません。")
                     .arg(words[2])
                     .arg(*kind == MessageKind::kCc14 ? 31 : 127));
            continue;
        }
        const QString name = words[fixed - 1];
        const std::optional<ArgKind> arg = light ? catalog.state(name) : catalog.operation(name);
        if (!arg) {
            fail(light ? QStringLiteral("状態「%1」はありません。").arg(name)
                       : QStringLiteral("操作「%1」はありません。").arg(name));
            continue;
        }
        int next = fixed;
        int argument = -1;
        if (*arg != ArgKind::kNone) {
            const auto value = next < words.size() ? argumentOf(*arg, words[next]) : std::nullopt;
            if (!value) {
                fail(QStringLiteral("「%1」には%2が必要です。").arg(name, what(*arg)));
                continue;
            }
            argument = *value;
            ++next;
        }
        Binding binding{*kind, *channel - 1, *num, name, argument, 1.0, true, false, port, lineNo};
        Light lamp{*kind, *channel - 1, *num, name, argument, 127, 0, port, lineNo};
        bool ok = true;
        for (; next < words.size() && ok; ++next) {
            const QString& option = words[next];
            const auto eq = option.indexOf(QLatin1Char('='));
            const QString key = option.left(eq);
            const QString value = eq < 0 ? QString() : option.mid(eq + 1);
            if (light && (key == QLatin1String("on") || key == QLatin1String("off"))) {
                const auto v = number(value, 0, 127);
                if (!v) {
                    fail(QStringLiteral("%1 の値「%2」は 0〜127 ではありません。").arg(key, value));
                    ok = false;
                    break;
                }
                (key == QLatin1String("on") ? lamp.on : lamp.off) = *v;
            } else if (!light && key == QLatin1String("scale")) {
                bool isNumber = false;
                binding.scale = value.toDouble(&isNumber);
                if (!isNumber || binding.scale == 0.0 || !std::isfinite(binding.scale)) {
                    fail(QStringLiteral("scale の値「%1」は数ではありません。").arg(value));
                    ok = false;
                }
            } else if (!light && (key == QLatin1String("takeover") || key == QLatin1String("invert")) &&
                       (value == QLatin1String("on") || value == QLatin1String("off"))) {
                (key == QLatin1String("takeover") ? binding.takeover : binding.invert) =
                    value == QLatin1String("on");
            } else {
                fail(QStringLiteral("「%1」は分かりません。").arg(option));
                ok = false;
            }
        }
        if (!ok) continue;
        if (light)
            mapping.lights.push_back(lamp);
        else
            mapping.bindings.push_back(binding);
    }
    if (errors.size() > before) return std::nullopt;
    return mapping;
}

QString writeMapping(const Mapping& mapping, const MappingCatalog& catalog) {
    QString text = QStringLiteral("# Korvex MIDI mapping\n");
    QString port;
    auto portLine = [&](const QString& p) {
        if (p == port) return;
        port = p;
        text += QStringLiteral("port %1\n").arg(p.isEmpty() ? QStringLiteral("*") : p);
    };
    auto head = [](MessageKind kind, int channel, int number) {
        QString s = QStringLiteral("%1 %2").arg(kindName(kind)).arg(channel + 1);
        if (kind != MessageKind::kPitchBend) s += QStringLiteral(" %1").arg(number);
        return s;
    };
    for (const Binding& b : mapping.bindings) {
        portLine(b.port);
        text += head(b.kind, b.channel, b.number) + QLatin1Char(' ') + b.operation;
        const QString arg = argumentText(catalog.operation(b.operation).value_or(ArgKind::kNone), b.argument);
        if (!arg.isEmpty()) text += QLatin1Char(' ') + arg;
        if (b.scale != 1.0) text += QStringLiteral(" scale=%1").arg(b.scale);
        if (!b.takeover) text += QStringLiteral(" takeover=off");
        if (b.invert) text += QStringLiteral(" invert=on");
        text += QLatin1Char('\n');
    }
    for (const Light& l : mapping.lights) {
        portLine(l.port);
        text += QStringLiteral("light ") + head(l.kind, l.channel, l.number) + QLatin1Char(' ') + l.state;
        const QString arg = argumentText(catalog.state(l.state).value_or(ArgKind::kNone), l.argument);
        if (!arg.isEmpty()) text += QLatin1Char(' ') + arg;
        text += QStringLiteral(" on=%1 off=%2\n").arg(l.on).arg(l.off);
    }
    return text;
}

}  // namespace korvex::midi
