// What a user sees of the windows in both shipped skins: the sampler dialog's controls neither overlap nor
// cut their captions in any slot mode, every tooltip is readable, and the mini bar shows its title whole.
// Set KORVEX_SCREENSHOT_DIR to keep pictures of the sampler dialog in each mode.

#include <gtest/gtest.h>
#include <sndfile.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QTemporaryDir>
#include <QToolTip>
#include <cmath>

#include "app/ui/deck_display.h"
#include "ui/ui_helpers.h"

namespace korvex::test {
namespace {

// WCAG's relative luminance of a colour and the contrast ratio of two.
double luminance(const QColor& c) {
    auto lin = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * lin(c.redF()) + 0.7152 * lin(c.greenF()) + 0.0722 * lin(c.blueF());
}
double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A 16-bit wave file of one second of 440 Hz with `channels` channels.
void writeTone(const QString& path, int channels) {
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.toLocal8Bit().constData(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    std::vector<float> samples;
    for (int i = 0; i < 44100; ++i)
        for (int c = 0; c < channels; ++c)
            samples.push_back(0.3f * static_cast<float>(std::sin(2.0 * 3.14159265 * 440.0 * i / 44100.0)));
    sf_writef_float(file, samples.data(), 44100);
    sf_close(file);
}

// Why `widget` does not show its caption whole, or nothing when it does.
QString cutCaption(QWidget* widget) {
    const QFontMetrics metrics = widget->fontMetrics();
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        if (label->text().isEmpty()) return {};
        const QRect room = label->contentsRect();
        // Its lines as they are broken, or as it wraps them.
        const QStringList lines = label->text().split(QLatin1Char('\n'));
        int widest = 0;
        for (const QString& line : lines) widest = std::max(widest, metrics.horizontalAdvance(line));
        const int needed =
            label->wordWrap() ? label->heightForWidth(room.width())
                              : static_cast<int>(lines.size() - 1) * metrics.lineSpacing() + metrics.height();
        if (!label->wordWrap() && widest > room.width()) return QStringLiteral("too narrow");
        if (needed > room.height()) return QStringLiteral("too low: %1 of %2").arg(room.height()).arg(needed);
        return {};
    }
    if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        QStyleOptionButton option;
        option.initFrom(box);
        option.text = box->text();
        const QRect room = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
        if (metrics.horizontalAdvance(box->text()) > room.width()) return QStringLiteral("too narrow");
        if (metrics.height() > room.height()) return QStringLiteral("too low");
        return {};
    }
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const QRect room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        if (metrics.horizontalAdvance(button->text()) > room.width()) return QStringLiteral("too narrow");
        return {};
    }
    if (auto* frame = qobject_cast<QGroupBox*>(widget)) {
        // The title plus its indent on the frame's line.
        if (metrics.horizontalAdvance(frame->title()) + 2 * metrics.averageCharWidth() > frame->width())
            return QStringLiteral("title too long");
    }
    return {};
}

