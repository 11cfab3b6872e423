// A picture of the whole main window (sampler strip and song list shown) and the recorder window, put
// together from a skin's bitmaps exactly where the layout table places them, with sample texts in the
// displays, so the look can be judged without running the player.

#include "preview.h"

#include "appearance/layout_table.h"
#include "draw_kit.h"

#include <QLinearGradient>

#include <cmath>
#include <numbers>

namespace korvex::skinpainter {
namespace {

using appearance::boxOf;
using appearance::LayoutEntry;
using appearance::Panel;
using appearance::Rect;

constexpr int kMargin = 16;

// Entries shown in their pressed or active look: deck A playing, deck B waiting on its cue, pattern A
// selected, both panels shown.
bool shownActive(const LayoutEntry& e) {
    return (e.name == "Pause" && e.index == 0) || (e.name == "Play" && e.index == 1) ||
           (e.name == "FDpaturn" && e.index == 0) || e.name == "Imgsam" || e.name == "Imglist";
}

// Where the preview moves an indicator away from its design position, to show the knobs at work.
Rect shownBox(const LayoutEntry& e) {
    Rect b = e.box;
    if (e.name == "pitchbtn" && e.index == 0) b.top = 2250;
    if (e.name == "Volbtn" && e.index == 0) b.top = 2130;
    if (e.name == "masterbtn" && e.index == 1) b.top = 4040;
    if (e.name == "Faderbtn") b.left = 4680;
    if (e.name == "panbtn" && e.index == 1) b.left = 9100;
    if (e.name == "jogbtn") {
        // The jog pad rests at the top of its circle.
        const appearance::JogOrbit o = appearance::jogOrbit(e.index);
        b.left = static_cast<int>(std::lround(o.centreX - e.box.width / 2.0));
        b.top = static_cast<int>(std::lround(o.centreY - e.box.height / 2.0 - o.radiusX));
    }
    return b;
}

QFont textFont(const QString& family, double points) {
    QFont f(family);
    f.setPixelSize(static_cast<int>(std::lround(points * 96.0 / 72.0)));
    return f;
}

void label(QPainter& p, QPointF origin, const char* name, int index, const QString& text, const QFont& font,
           const QColor& colour, Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter) {
    const QRectF r = pxRect(boxOf(name, index)).translated(origin);
    p.setFont(font);
    p.setPen(colour);
    p.drawText(r, static_cast<int>(align), text);
}

void deckTexts(QPainter& p, QPointF player, const Palette& pal) {
    const QFont display = textFont(pal.fontName, pal.displaySize);
    const QFont small = textFont(pal.fontName, 9);
    const QFont tiny = textFont(pal.fontName, 8);
    const QColor c = pal.displayText[0];
    label(p, player, "text2", 0, QStringLiteral("01'05''250"), display, pal.displayText[0]);
    label(p, player, "text2", 1, QStringLiteral("夜明けのビート・リミ"), display, pal.displayText[1]);
    label(p, player, "lbfilename", 0, QStringLiteral("Midnight Drive (Club Mix)"), small, c);
    label(p, player, "lbfilename", 1, QStringLiteral("CUE STAND BY!"), small, c);
    label(p, player, "modelabel", 0, QStringLiteral("CUE"), tiny, c);
    label(p, player, "modelabel", 1, QStringLiteral("START"), tiny, c);
    label(p, player, "Keyfocus", 0, QStringLiteral("◆ KEY"), tiny, c);
    label(p, player, "Pitchper", 0, QStringLiteral("+03.3%"), tiny, c, Qt::AlignRight | Qt::AlignVCenter);
    label(p, player, "Pitchper", 1, QStringLiteral("00.0%"), tiny, c, Qt::AlignRight | Qt::AlignVCenter);
    label(p, player, "Totaltime", 0, QStringLiteral("/03'25"), tiny, c, Qt::AlignRight | Qt::AlignVCenter);
    label(p, player, "Totaltime", 1, QStringLiteral("/04'12"), tiny, c, Qt::AlignRight | Qt::AlignVCenter);
}

void trimNeedles(QPainter& p, QPointF player, const Palette& pal) {
    const double angles[] = {90.0, 55.0};  // deck A straight up, deck B turned towards "+"
    for (int deck = 0; deck < 2; ++deck) {
        const appearance::TrimNeedle& n = appearance::kTrimNeedles[static_cast<std::size_t>(deck)];
        const double a = angles[deck] * std::numbers::pi / 180.0;
        const QPointF from = QPointF(px(n.centreX), px(n.centreY)) + player;
        const QPointF to = from + QPointF(std::cos(a), -std::sin(a)) * px(n.length);
        p.setPen(QPen(pal.needle, 2, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(from, to);
    }
}

void lists(QPainter& p, QPointF list, const Palette& pal) {
    const QStringList songs[2] = {
        {QStringLiteral("Midnight Drive (Club Mix).mp3"), QStringLiteral("Sunrise Over Osaka.mp3"),
         QStringLiteral("夜明けのビート.mp3"), QStringLiteral("Deep Current.wav"),
         QStringLiteral("Neon Rain.wma"), QStringLiteral("Last Train Home.mp3"),
         QStringLiteral("Harbour Lights.mp3")},
        {QStringLiteral("Afterglow.mp3"), QStringLiteral("夜明けのビート・リミックス.mp3"),
         QStringLiteral("Bassline Theory.mp3"), QStringLiteral("Slow Motion City.mid"),
         QStringLiteral("Velvet Hours.mp3")}};
    const QFont font = textFont(pal.fontName, pal.listSize);
    for (int deck = 0; deck < 2; ++deck) {
        const QRectF r = pxRect(boxOf("title1", deck)).translated(list);
        p.fillRect(r, pal.listBack);
        p.setFont(font);
        const double row = 16;
        for (int i = 0; i < songs[deck].size(); ++i) {
            const QRectF line(r.left(), r.top() + 1 + i * row, r.width(), row);
            if (line.bottom() > r.bottom()) break;
            const bool current = i == (deck == 0 ? 0 : 1);
            if (current) p.fillRect(line, withAlpha(pal.accent, 150));
            p.setPen(current ? QColor(Qt::white) : pal.listText[deck]);
            p.drawText(line.adjusted(4, 0, -4, 0), Qt::AlignLeft | Qt::AlignVCenter, songs[deck][i]);
        }
    }
}

void drawWindow(QPainter& p, const Images& images, Panel which, QPointF at, const Palette& pal) {
    // Backgrounds first, then controls, indicators last.
    for (int pass = 0; pass < 3; ++pass) {
        for (const LayoutEntry& e : appearance::kLayout) {
            if ((e.panel == Panel::kRecorder) != (which == Panel::kRecorder)) continue;
            if (e.look == appearance::Look::kNone || e.name.starts_with("mini")) continue;
            const int order = e.role == appearance::Role::kBackground  ? 0
                              : e.role == appearance::Role::kIndicator ? 2
                                                                       : 1;
            if (order != pass) continue;
            const appearance::Point o = appearance::panelOrigin(e.panel, true);
            const Rect b = shownBox(e);
            const QPointF pos = at + QPointF(px(o.x + b.left), px(o.y + b.top));
            const auto found = images.find(appearance::bitmapFile(e, shownActive(e)));
            if (found == images.end()) continue;
            p.drawImage(QPointF(std::round(pos.x()), std::round(pos.y())), found->second);
        }
        if (pass == 1 && which != Panel::kRecorder) {
            const appearance::Point o = appearance::panelOrigin(Panel::kPlayerPanel, true);
            trimNeedles(p, at + QPointF(px(o.x), px(o.y)), pal);
        }
    }
}

}  // namespace

QImage composePreview(const Palette& pal, const Images& images) {
    const QSize window(static_cast<int>(px(appearance::kWindowWidth)),
                       static_cast<int>(px(appearance::windowHeight(true, true, false))));
    const QSize recorder(static_cast<int>(px(appearance::kRecorderWidth)),
                         static_cast<int>(px(appearance::kRecorderHeight)));
    QImage img(window.width() + recorder.width() + 3 * kMargin, window.height() + 2 * kMargin,
               QImage::Format_RGB32);
    QPainter p(&img);
    prepare(p);
    QLinearGradient desk(0, 0, 0, img.height());
    desk.setColorAt(0.0, QColor(0x4a5058));
    desk.setColorAt(1.0, QColor(0x262a30));
    p.fillRect(img.rect(), desk);

    const QPointF main(kMargin, kMargin);
    const QPointF rec(2 * kMargin + window.width(), kMargin);
    for (const QRectF& r : {QRectF(main, window), QRectF(rec, recorder)}) {
        glow(p, r.center() + QPointF(0, 4), std::max(r.width(), r.height()) * 0.62, QColor(0, 0, 0), 60);
        p.fillRect(r.adjusted(-1, -1, 1, 1), QColor(0, 0, 0));
    }
    p.fillRect(QRectF(main, window), pal.base);
    drawWindow(p, images, Panel::kWindow, main, pal);
    drawWindow(p, images, Panel::kRecorder, rec, pal);

    // Sample texts.
    const QFont small = textFont(pal.fontName, 8);
    p.setFont(small);
    label(p, main, "topbar", -1, QStringLiteral("Ver.0.1.0"), small, pal.displayText[0]);
    const appearance::Point strip = appearance::panelOrigin(Panel::kSamplerStrip, true);
    const QString slotTexts[8] = {QStringLiteral("1:kick.wav"),
                                  QStringLiteral("2:snare.wav"),
                                  QStringLiteral("3:ハイハット.wav"),
                                  QStringLiteral("4:horn.wav"),
                                  QStringLiteral("5:scratch.wav"),
                                  QStringLiteral("6:"),
                                  QStringLiteral("7:"),
                                  QStringLiteral("8:")};
    for (int i = 0; i < 8; ++i) {
        label(p, main + QPointF(px(strip.x), px(strip.y)), "Text1", i, QStringLiteral(" ") + slotTexts[i],
              textFont(pal.fontName, pal.slotSize), pal.slotText);
    }
    const appearance::Point player = appearance::panelOrigin(Panel::kPlayerPanel, true);
    deckTexts(p, main + QPointF(px(player.x), px(player.y)), pal);
    const appearance::Point list = appearance::panelOrigin(Panel::kListPanel, true);
    lists(p, main + QPointF(px(list.x), px(list.y)), pal);
    label(p, rec, "Label1", -1, QStringLiteral("REC 01:05. 3"), textFont(pal.fontName, 12),
          pal.displayText[0], Qt::AlignCenter);
    return img;
}

}  // namespace korvex::skinpainter
