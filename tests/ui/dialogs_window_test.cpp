// The configuration dialog, the font and skin dialog and the mini bar as a user works them in the player.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QImage>
#include <QPainter>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <functional>
#include <map>
#include <string>

#include "app/startup.h"
#include "appearance/layout_table.h"
#include "support/beat_tracks.h"
#include "support/fake_sound_buffer.h"
#include "ui/ui_helpers.h"

namespace korvex::test {
namespace {

int px(int twips) {
    return qRound(twips / static_cast<double>(appearance::kTwipsPerPixel));
}

// Answers every message box that shows with `answer` (or its first button), noting its text.
class BoxAnswerer {
public:
    BoxAnswerer() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) return;
            texts << box->text();
            QAbstractButton* button = box->button(answer);
            if (button == nullptr) button = box->buttons().value(0);
            button->click();
        });
        timer_.start(10);
    }
    QStringList texts;
    QMessageBox::StandardButton answer = QMessageBox::Ok;

private:
    QTimer timer_;
};

// Clicks a check box or an option button on its indicator (a wide button's centre may lie beyond its text).
void clickIndicator(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

// The colour a label draws its text in.
std::string textColour(QLabel* label) {
    label->ensurePolished();
    return label->palette().color(label->foregroundRole()).name().toStdString();
}

QAction* menuAction(QMenuBar* bar, const QString& caption) {
    for (QAction* action : bar->actions())
        if (action->text() == caption) return action;
    return nullptr;
}

using DialogsWindow = WindowTest;

TEST_F(DialogsWindow, ConfigurationOpensFromItsMenuAndWritesTheSettingsAtOnce) {
    QAction* item = menuAction(window().menuBar(), QStringLiteral("設定"));
    ASSERT_NE(item, nullptr);
    ASSERT_TRUE(item->isEnabled());
    item->trigger();
    mixer::ConfigurationWindow* dialog = app_->configurationWindow();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->isModal());

    // A slider move redraws its two line ends in the curve picture.
    dialog->fdSlider(0)->setValue(100);
    EXPECT_EQ(dialog->curve()->lines()[3].x2, 467);
    EXPECT_EQ(dialog->curve()->lines()[4].x1, 467);
    dialog->fdSlider(3)->setValue(250);
    EXPECT_EQ(dialog->curve()->lines()[0].x2, 1767);
    EXPECT_EQ(dialog->curve()->lines()[1].x1, 1767);

    // "記憶" with a switch time of 0: the message, then 100.
    BoxAnswerer boxes;
    QLineEdit* time = dialog->switchTimeBox();
    time->clear();
    QTest::keyClicks(time, QStringLiteral("0"));
    QTest::mouseClick(dialog->fdrec(), Qt::LeftButton);
    EXPECT_EQ(boxes.texts, QStringList{QStringLiteral("値が不正です。")});
    EXPECT_EQ(player().settings().switchtime[0], 100);
    EXPECT_EQ(player().mixer().settings().fadertable[0], 100);
    EXPECT_EQ(player().mixer().settings().fadertable[9], 250);
    EXPECT_EQ(time->text(), QStringLiteral(" 100"));

    // "11,025kHz" stores 2 and is selected again when the dialog opens anew.
    clickIndicator(dialog->bitrate(0));
    EXPECT_EQ(player().settings().recrate, 2);
    QTest::mouseClick(dialog->gyap(), Qt::LeftButton, {}, QPoint(dialog->gyap()->width() - 2, 5));
    EXPECT_GT(player().settings().gapticks, 10);
    dialog->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(app_->configurationWindow(), nullptr);
    dialog = app_->showConfiguration();
    EXPECT_TRUE(dialog->bitrate(0)->isChecked());
    EXPECT_FALSE(dialog->bitrate(2)->isChecked());
    EXPECT_EQ(dialog->switchTimeBox()->text(), QStringLiteral(" 100"));
    EXPECT_EQ(dialog->gyap()->value(), player().settings().gapticks);

    // REC records the player's own mix unless "再生音を直接録音" is unticked, and the dialog says so.
    auto* source = dialog->findChild<QCheckBox*>(QStringLiteral("recsource"));
    auto* hint = dialog->findChild<QLabel*>(QStringLiteral("recsourceHint"));
    ASSERT_NE(source, nullptr);
    ASSERT_NE(hint, nullptr);
    EXPECT_TRUE(source->isChecked());
    EXPECT_EQ(player().settings().recsource, deck::DeckSettings::RecordSource::Mix);
    EXPECT_TRUE(hint->text().contains(QStringLiteral("入力デバイス")));
    clickIndicator(source);
    EXPECT_EQ(player().settings().recsource, deck::DeckSettings::RecordSource::Input);
}

