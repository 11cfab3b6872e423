// The broadcast from the window, against a real Icecast server of the test's own: --broadcast starts it, the
// ON AIR key lights and says how long it has been on air, the playing deck's song reaches the listener with
// its title, a click takes it off air; the configuration dialog's broadcast settings are kept in korvex.ini
// for the user's eyes only.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>

#include "broadcast/ui/broadcast_window.h"
#include "mixer/ui/configuration_window.h"
#include "support/icecast_server.h"
#include "ui/ui_helpers.h"

namespace korvex::test {
namespace {

class BroadcastWindowTest : public WavWindowTest {
protected:
    void SetUp() override {
        if (!IcecastServer::available()) GTEST_SKIP() << "icecast2 is not installed (scripts/install-deps.sh)";
        ASSERT_TRUE(server_.start());
        extraArgs_ = {"--broadcast=icecast://source:" + std::string(IcecastServer::kPassword) + "@127.0.0.1:" +
                      std::to_string(server_.port()) + "/live.ogg"};
        WavWindowTest::SetUp();
    }
    IcecastServer server_;
};

TEST_F(BroadcastWindowTest, OnAirFromTheCommandLineCarriesTheDecksSongAndItsTitleUntilTheKeyIsPressed) {
    auto* onAir = window().picture("Imgonair");
    ASSERT_NE(onAir, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return onAir->picturePath().endsWith(QStringLiteral("/onair2.bmp")); }, 5000));
    EXPECT_TRUE(onAir->toolTip().contains(QStringLiteral("オンエア中"))) << onAir->toolTip().toStdString();

    auto* list = window().titleList(0);
    dropFiles(list->viewport(), {toneFile(dir_.path(), QStringLiteral("morning.wav"), 440.0, 30.0)});
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    pressPlay(window(), 0);

    StreamListener listener(server_.url("/live.ogg"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return listener.heardCount() > 2 * 44100 || listener.ended(); }, 15000))
        << listener.error();
    const auto heard = listener.heard();
    EXPECT_NEAR(zeroCrossingFrequency({heard.end() - 22050, heard.end()}, 44100), 440.0, 2.0);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const auto titles = listener.titles();
            return std::any_of(titles.begin(), titles.end(),
                               [](const std::string& t) { return t.find("morning") != std::string::npos; });
        },
        5000));

    click(onAir);
    EXPECT_FALSE(app_->onAir().running());
    EXPECT_TRUE(QTest::qWaitFor([&] { return onAir->picturePath().endsWith(QStringLiteral("/onair1.bmp")); }, 2000));
}

TEST_F(BroadcastWindowTest, TheDialogsSettingsAreKeptOwnerOnlyAndUsedByTheNextOnAir) {
    auto* configuration = app_->showConfiguration();
    configuration->broadcastButton()->click();
    QTest::qWait(50);
    auto* dialog = configuration->findChild<broadcast::BroadcastWindow*>();
    ASSERT_NE(dialog, nullptr);
    dialog->server()->setText(QStringLiteral("radio.example"));
    dialog->port()->setValue(8123);
    dialog->password()->setText(QStringLiteral("s3cret"));
    dialog->format()->setCurrentIndex(dialog->format()->findData(QStringLiteral("opus")));
    dialog->format()->activated(dialog->format()->currentIndex());
    EXPECT_EQ(dialog->mount()->text(), QStringLiteral("/live.opus"));
    // KORVEX_SCREENSHOT_DIR: pictures of the dialog and the configuration dialog with its broadcast box.
    if (const QByteArray shots = qgetenv("KORVEX_SCREENSHOT_DIR"); !shots.isEmpty()) {
        dialog->grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/broadcast-dialog.png"));
        configuration->grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/config-dialog.png"));
    }
    dialog->accept();

    QFile own(korvexSettingsFile());
    ASSERT_TRUE(own.open(QIODevice::ReadOnly));
    const QByteArray text = own.readAll();
    EXPECT_TRUE(text.contains("broadcast-server=radio.example\r\n"));
    EXPECT_TRUE(text.contains("broadcast-format=opus\r\n"));
    struct stat info {};
    ASSERT_EQ(::stat(korvexSettingsFile().toLocal8Bit().constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(app_->onAir().settings().host, "radio.example");
    EXPECT_EQ(app_->onAir().settings().format, stream::StreamFormat::OggOpus);
}

}  // namespace
}  // namespace korvex::test
