// The two programs' command lines, run for real: --help and --version answer and end without a window or a
// sound device, and an unknown option is named on stderr with exit status 2.

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include "app/startup.h"

namespace korvex::test {
namespace {

struct Outcome {
    int status = -1;
    QString out;
    QString err;
};

// Runs `program` with `args` where no display exists and any sound would go to `sound`: a window would end
// the program with Qt's failure, a sound output would leave the file behind.
Outcome run(const char* program, const QStringList& args, const QString& sound) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("KORVEX_AUDIO_OUTPUT"), QStringLiteral("wav:") + sound);
    process.setProcessEnvironment(environment);
    process.start(QString::fromUtf8(program), args);
    Outcome result;
    if (!process.waitForFinished(15000)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

TEST(CommandLine, ThePlayerAnswersHelpAndVersionAndNamesAnUnknownOption) {
    QTemporaryDir dir;
    const QString sound = dir.filePath(QStringLiteral("sound.wav"));
    const Outcome help = run(KORVEX_PLAYER_EXE, {QStringLiteral("--help")}, sound);
    EXPECT_EQ(help.status, 0) << help.err.toStdString();
    for (const char* option : {"--audio-output=MODE", "--audio-latency=MS", "--record-source=SOURCE",
                               "--midi-api=API", "--midi-mapping=FILE", "--broadcast=", "--help", "--version",
                               "KORVEX_AUDIO_OUTPUT", "KORVEX_RECORD_SOURCE"})
        EXPECT_TRUE(help.out.contains(QLatin1String(option))) << option;
    EXPECT_TRUE(help.err.isEmpty()) << help.err.toStdString();

    const Outcome version = run(KORVEX_PLAYER_EXE, {QStringLiteral("--version")}, sound);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, QStringLiteral("korvex ") + app::versionNumber() + QLatin1Char('\n'));

    const Outcome unknown =
        run(KORVEX_PLAYER_EXE, {QStringLiteral("song.mp3"), QStringLiteral("--frobnicate")}, sound);
    EXPECT_EQ(unknown.status, 2);
    EXPECT_TRUE(unknown.out.isEmpty());
    EXPECT_TRUE(unknown.err.startsWith(QStringLiteral("korvex: 不明なオプション --frobnicate です。")))
        << unknown.err.toStdString();
    EXPECT_EQ(unknown.err.count(QLatin1Char('\n')), 1);
    EXPECT_FALSE(QFileInfo::exists(sound)) << "no sound output was opened";
}

TEST(CommandLine, TheRendererAnswersHelpAndVersionAndNamesAnUnknownOption) {
    QTemporaryDir dir;
    const QString sound = dir.filePath(QStringLiteral("sound.wav"));
    const Outcome help = run(KORVEX_RENDER_EXE, {QStringLiteral("--help")}, sound);
    EXPECT_EQ(help.status, 0);
    for (const char* option : {"--rate R", "--volume V", "--balance B", "--selection-start S",
                               "--selection-end E", "--seconds N", "--fx NAME", "--help", "--version"})
        EXPECT_TRUE(help.out.contains(QLatin1String(option))) << option;

    const Outcome version = run(KORVEX_RENDER_EXE, {QStringLiteral("--version")}, sound);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, QStringLiteral("korvex-render ") + app::versionNumber() + QLatin1Char('\n'));

    const QString out = dir.filePath(QStringLiteral("out.wav"));
    for (const QStringList& args :
         {QStringList{QStringLiteral("in.mp3"), out, QStringLiteral("--speed"), QStringLiteral("2")},
          QStringList{QStringLiteral("in.mp3"), out, QStringLiteral("--speed")}}) {
        const Outcome unknown = run(KORVEX_RENDER_EXE, args, sound);
        EXPECT_EQ(unknown.status, 2);
        EXPECT_TRUE(unknown.err.startsWith(QStringLiteral("korvex-render: unknown option --speed")))
            << unknown.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(out));
    }
}

}  // namespace
}  // namespace korvex::test