// Each control of the configuration dialog moved once, as a user moves it: exactly its own setting changes.
TEST_F(DialogsWindow, EachConfigurationControlWritesItsOwnSettingAndNoOther) {
    mixer::ConfigurationWindow* dialog = app_->showConfiguration();
    deck::DeckSettings& deck = player().settings();
    mixer::MixerSettings& mixer = player().mixer().settings();
    auto settings = [&] {
        std::map<std::string, int> now{{"gapticks", deck.gapticks},
                                       {"headinterval", deck.headinterval},
                                       {"newtrim", player().newtrim()},
                                       {"playonswitch", mixer.playonswitch},
                                       {"rec8bit", deck.rec8bit},
                                       {"recmono", deck.recmono},
                                       {"recrate", deck.recrate},
                                       {"autorec", deck.autorec},
                                       {"recsource", static_cast<int>(deck.recsource)},
                                       {"samplerenabled", app_->samplerenabled()},
                                       {"samplerview", app_->layout().flags.samplerview}};
        for (std::size_t i = 0; i < mixer.fadertable.size(); ++i)
            now["fadertable" + std::to_string(i)] = mixer.fadertable[i];
        for (std::size_t i = 0; i < deck.switchtime.size(); ++i)
            now["switchtime" + std::to_string(i)] = deck.switchtime[i];
        return now;
    };
    // Runs `action`; the settings afterwards are those before with `changes`.
    auto expectOnly = [&](const char* what, const std::function<void()>& action,
                          const std::map<std::string, int>& changes) {
        SCOPED_TRACE(what);
        std::map<std::string, int> expected = settings();
        action();
        for (const auto& [name, value] : changes) expected[name] = value;
        EXPECT_EQ(settings(), expected);
    };
    auto key = [](QWidget* widget, Qt::Key k, int times = 1) {
        for (int i = 0; i < times; ++i) QTest::keyClick(widget, k);
    };

    ASSERT_EQ(deck.headinterval, 2);
    ASSERT_EQ(player().newtrim(), 20);
    expectOnly("TRIM初期値", [&] { key(dialog->strim(), Qt::Key_End); }, {{"newtrim", 40}});
    expectOnly("頭再生の間隔", [&] { key(dialog->slsarch(), Qt::Key_Home); }, {{"headinterval", 0}});
    expectOnly("ギャップ調整", [&] { key(dialog->gyap(), Qt::Key_End); }, {{"gapticks", 100}});
    expectOnly("Switchと同時にPLAY", [&] { clickIndicator(dialog->cueswitch()); }, {{"playonswitch", 0}});
    expectOnly("8bit", [&] { clickIndicator(dialog->bit(0)); }, {{"rec8bit", 1}});
    expectOnly("ﾓﾉﾗﾙ", [&] { clickIndicator(dialog->stereo(0)); }, {{"recmono", 1}});
    expectOnly("22,050kHz", [&] { clickIndicator(dialog->bitrate(1)); }, {{"recrate", 1}});
    expectOnly("再生と同時に録音", [&] { clickIndicator(dialog->autorecstart()); }, {{"autorec", 1}});
    expectOnly("再生音を直接録音", [&] { clickIndicator(dialog->recordMix()); },
               {{"recsource", static_cast<int>(deck::DeckSettings::RecordSource::Input)}});

    // Pattern B's four points and switch time: nothing is stored until "記憶", then each in its place.
    expectOnly(
        "pattern B edited",
        [&] {
            clickIndicator(dialog->patern(1));
            for (int k = 0; k < 4; ++k) {
                key(dialog->fdSlider(k), Qt::Key_Home);
                key(dialog->fdSlider(k), Qt::Key_PageUp, k + 1);
                ASSERT_EQ(dialog->fdSlider(k)->value(), 10 * (k + 1));
            }
            dialog->switchTimeBox()->selectAll();
            QTest::keyClicks(dialog->switchTimeBox(), QStringLiteral("123"));
        },
        {});
    const mixer::CurveLines& lines = dialog->curve()->lines();
    EXPECT_EQ(lines[3].x2, 2 * 10 + 267);
    EXPECT_EQ(lines[4].x2, 2 * 20 + 1267);
    EXPECT_EQ(lines[2].x2, 2 * 30 + 267);
    EXPECT_EQ(lines[0].x2, 2 * 40 + 1267);
    expectOnly("記憶", [&] { QTest::mouseClick(dialog->fdrec(), Qt::LeftButton); },
               {{"fadertable1", 10}, {"fadertable4", 20}, {"fadertable7", 30}, {"fadertable10", 40},
                {"switchtime1", 123}});

    expectOnly("サンプラーＯＦＦ", [&] { clickIndicator(dialog->sampoff()); },
               {{"samplerenabled", 0}, {"samplerview", 0}});
    expectOnly("サンプラーＯＦＦ again", [&] { clickIndicator(dialog->sampoff()); },
               {{"samplerenabled", 1}, {"samplerview", 1}});
}