// Every visible control of `root` that another visible control, not its ancestor, overlaps, or that lies
// outside its parent, or whose caption is cut; empty when everything is in the clear.
QStringList layoutFaults(QWidget* root) {
    QStringList faults;
    auto name = [](QWidget* w) {
        QString caption;
        if (auto* l = qobject_cast<QLabel*>(w))
            caption = l->text();
        else if (auto* b = qobject_cast<QAbstractButton*>(w))
            caption = b->text();
        else if (auto* g = qobject_cast<QGroupBox*>(w))
            caption = g->title();
        return QString::fromLatin1(w->metaObject()->className()) + QStringLiteral(" \"") + caption +
               QLatin1Char('"');
    };
    // The controls as the window system stacks them, in the window's coordinates.
    QList<QWidget*> shown;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(root) || w->isWindow()) continue;
        // The parts of a composite control (a list's scroll bars) belong to it; frames and plain rows hold
        // controls of their own.
        QWidget* parent = w->parentWidget();
        const bool container = parent == root || qobject_cast<QGroupBox*>(parent) != nullptr ||
                               parent->metaObject() == &QWidget::staticMetaObject;
        if (!container) continue;
        shown << w;
        const QRect inParent = w->geometry();
        if (!w->parentWidget()->rect().contains(inParent))
            faults << name(w) + QStringLiteral(" reaches outside its window or frame");
        const QString cut = cutCaption(w);
        if (!cut.isEmpty()) faults << name(w) + QStringLiteral(" cut: ") + cut;
    }
    for (qsizetype i = 0; i < shown.size(); ++i) {
        for (qsizetype k = i + 1; k < shown.size(); ++k) {
            QWidget* a = shown[i];
            QWidget* b = shown[k];
            if (a->isAncestorOf(b) || b->isAncestorOf(a)) continue;
            const QRect ra(a->mapTo(root, QPoint(0, 0)), a->size());
            const QRect rb(b->mapTo(root, QPoint(0, 0)), b->size());
            if (ra.intersects(rb)) faults << name(a) + QStringLiteral(" overlaps ") + name(b);
        }
    }
    return faults;
}

// The player in one of the shipped skins, on the real sound engine with nothing to hear.
class WindowLook : public WindowTest, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        writeLines(settingsPath(),
                   QStringList{"0", "0", "-1", "-1"} + settingsTail(QString::fromLatin1(GetParam())));
        start();
        ASSERT_EQ(app_->skinname(), QString::fromLatin1(GetParam()));
    }
    void TearDown() override {
        WindowTest::TearDown();
        QFile::remove(settingsPath());
    }
    // Loads a tone of `channels` channels into `slot` in "SAMPLER MODE" or "EFFECTER MODE" and opens the
    // slot's sampler dialog from its label.
    sampler::SamplerDialog* openDialog(int slot, int channels, bool effecter) {
        const QString path = dir_.filePath(QStringLiteral("tone%1.wav").arg(channels));
        writeTone(path, channels);
        QLabel* label = window().label("Text1", slot);
        dropFiles(label, {path});
        sampler::ModeDialog* modes = app_->sampler().modeDialog();
        if (modes == nullptr) return nullptr;
        QTest::mouseClick(effecter ? modes->effecterLabel() : modes->samplerLabel(), Qt::LeftButton);
        QTest::mousePress(label, Qt::RightButton);
        sampler::SamplerDialog* dialog = app_->sampler().samplerDialog();
        if (dialog != nullptr) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog));
        }
        return dialog;
    }
};

TEST_P(WindowLook, SamplerDialogShowsEveryControlWholeInEachMode) {
    struct Case {
        int channels;
        bool effecter;
        int mode;
    };
    const QString shots = qEnvironmentVariable("KORVEX_SCREENSHOT_DIR");
    for (const Case c : {Case{1, false, 0}, Case{1, true, 1}, Case{2, false, 2}, Case{2, true, 3}}) {
        SCOPED_TRACE(c.mode);
        sampler::SamplerDialog* dialog = openDialog(c.mode, c.channels, c.effecter);
        ASSERT_NE(dialog, nullptr);
        ASSERT_EQ(app_->sampler().slots().slotmode(c.mode), c.mode);
        if (c.effecter) {
            // A ticked effect enables its settings button, as a user would see it.
            QTest::mouseClick(dialog->check1(4), Qt::LeftButton, {},
                              QPoint(6, dialog->check1(4)->height() / 2));
            ASSERT_TRUE(dialog->check1(4)->isChecked());
        }
        if (!shots.isEmpty())
            dialog->grab().save(shots + QStringLiteral("/sampler-%1-mode%2.png").arg(GetParam()).arg(c.mode));
        const QStringList faults = layoutFaults(dialog);
        EXPECT_TRUE(faults.isEmpty()) << faults.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(dialog->effectFrame()->isVisible(), c.effecter);
        QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
        QTest::qWait(10);
    }
}

