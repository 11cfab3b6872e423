// The broadcast from the window, against a real Icecast server of the test's own: --broadcast starts it, the
// ON AIR key lights and says how long it has been on air, the playing deck's song reaches the listener with
// its title, a click takes it off air; --broadcast=shoutcast:// reaches the server's Shoutcast socket; the
// configuration dialog's broadcast settings are kept in korvex.ini, the password for the user's eyes only
// without a keyring, and in a keyring (GNOME Keyring on a private session bus) when one answers.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>

#include <QLabel>

#include "broadcast/password_keeper.h"
#include "broadcast/ui/broadcast_window.h"
#include "mixer/ui/configuration_window.h"
#include "support/icecast_server.h"
#include "support/keyring_session.h"
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

broadcast::BroadcastWindow* openBroadcastDialog(app::KorvexApp& app) {
    auto* configuration = app.showConfiguration();
    configuration->broadcastButton()->click();
    QTest::qWait(50);
    return configuration->findChild<broadcast::BroadcastWindow*>();
}

QByteArray korvexSettingsText() {
    QFile own(korvexSettingsFile());
    return own.open(QIODevice::ReadOnly) ? own.readAll() : QByteArray();
}

TEST_F(BroadcastWindowTest, WithoutAKeyringTheDialogsSettingsAreKeptOwnerOnlyAndUsedByTheNextOnAir) {
    // No session bus: no keyring answers.
    const QByteArray bus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    auto* dialog = openBroadcastDialog(*app_);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->passwordPlace()->text().contains(QStringLiteral("korvex.ini")));
    // Shoutcast takes MP3 only: the format follows the server's kind.
    dialog->protocol()->setCurrentIndex(dialog->protocol()->findData(QStringLiteral("shoutcast")));
    EXPECT_EQ(dialog->format()->currentData().toString(), QStringLiteral("mp3"));
    EXPECT_FALSE(dialog->format()->isEnabled());
    dialog->protocol()->setCurrentIndex(dialog->protocol()->findData(QStringLiteral("icecast")));
    EXPECT_TRUE(dialog->format()->isEnabled());
    dialog->server()->setText(QStringLiteral("radio.example"));
    dialog->port()->setValue(8123);
    dialog->password()->setText(QStringLiteral("s3cret"));
    dialog->format()->setCurrentIndex(dialog->format()->findData(QStringLiteral("opus")));
    dialog->format()->activated(dialog->format()->currentIndex());
    EXPECT_EQ(dialog->mount()->text(), QStringLiteral("/live.opus"));
    // KORVEX_SCREENSHOT_DIR: pictures of the dialog and the configuration dialog with its broadcast box.
    if (const QByteArray shots = qgetenv("KORVEX_SCREENSHOT_DIR"); !shots.isEmpty()) {
        dialog->grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/broadcast-dialog.png"));
        app_->showConfiguration()->grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/config-dialog.png"));
    }
    dialog->accept();

    const QByteArray text = korvexSettingsText();
    EXPECT_TRUE(text.contains("broadcast-server=radio.example\r\n"));
    EXPECT_TRUE(text.contains("broadcast-format=opus\r\n"));
    EXPECT_TRUE(text.contains("broadcast-protocol=icecast\r\n"));
    EXPECT_TRUE(text.contains("broadcast-password=s3cret\r\n"));
    EXPECT_FALSE(text.contains("broadcast-keyring"));
    struct stat info {};
    ASSERT_EQ(::stat(korvexSettingsFile().toLocal8Bit().constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(app_->onAir().settings().host, "radio.example");
    EXPECT_EQ(app_->onAir().settings().format, stream::StreamFormat::OggOpus);
    if (!bus.isEmpty()) qputenv("DBUS_SESSION_BUS_ADDRESS", bus);
}

class ShoutcastWindowTest : public BroadcastWindowTest {
protected:
    void SetUp() override {
        if (!IcecastServer::available()) GTEST_SKIP() << "icecast2 is not installed (scripts/install-deps.sh)";
        ASSERT_TRUE(server_.start());
        extraArgs_ = {"--broadcast=shoutcast://:" + std::string(IcecastServer::kPassword) + "@127.0.0.1:" +
                      std::to_string(server_.shoutcastPort())};
        WavWindowTest::SetUp();
    }
};

TEST_F(ShoutcastWindowTest, OnAirFromTheCommandLineToAShoutcastServer) {
    auto* onAir = window().picture("Imgonair");
    ASSERT_TRUE(QTest::qWaitFor([&] { return onAir->picturePath().endsWith(QStringLiteral("/onair2.bmp")); }, 5000))
        << onAir->toolTip().toStdString();
    EXPECT_EQ(app_->onAir().settings().protocol, stream::StreamProtocol::Shoutcast);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return server_.statusJson().find(IcecastServer::kShoutcastMount) != std::string::npos; }, 10000))
        << onAir->toolTip().toStdString() << " " << app_->onAir().status().detail;
}