TEST_F(DialogsWindow, TheSamplerSwitchHidesAndRestoresTheSamplerStrip) {
    // Without a sound device the slot buttons are off.
    app_->sampler().releasesound(app_->layout().flags);
    ASSERT_FALSE(app_->layout().flags.dsready);
    mixer::ConfigurationWindow* dialog = app_->showConfiguration();
    EXPECT_FALSE(dialog->slotButton(0)->isEnabled());
    dialog->close();

    // A sound device with a sample in slot 5.
    auto device = std::make_unique<sampler::testing::FakeDevice>();
    device->files["/samples/horn.wav"] = {1, 1000, 44100};
    app_->sampler().slots().setDevice(std::move(device));
    app_->layout().flags.dsready = true;
    ASSERT_TRUE(app_->sampler().slots().loadslot(4, 0, QStringLiteral("/samples/horn.wav")));
    dialog = app_->showConfiguration();
    ASSERT_TRUE(dialog->slotButton(4)->isEnabled());
    // A slot without a sample does nothing; one with a sample opens its sampler dialog and closes this one.
    QTest::mouseClick(dialog->slotButton(0), Qt::LeftButton);
    EXPECT_EQ(app_->sampler().samplerDialog(), nullptr);
    EXPECT_TRUE(dialog->isVisible());
    QTest::mouseClick(dialog->slotButton(4), Qt::LeftButton);
    ASSERT_NE(app_->sampler().samplerDialog(), nullptr);
    EXPECT_TRUE(app_->sampler().samplerDialog()->isVisible());
    EXPECT_EQ(app_->sampler().slots().currentslot, 4);
    EXPECT_FALSE(dialog->isVisible());
    app_->sampler().samplerDialog()->close();
    dialog = app_->showConfiguration();

    const int full = window().height();
    EXPECT_FALSE(dialog->sampoff()->isChecked());
    clickIndicator(dialog->sampoff());
    EXPECT_TRUE(dialog->sampoff()->isChecked());
    EXPECT_FALSE(app_->layout().flags.samplerview);
    EXPECT_EQ(window().height(), px(7600));
    clickIndicator(dialog->sampoff());
    EXPECT_TRUE(app_->layout().flags.samplerview);
    EXPECT_EQ(window().height(), full);
    EXPECT_TRUE(window().picture("Imgsam")->picturePath().endsWith(QStringLiteral("/sampler2.bmp")));
}

TEST_F(DialogsWindow, FontSizeAboveFiftyIsAppliedAsFifty) {
    QAction* item = menuAction(window().menuBar(), QStringLiteral("ｽｷﾝ"));
    ASSERT_NE(item, nullptr);
    ASSERT_TRUE(item->isEnabled());
    item->trigger();
    appearance::FontWindow* dialog = app_->skinWindow();
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(dialog->sizeBox()->isEnabled());
    clickIndicator(dialog->areaButton(0));
    ASSERT_TRUE(dialog->sizeBox()->isEnabled());
    EXPECT_GT(dialog->fontList()->count(), 0);
    dialog->sizeBox()->clear();
    QTest::keyClicks(dialog->sizeBox(), QStringLiteral("72"));
    EXPECT_EQ(dialog->sizeBox()->text(), QStringLiteral("50"));
    EXPECT_EQ(window().label("text2", 0)->font().pointSizeF(), 50.0);
    EXPECT_EQ(window().label("text2", 1)->font().pointSizeF(), 50.0);
    EXPECT_EQ(dialog->preview()->font().pointSizeF(), 50.0);

    // A colour for the main display: the deck labels follow, the length label waits for loadfonts.
    const QString lengthBefore = window().label("Totaltime", 0)->styleSheet();
    dialog->chooseColour = [](const QColor&) { return std::optional<QColor>(QColor(0x12, 0x34, 0x56)); };
    QTest::mouseClick(dialog->fontColourButton(), Qt::LeftButton);
    const std::string chosen = "#123456";
    EXPECT_EQ(textColour(window().label("text2", 0)), chosen);
    EXPECT_EQ(textColour(window().label("Pitchper", 1)), chosen);
    EXPECT_EQ(window().label("Totaltime", 0)->styleSheet(), lengthBefore);
    // "デフォルト" reads the skin's file again.
    QTest::mouseClick(dialog->defaultButton(), Qt::LeftButton);
    EXPECT_NE(window().label("text2", 0)->font().pointSizeF(), 50.0);
    EXPECT_NE(textColour(window().label("text2", 0)), chosen);
}