// The mode dialog, the seven effect dialogs, the configuration and the skin dialog show their controls
// whole as well.
TEST_P(WindowLook, TheOtherDialogsShowEveryControlWhole) {
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            ADD_FAILURE() << box->text().toStdString();
            box->reject();
        }
    });
    watch.start(50);
    sampler::SamplerDialog* dialog = openDialog(0, 1, true);
    ASSERT_NE(dialog, nullptr);
    for (int box : {0, 1, 2, 3, 4, 5, 7}) dialog->check1(box)->click();
    QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
    QTest::qWait(10);
    // Each dialog is looked at as it opens: opening the next may close it.
    auto look = [](QWidget* shown) {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(shown));
        const QString shots = qEnvironmentVariable("KORVEX_SCREENSHOT_DIR");
        if (!shots.isEmpty())
            shown->grab().save(shots + QLatin1Char('/') + shown->windowTitle().trimmed() +
                               QStringLiteral(".png"));
        const QStringList faults = layoutFaults(shown);
        EXPECT_TRUE(faults.isEmpty()) << shown->windowTitle().toStdString() << ":\n"
                                      << faults.join(QLatin1Char('\n')).toStdString();
    };
    QTest::mousePress(window().label("Text1", 0), Qt::RightButton);
    dialog = app_->sampler().samplerDialog();
    ASSERT_NE(dialog, nullptr);
    for (int box : {0, 1, 2, 3, 4, 5, 7}) {
        dialog->efectcfg(box)->click();
        const std::vector<sampler::EffectDialog*> open = app_->sampler().effectDialogs().openDialogs();
        ASSERT_FALSE(open.empty()) << box;
        look(open.back());
    }
    dropFiles(window().label("Text1", 1), {dir_.filePath(QStringLiteral("tone1.wav"))});
    ASSERT_NE(app_->sampler().modeDialog(), nullptr);
    look(app_->sampler().modeDialog());
    look(app_->showConfiguration());
    look(app_->showSkinDialog());
}

// Every tooltip of the player, its dialogs open, in dark text on a light ground (WCAG AA: 4.5:1 at least).
TEST_P(WindowLook, EveryTooltipIsReadable) {
    ASSERT_NE(openDialog(0, 1, true), nullptr);
    app_->showConfiguration();
    app_->showSkinDialog();
    int seen = 0;
    for (QWidget* widget : QApplication::allWidgets()) {
        if (widget->toolTip().isEmpty() || widget->inherits("QTipLabel")) continue;
        QToolTip::showText(widget->mapToGlobal(QPoint(2, 2)), widget->toolTip(), widget);
        QWidget* tip = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->inherits("QTipLabel") && top->isVisible()) tip = top;
        ASSERT_NE(tip, nullptr) << widget->toolTip().toStdString();
        tip->ensurePolished();
        const QColor text = tip->palette().color(tip->foregroundRole());
        // The ground as drawn, inside the border.
        const QColor ground = tip->grab().toImage().pixelColor(tip->width() - 2, 1);
        EXPECT_GE(contrast(text, ground), 4.5)
            << widget->toolTip().toStdString() << ": " << text.name().toStdString() << " on "
            << ground.name().toStdString();
        QToolTip::hideText();
        ++seen;
    }
    // The slot labels, the knobs, the buttons, the lists and the dialogs' hints.
    EXPECT_GT(seen, 30);
}