// The password in a keyring of the test's own (a private session bus with GNOME Keyring on it).
class BroadcastKeyringTest : public WavWindowTest {
protected:
    void SetUp() override {
        if (!IcecastServer::available()) GTEST_SKIP() << "icecast2 is not installed (scripts/install-deps.sh)";
        if (!KeyringSession::available()) GTEST_SKIP() << "dbus-daemon or gnome-keyring-daemon is not installed";
        keyring_ = std::make_unique<KeyringSession>();
        ASSERT_TRUE(keyring_->up()) << keyring_->log().toStdString();
        ASSERT_TRUE(server_.start());
        // An old file: the password on a line of its own.
        writeLines(korvexSettingsFile(),
                   {QStringLiteral("broadcast-server=127.0.0.1"), QStringLiteral("broadcast-port=%1").arg(server_.port()),
                    QStringLiteral("broadcast-mount=/live.mp3"),
                    QStringLiteral("broadcast-password=%1").arg(QLatin1String(IcecastServer::kPassword))});
        WavWindowTest::SetUp();
    }
    void TearDown() override {
        WavWindowTest::TearDown();
        QFile::remove(korvexSettingsFile());
    }
    // What the keyring holds ("?" and its words when it holds nothing).
    static QString kept() {
        QString text;
        bool done = false;
        broadcast::PasswordKeeper::read([&](bool ok, const QString& t) {
            text = ok ? t : QStringLiteral("? ") + t;
            done = true;
        });
        EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 6000));
        return text;
    }

    std::unique_ptr<KeyringSession> keyring_;
    IcecastServer server_;
};

TEST_F(BroadcastKeyringTest, AnOldFilesPasswordMovesToTheKeyringAtTheNextSaveAndIsReadFromThereForOnAir) {
    EXPECT_EQ(app_->onAir().settings().password, IcecastServer::kPassword);
    // Leaving with "save": the keyring takes the password and the file keeps none.
    const QByteArray saved = leaveSavingAndReadKorvexSettings();
    EXPECT_FALSE(saved.contains("broadcast-password")) << saved.constData();
    EXPECT_TRUE(saved.contains("broadcast-keyring=true\r\n")) << saved.constData();
    EXPECT_EQ(kept(), QLatin1String(IcecastServer::kPassword));

    // The next run does not ask the keyring at start; the ON AIR key does, and goes on air with its answer.
    app_.reset();
    start();
    EXPECT_TRUE(app_->onAir().settings().password.empty());
    click(window().picture("Imgonair"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return app_->onAir().status().state == stream::LinkState::kOnAir; }, 8000))
        << app_->onAir().toolTip().toStdString();
    click(window().picture("Imgonair"));

    // The dialog says where the password is; a new one typed there goes to the keyring, not to the file.
    auto* dialog = openBroadcastDialog(*app_);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->passwordPlace()->text().contains(QStringLiteral("キーリングにあります")));
    EXPECT_TRUE(dialog->password()->text().isEmpty());
    QTest::keyClicks(dialog->password(), QStringLiteral("n3w"));
    dialog->accept();
    EXPECT_TRUE(QTest::qWaitFor([&] { return kept() == QStringLiteral("n3w"); }, 5000)) << kept().toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return korvexSettingsText().contains("broadcast-keyring=true\r\n"); }, 5000));
    EXPECT_FALSE(korvexSettingsText().contains("broadcast-password"));
    EXPECT_EQ(app_->onAir().settings().password, "n3w");

    // The keyring gone (another desktop, say): ON AIR says so instead of trying without a password.
    app_->shutdown();
    app_.reset();
    keyring_.reset();
    start();
    QString said;
    answerNextBox(QMessageBox::Ok, &said);
    click(window().picture("Imgonair"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !said.isEmpty(); }, 3000));
    EXPECT_TRUE(said.contains(QStringLiteral("キーリングから読めません"))) << said.toStdString();
    EXPECT_FALSE(app_->onAir().running());
}

}  // namespace
}  // namespace korvex::test