// "リストボックス": the colours reach both decks' song lists, and any size typed is answered.
TEST_F(DialogsWindow, SongListColoursReachBothListsAndASizeForThemIsAnswered) {
    appearance::FontWindow* dialog = app_->showSkinDialog();
    clickIndicator(dialog->areaButton(2));
    ASSERT_TRUE(dialog->fontColourButton()->isEnabled());
    ASSERT_TRUE(dialog->backColourButton()->isEnabled());
    auto shown = [this](int deck, QPalette::ColorRole role) {
        QListWidget* list = window().titleList(deck);
        list->ensurePolished();
        return list->palette().color(role).name().toStdString();
    };
    dialog->chooseColour = [](const QColor&) { return std::optional<QColor>(QColor(0x12, 0x34, 0x56)); };
    QTest::mouseClick(dialog->fontColourButton(), Qt::LeftButton);
    dialog->chooseColour = [](const QColor&) { return std::optional<QColor>(QColor(0x65, 0x43, 0x21)); };
    QTest::mouseClick(dialog->backColourButton(), Qt::LeftButton);
    for (int deck = 0; deck < 2; ++deck) {
        EXPECT_EQ(shown(deck, QPalette::Text), "#123456") << deck;
        EXPECT_EQ(shown(deck, QPalette::Base), "#654321") << deck;
    }
    EXPECT_EQ(dialog->preview()->palette().color(QPalette::WindowText), QColor(0x12, 0x34, 0x56));

    BoxAnswerer boxes;
    dialog->sizeBox()->clear();
    QTest::keyClicks(dialog->sizeBox(), QStringLiteral("x"));
    EXPECT_EQ(boxes.texts, QStringList{QStringLiteral("リストボックスのフォントの設定はカラー変更のみです。")});
}