// The mini bar shows its title and time whole, Japanese and descenders included, inside the bar.
TEST_P(WindowLook, TheMiniBarShowsItsTitleWhole) {
    const QString song = tone(QStringLiteral("gypsy ぎゃ.wav"));
    dropFiles(window().titleList(0)->viewport(), {song});
    pressPlay(window(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window().label("lbfilename", 0)->text().isEmpty(); }, 2000));
    click(window().picture("Tobar"));
    QLabel* title = window().label("topbar");
    QLabel* time = window().label("bartime");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !time->text().isEmpty(); }, 2000));
    EXPECT_TRUE(title->text().startsWith(QStringLiteral("gypsy"))) << title->text().toStdString();
    for (QLabel* label : {title, time}) {
        SCOPED_TRACE(label->text().toStdString());
        EXPECT_EQ(cutCaption(label).toStdString(), "");
        const QRect inWindow(label->mapTo(&window(), QPoint(0, 0)), label->size());
        EXPECT_TRUE(window().rect().contains(inWindow)) << inWindow.bottom() << " of " << window().height();
    }
    const QString shots = qEnvironmentVariable("KORVEX_SCREENSHOT_DIR");
    if (!shots.isEmpty()) window().grab().save(shots + QStringLiteral("/minibar-%1.png").arg(GetParam()));
}

// A picture the window counts as hiding what lies behind it (so the panels under a display that changes 33
// times a second are not painted again) really covers every pixel of its place; the panels do.
TEST_P(WindowLook, APictureCountedOpaqueCoversItsWholePlace) {
    int opaque = 0;
    for (auto* picture : window().findChildren<appearance::PictureWidget*>()) {
        if (!picture->testAttribute(Qt::WA_OpaquePaintEvent)) continue;
        ++opaque;
        QImage drawn(picture->size(), QImage::Format_ARGB32);
        drawn.fill(Qt::transparent);
        picture->render(&drawn, QPoint(), QRegion(), QWidget::RenderFlags());
        for (int y = 0; y < drawn.height(); ++y)
            for (int x = 0; x < drawn.width(); ++x)
                ASSERT_EQ(qAlpha(drawn.pixel(x, y)), 255) << picture->picturePath().toStdString() << " at " << x
                                                          << "," << y;
    }
    EXPECT_GT(opaque, 3);
    // The sampler strip, the player panel and the list panel.
    for (const char* panel : {"Picture8", "Picture4", "Picture5"})
        EXPECT_TRUE(window().picture(panel)->testAttribute(Qt::WA_OpaquePaintEvent)) << panel;
}

// A deck's display paints a time from the shape it laid out once, and what it paints is what the label it
// stands in for would paint, pixel for pixel, in each skin's display font: any time, the flash, a font of
// another size. A title or a message is painted as a label paints it.
TEST_P(WindowLook, ADeckDisplayPaintsATimeAsALabelWould) {
    for (int deck = 0; deck < 2; ++deck) {
        auto* display = dynamic_cast<app::DeckDisplay*>(window().label("text2", deck));
        ASSERT_NE(display, nullptr);
        QLabel label(display->parentWidget());
        label.setGeometry(display->geometry());
        label.setFont(display->font());
        label.setAlignment(display->alignment());
        auto draw = [](QLabel* widget, const QString& text) {
            widget->setText(text);
            QImage drawn(widget->size(), QImage::Format_ARGB32_Premultiplied);
            drawn.fill(Qt::transparent);
            widget->render(&drawn, QPoint(), QRegion(), QWidget::RenderFlags());
            return drawn;
        };
        auto compare = [&](const QString& text, bool fromShape) {
            label.setStyleSheet(display->styleSheet());
            const QImage expected = draw(&label, text);
            const QImage drawn = draw(display, text);
            EXPECT_EQ(display->paintedFromShape(), fromShape) << text.toStdString();
            EXPECT_TRUE(drawn == expected) << GetParam() << " deck " << deck << ": " << text.toStdString();
        };
        for (const char* time : {"00'06''739", "00'00''000", "12'34''567", "59'59''999", "125'00''000", "98'76''543",
                                 "01'11''111", "-", "07:41"})
            compare(QString::fromLatin1(time), std::string_view(time) != "-");
        for (const QString& text : {QStringLiteral("korvex-bench-5min-2"), QStringLiteral("曲 01'00''000"),
                                    QStringLiteral("サウンドデバイスがありません")})
            compare(text, false);
        window().flashTitle(deck);
        compare(QStringLiteral("03'21''004"), true);
        QFont larger = display->font();
        larger.setPointSizeF(larger.pointSizeF() * 1.5);
        display->setFont(larger);
        label.setFont(larger);
        compare(QStringLiteral("03'21''004"), true);
        compare(QStringLiteral("10'09''876"), true);
    }
}

