// A set prepared in one run is there in the next: the player starts from a settings file in the user's config
// folder, restores both lists and each deck's current song, and leaving with "save" writes the same state back.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/ui/korvex_app.h"
#include "support/signals.h"

namespace korvex::test {
namespace {

QByteArray crlf(const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines) bytes += line.toUtf8() + "\r\n";
    return bytes;
}

TEST(EndToEnd, SettingsFileRestoresTheSetAndLeavingWithSaveWritesItBack) {
    QTemporaryDir songs;
    const QString a1 = songs.filePath(QStringLiteral("one.wav"));
    const QString a2 = songs.filePath(QStringLiteral("two.wav"));
    const QString b1 = songs.filePath(QStringLiteral("three.wav"));
    for (const QString& path : {a1, a2, b1}) writeWav16(path.toStdString(), sine(440.0, 2.0));

    // Deck A: two songs, the second current, with memories; deck B: one song.
    QStringList lines{"2",       a1,      a2,     "one.wav", "two.wav", "100", " 104.5", " 2000", " 1500",
                      "-1",      " 0.75", "-1",   " 0.25",   "-1",      "-1",  "1",      b1,       "three.wav",
                      "100",     " 2000", "-1",   "-1",      "-1",      "1",   "0"};
    lines << QStringList{"True", "True", "True", "False", "False", "0",    "0",     "2", "True", "orange",
                         "",     "True", "20",   "10",    "False", "False", "0",    "True"};
    lines << QStringList{"500", "500", "0", "0", "0", "500", "0", "500", "0", "0", "500", "500"};
    lines << QStringList{"50", "50", "50"};
    for (int i = 0; i < 8; ++i) lines << "0";
    for (int i = 0; i < 8; ++i) lines << "";
    const QString config = QString::fromUtf8(qgetenv("XDG_CONFIG_HOME")) + QStringLiteral("/korvex");
    ASSERT_TRUE(QDir().mkpath(config));
    const QString ini = config + QStringLiteral("/korvexp.ini");
    {
        QFile file(ini);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(crlf(lines));
    }

    app::KorvexApp korvex({"--audio-output=null"});
    ASSERT_TRUE(korvex.start());
    korvex.handOver();
    app::MainWindow& window = korvex.window();
    ASSERT_EQ(window.titleList(0)->count(), 2);
    ASSERT_EQ(window.titleList(1)->count(), 1);
    EXPECT_EQ(window.titleList(0)->item(1)->text(), QStringLiteral("two.wav"));
    EXPECT_EQ(korvex.player().player(0).fileName(), a2.toStdString());
    EXPECT_EQ(korvex.player().player(1).fileName(), b1.toStdString());
    // Tempo memory 104.5 places the pitch knob 135 twips down: rate 1.03.
    EXPECT_EQ(window.label("Pitchper", 0)->text(), QStringLiteral("+03.0%")) << "the tempo memory is applied";

    // Leave through the close button, answering "save".
    QTimer::singleShot(50, [] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), QStringLiteral("現在の状態を保存しますか？"));
        box->button(QMessageBox::Yes)->click();
    });
    QTest::mouseClick(window.picture("Formend"), Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_FALSE(window.isVisible());
    korvex.shutdown();

    QFile written(ini);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray bytes = written.readAll();
    EXPECT_EQ(QString::fromUtf8(bytes).split(QStringLiteral("\r\n")),
              QString::fromUtf8(crlf(lines)).split(QStringLiteral("\r\n")));
    // The next test in this process starts afresh.
    written.close();
    QFile::remove(ini);
}

}  // namespace
}  // namespace korvex::test