TEST_F(DialogsWindow, ASkinLackingSwitch1KeepsThePreviousPicturesFromTheSwitchOn) {
    // A user skin with every bitmap of the shipped one but switch1.bmp, and a font file of its own.
    const QString shipped = app_->pictures().folders().shippedRoot() + QStringLiteral("/orange");
    const QString partial = makeUserSkin(QStringLiteral("partial"), QStringLiteral("switch1.bmp"));
    appearance::FontWindow* dialog = app_->showSkinDialog();
    const QList<QListWidgetItem*> found =
        dialog->skinList()->findItems(QStringLiteral("partial"), Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(dialog->skinList()->findItems(QStringLiteral("orange"), Qt::MatchExactly).size(), 1);
    dialog->skinList()->scrollToItem(found[0]);
    QTest::mouseClick(dialog->skinList()->viewport(), Qt::LeftButton, {},
                      dialog->skinList()->visualItemRect(found[0]).center());
    EXPECT_EQ(app_->skinname(), QStringLiteral("partial"));
    EXPECT_EQ(dialog->heading()->text(), QStringLiteral("partialのフォントの編集"));
    EXPECT_EQ(dialog->skinLabel()->text(), QStringLiteral("partial"));

    auto from = [this](const char* name, int index = -1) {
        return QFileInfo(window().picture(name, index)->picturePath()).absolutePath();
    };
    // Before the switch: the new skin.
    EXPECT_EQ(from("Pause", 1), partial);
    EXPECT_EQ(from("Stop", 0), partial);
    // From the switch on: the previous pictures, and they stay so through the redraws of the timer.
    QTest::qWait(100);
    for (const auto& [name, index] : {std::pair{"switch", -1},
                                      {"center", -1},
                                      {"Faderbtn", -1},
                                      {"miniplay", -1},
                                      {"Picture4", -1},
                                      {"pitchbtn", 0},
                                      {"FDpaturn", 0},
                                      {"FDpaturn", 3}}) {
        EXPECT_EQ(from(name, index), shipped) << name << index;
    }
    // Their pressed looks come from the skin they show.
    QTest::mousePress(window().picture("center"), Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_EQ(from("center"), shipped);
    QTest::mouseRelease(window().picture("center"), Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_EQ(from("center"), shipped);

    // Saving the fonts writes the skin's own font.txt.
    BoxAnswerer boxes;
    boxes.answer = QMessageBox::Yes;
    clickIndicator(dialog->areaButton(1));
    QTest::mouseClick(dialog->saveButton(), Qt::LeftButton);
    EXPECT_EQ(boxes.texts, QStringList{QStringLiteral(
                               "partialのフォントの設定を変更しようとしています。本当によろしいですか？")});
    QFile saved(partial + QStringLiteral("/font.txt"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll().count("\r\n"), 16);

    // Back to the complete skin: everything from it again.
    const QList<QListWidgetItem*> orange =
        dialog->skinList()->findItems(QStringLiteral("orange"), Qt::MatchExactly);
    QTest::mouseClick(dialog->skinList()->viewport(), Qt::LeftButton, {},
                      dialog->skinList()->visualItemRect(orange[0]).center());
    EXPECT_EQ(from("switch"), shipped);
    EXPECT_EQ(from("Pause", 1), shipped);
    QDir(partial).removeRecursively();
}

TEST_F(DialogsWindow, TheMiniBarDrivesBothDecksAndADoubleClickBringsThePlayerBack) {
    dropFiles(window().titleList(0)->viewport(),
              {tone(QStringLiteral("a1.wav")), tone(QStringLiteral("a2.wav"))});
    dropFiles(window().titleList(1)->viewport(),
              {tone(QStringLiteral("b1.wav")), tone(QStringLiteral("b2.wav"))});
    pressPlay(window(), 0);
    ASSERT_EQ(player().player(0).playState(), 2);
    click(window().picture("Imgmenu"));
    ASSERT_TRUE(window().menuBar()->isVisible());
    const QSize full = window().size();

    click(window().picture("Tobar"));
    EXPECT_EQ(window().size(), QSize(px(4000), px(310)));
    EXPECT_FALSE(window().menuBar()->isVisible());
    auto* next = window().picture("mininext");
    ASSERT_TRUE(next->isVisible());
    EXPECT_EQ(next->geometry().topLeft(), QPoint(px(3700), px(40)));
    for (const char* name : {"miniplay", "ministop", "minipre"})
        EXPECT_TRUE(window().picture(name)->isVisible());

    click(next);
    EXPECT_EQ(player().transport().livedeck(), 1);
    EXPECT_EQ(player().player(1).playState(), 2);
    EXPECT_NE(player().player(0).playState(), 2);
    EXPECT_EQ(window().picture("Faderbtn")->x(), px(5130));
    click(next);
    EXPECT_EQ(player().transport().livedeck(), 0);
    EXPECT_EQ(player().player(0).playState(), 2);
    // The timer writes the bar time.
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return window().label("bartime")->text() == QStringLiteral("00:00"); }, 2000));
    click(window().picture("ministop"));
    EXPECT_NE(player().player(0).playState(), 2);

    // "常に手前に表示" keeps the bar as it is.
    QAction* onTop = menuItem(window().menuBar(), QStringLiteral("表示"), QStringLiteral("常に手前に表示"));
    ASSERT_NE(onTop, nullptr);
    onTop->trigger();
    EXPECT_TRUE(window().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(window().windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(window().size(), QSize(px(4000), px(310)));
    onTop->trigger();
    EXPECT_FALSE(window().windowFlags().testFlag(Qt::WindowStaysOnTopHint));

    QTest::mouseDClick(window().picture("Image1"), Qt::LeftButton, {}, QPoint(px(1200), 5));
    EXPECT_EQ(window().size(), QSize(full.width(), full.height() - px(280)));
    EXPECT_FALSE(next->isVisible());
    EXPECT_EQ(window().label("topbar")->text(), QStringLiteral("Ver.") + app::versionNumber());
    EXPECT_TRUE(window().label("bartime")->text().isEmpty());
    // Outside the mini bar a double-click changes nothing.
    QTest::mouseDClick(window().picture("Image1"), Qt::LeftButton, {}, QPoint(px(1200), 5));
    EXPECT_EQ(window().size(), QSize(full.width(), full.height() - px(280)));
}

TEST_F(DialogsWindow, MinimisedTheCaptionShowsTimeAndTitleUntilRestored) {
    dropFiles(window().titleList(0)->viewport(), {tone(QStringLiteral("song.wav"))});
    click(window().picture("Minimum"));
    EXPECT_TRUE(app_->mini().minimizedflag());
    EXPECT_EQ(window().windowTitle(), QStringLiteral("Korvex Ver.") + app::versionNumber());
    player().player(0).setCurrentPosition(2.4);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return window().windowTitle() == QStringLiteral("00:02  song.wav"); }, 2000));
    window().showNormal();
    EXPECT_FALSE(app_->mini().minimizedflag());
    EXPECT_TRUE(window().windowTitle().isEmpty());
}