// A picture lets what lies behind it show where it does not paint: without a bitmap (a skin that lacks it),
// with a bitmap smaller than its place, or with transparency.
TEST(PictureWidgetLook, APictureThatLeavesGapsIsNotOpaque) {
    QTemporaryDir dir;
    auto bitmap = [&](const char* name, QSize size, QImage::Format format, QColor fill) {
        QImage image(size, format);
        image.fill(fill);
        const QString path = dir.filePath(QString::fromLatin1(name));
        image.save(path);
        return path;
    };
    const QString full = bitmap("full.bmp", {20, 10}, QImage::Format_RGB32, Qt::red);
    const QString small = bitmap("small.bmp", {10, 10}, QImage::Format_RGB32, Qt::red);
    const QString clear = bitmap("clear.png", {20, 10}, QImage::Format_ARGB32, QColor(255, 0, 0, 100));
    appearance::PictureWidget picture;
    picture.resize(20, 10);
    picture.show();
    EXPECT_FALSE(picture.testAttribute(Qt::WA_OpaquePaintEvent));
    ASSERT_TRUE(picture.setPicture(full));
    EXPECT_TRUE(picture.testAttribute(Qt::WA_OpaquePaintEvent));
    picture.resize(21, 10);
    EXPECT_FALSE(picture.testAttribute(Qt::WA_OpaquePaintEvent));
    picture.resize(20, 10);
    ASSERT_TRUE(picture.setPicture(small));
    EXPECT_FALSE(picture.testAttribute(Qt::WA_OpaquePaintEvent));
    ASSERT_TRUE(picture.setPicture(clear));
    EXPECT_FALSE(picture.testAttribute(Qt::WA_OpaquePaintEvent));
    ASSERT_TRUE(picture.setPicture(full));
    picture.clearPicture();
    EXPECT_FALSE(picture.testAttribute(Qt::WA_OpaquePaintEvent));
}

// A bitmap the skin lacks is looked for once, not on every redraw, until the skin changes; the picture
// shown before it stays, and a painted key shows where the skin has none.
TEST(PictureWidgetLook, ABitmapTheSkinLacksIsLookedForOnce) {
    QTemporaryDir dir;
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(dir.filePath(QStringLiteral("play1.bmp"))));
    QStringList asked;
    app::MainWindow window([&](const std::string&, int, const QString& bitmap) {
        asked << bitmap;
        return dir.filePath(bitmap);
    });
    asked.clear();
    window.forgetBitmaps();
    ASSERT_TRUE(window.showBitmap("Pause", 0, QStringLiteral("play1.bmp")));
    for (int tick = 0; tick < 3; ++tick) {
        EXPECT_FALSE(window.showBitmap("Pause", 0, QStringLiteral("play2.bmp")));
        window.showPaintedButton("keylock", 0, QStringLiteral("keylock1.bmp"), QStringLiteral("KEY"), false);
    }
    EXPECT_EQ(asked.join(u' ').toStdString(), "play1.bmp play2.bmp keylock1.bmp");
    EXPECT_TRUE(window.picture("Pause", 0)->picturePath().endsWith(QStringLiteral("play1.bmp")));
    EXPECT_TRUE(window.picture("keylock", 0)->picturePath().isEmpty());
    window.forgetBitmaps();
    EXPECT_FALSE(window.showBitmap("Pause", 0, QStringLiteral("play2.bmp")));
    EXPECT_EQ(asked.size(), 4);
}

INSTANTIATE_TEST_SUITE_P(ShippedSkins, WindowLook, ::testing::Values("orange", "steel"));

}  // namespace
}  // namespace korvex::test
