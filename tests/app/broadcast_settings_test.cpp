// The broadcast's settings as Korvex keeps them and as the command line gives them, and the ON AIR key's
// model without a server.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <chrono>
#include <thread>

#include "app/command_line.h"
#include "app/korvex_settings.h"
#include "broadcast/on_air.h"
#include "platform/audio/audio_engine.h"
#include "support/signals.h"

namespace korvex {
namespace {

TEST(BroadcastSettings, KeptInKorvexOwnFileReadableByTheUserOnlyAndBrokenValuesGiveDefaults) {
    const QString path = QString::fromStdString(test::tempDir()) + QStringLiteral("/korvex.ini");
    app::KorvexSettings written;
    written.broadcast[QStringLiteral("server")] = QStringLiteral("radio.example");
    written.broadcast[QStringLiteral("port")] = QStringLiteral("8010");
    written.broadcast[QStringLiteral("mount")] = QStringLiteral("night.ogg");
    written.broadcast[QStringLiteral("password")] = QStringLiteral("secret");
    written.broadcast[QStringLiteral("bitrate")] = QStringLiteral("loud");
    written.broadcast[QStringLiteral("channels")] = QStringLiteral("7");
    ASSERT_TRUE(app::writeKorvexSettings(path, written));
    struct stat info {};
    ASSERT_EQ(::stat(path.toLocal8Bit().constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    app::KorvexSettings read;
    ASSERT_TRUE(app::readKorvexSettings(path, read));
    const stream::StreamSettings s = broadcast::settingsFromKeys(read.broadcast);
    EXPECT_EQ(s.host, "radio.example");
    EXPECT_EQ(s.port, 8010);
    EXPECT_EQ(s.mount, "/night.ogg");
    EXPECT_EQ(s.format, stream::StreamFormat::OggVorbis);
    EXPECT_EQ(s.password, "secret");
    EXPECT_EQ(s.bitrateKbps, 192);
    EXPECT_EQ(s.channels, 2);
    EXPECT_EQ(s.protocol, stream::StreamProtocol::Icecast);

    // Shoutcast is MP3 whatever the keys say, and its source port (the one after) must exist.
    const stream::StreamSettings sc = broadcast::settingsFromKeys(
        {{QStringLiteral("protocol"), QStringLiteral("shoutcast")}, {QStringLiteral("format"), QStringLiteral("ogg")},
         {QStringLiteral("port"), QStringLiteral("65535")}});
    EXPECT_EQ(sc.protocol, stream::StreamProtocol::Shoutcast);
    EXPECT_EQ(sc.format, stream::StreamFormat::Mp3);
    EXPECT_EQ(sc.port, 8000);
    // A password line wins over the mark that the keyring holds it.
    EXPECT_TRUE(broadcast::passwordInKeyring({{QStringLiteral("keyring"), QStringLiteral("true")}}));
    EXPECT_FALSE(broadcast::passwordInKeyring(
        {{QStringLiteral("keyring"), QStringLiteral("true")}, {QStringLiteral("password"), QStringLiteral("pw")}}));
}

TEST(BroadcastSettings, TheCommandLineRefusesAnAddressItCannotRead) {
    const auto good = app::readCommandLine({"--broadcast=icecast://source:pw@127.0.0.1:8000/live.mp3"});
    EXPECT_EQ(good.action, app::CommandLine::Action::kRun);
    const auto bad = app::readCommandLine({"--broadcast=http://127.0.0.1/live.mp3"});
    EXPECT_EQ(bad.action, app::CommandLine::Action::kError);
    EXPECT_NE(bad.error.find("icecast://"), std::string::npos);
}

TEST(OnAirKey, TheLiveDeckIsTheLoudestPlayingOneAndAnUnsetKeySaysWhy) {
    const int playing[2] = {2, 2};
    const int louderB[2] = {-600, -100};
    EXPECT_EQ(broadcast::liveDeck(playing, louderB), 1);
    const int pausedB[2] = {2, 1};
    EXPECT_EQ(broadcast::liveDeck(pausedB, louderB), 0);
    const int silentA[2] = {-10000, -100};
    const int onlyA[2] = {2, 0};
    EXPECT_EQ(broadcast::liveDeck(onlyA, silentA), -1);

    audio::AudioEngine engine;
    broadcast::OnAir key(engine);
    EXPECT_FALSE(key.press().isEmpty());
    EXPECT_FALSE(key.running());
    EXPECT_EQ(key.bitmap(true), QStringLiteral("onair1.bmp"));
    EXPECT_TRUE(key.toolTip().contains(QStringLiteral("設定されていません")));

    // A server that is not there: the key blinks (lit on every other tick) and says why and when it tries again.
    stream::StreamSettings nowhere;
    nowhere.port = 1;  // nothing listens there
    key.setSettings(nowhere);
    EXPECT_TRUE(key.press().isEmpty());
    for (int i = 0; i < 250 && key.status().state != stream::LinkState::kReconnecting; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(key.status().state, stream::LinkState::kReconnecting);
    EXPECT_TRUE(key.lit(true));
    EXPECT_FALSE(key.lit(false));
    EXPECT_TRUE(key.toolTip().contains(QStringLiteral("サーバーにつながりません"))) << key.toolTip().toStdString();
    EXPECT_TRUE(key.press().isEmpty());
    EXPECT_FALSE(key.running());
}

}  // namespace
}  // namespace korvex