// What a widget shows, at its real size (one pixel a logical pixel, whatever the screen's scale).
QImage realSize(QWidget* widget) {
    QImage shot = widget->grab().toImage();
    if (shot.size() != widget->size()) shot = shot.scaled(widget->size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    shot.setDevicePixelRatio(1.0);
    return shot;
}

// The pictures of the documentation, each window at its real size as a newcomer first sees it: set
// KORVEX_SCREENSHOT_DIR to write them.
TEST_F(DialogsWindow, Screenshots) {
    const QString dir = qEnvironmentVariable("KORVEX_SCREENSHOT_DIR");
    if (dir.isEmpty()) GTEST_SKIP() << "KORVEX_SCREENSHOT_DIR is not set";

    mixer::ConfigurationWindow* config = app_->showConfiguration();
    config->adjustSize();
    QTest::qWait(100);
    EXPECT_TRUE(realSize(config).save(dir + QStringLiteral("/config-dialog.png")));
    click(config->midiButton());
    ASSERT_NE(app_->midiWindow(), nullptr);
    app_->midiWindow()->adjustSize();
    QTest::qWait(100);
    EXPECT_TRUE(realSize(app_->midiWindow()).save(dir + QStringLiteral("/midi-dialog.png")));
    app_->midiWindow()->close();
    config->close();

    appearance::FontWindow* skin = app_->showSkinDialog();
    skin->adjustSize();
    QTest::qWait(100);
    EXPECT_TRUE(realSize(skin).save(dir + QStringLiteral("/skin-dialog.png")));
    skin->close();

    // Deck A plays, four slots hold sounds, and slot 1's dialog is open beside the player.
    // Songs with a beat, so the waveform overviews show their shape and bars.
    auto groove = [this](const char* name, double bpm, unsigned seed) {
        const QString path = dir_.filePath(QString::fromUtf8(name));
        writeWav16(path.toStdString(), drumGroove(bpm, 75.0, 0.2, seed));
        return path;
    };
    dropFiles(window().titleList(0)->viewport(),
              {groove("Night Drive.wav", 122.0, 3), groove("Sunrise Groove (Extended Mix).wav", 126.0, 5)});
    dropFiles(window().titleList(1)->viewport(), {groove("Deep Blue.wav", 124.0, 9)});
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return app_->player().beatSync().analysis(0) != nullptr &&
                   app_->player().beatSync().analysis(1) != nullptr;
        },
        30000));
    pressPlay(window(), 0);
    QTest::qWait(1500);
    EXPECT_TRUE(realSize(&window()).save(dir + QStringLiteral("/screenshot.png")));
    const char* const sounds[] = {"kick.wav", "snare.wav", "horn.wav", "scratch.wav"};
    for (int slot = 0; slot < 4; ++slot)
        app_->sampler().slots().loadslot(slot, slot == 0 ? 2 : 1, tone(QString::fromLatin1(sounds[slot]), 200.0 + 100 * slot));
    app_->sampler().refresh();
    QTest::mousePress(window().label("Text1", 0), Qt::RightButton);
    QWidget* dialog = app_->sampler().samplerDialog();
    ASSERT_NE(dialog, nullptr);
    QTest::qWait(300);
    const QImage player = realSize(&window());
    const QImage sampler = realSize(dialog);
    QImage both(player.width(), player.height() + sampler.height() + 8, QImage::Format_RGB32);
    both.fill(QColor(40, 40, 40));
    QPainter paint(&both);
    paint.drawImage(0, 0, player);
    paint.drawImage((player.width() - sampler.width()) / 2, player.height() + 8, sampler);
    paint.end();
    EXPECT_TRUE(both.save(dir + QStringLiteral("/screenshot-sampler.png")));
    dialog->close();

    click(window().picture("Tobar"));
    QTest::qWait(1200);
    EXPECT_TRUE(realSize(&window()).save(dir + QStringLiteral("/mini-bar.png")));
}

}  // namespace
}  // namespace korvex::test
