// Every common format through the real programs: FLAC, Ogg Vorbis, Opus, AAC (M4A, MP4, ADTS), AIFF and
// WavPack made with FFmpeg play in korvex-render, jump there bit-exactly and are refused cleanly when broken;
// in the player's window they play, show their length as soon as they are loaded, and the command line, a
// drop, a folder scan and the open dialog take their endings in any case.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "ui/ui_helpers.h"

namespace korvex::test {
namespace {

struct Format {
    const char* name;   // file name, its ending in the case a user may have it
    const char* codec;  // ffmpeg's output options
};

const Format kFormats[] = {
    {"flac.FLAC", "-c:a flac"},
    {"vorbis.Ogg", "-c:a libvorbis -q:a 4"},
    {"opus.OPUS", "-ar 48000 -c:a libopus -b:a 128k"},
    {"aac.M4A", "-c:a aac -b:a 160k -aac_pns 0"},
    {"video.Mp4", "-c:a aac -b:a 128k -aac_pns 0"},
    {"adts.AAC", "-c:a aac -b:a 128k -aac_pns 0"},
    {"aiff.AIFF", "-c:a pcm_s16be"},
    {"wavpack.WV", "-c:a wavpack"},
};

// Makes `path` with ffmpeg from `input` (lavfi sources) and `codec`; false when ffmpeg fails.
bool makeWithFfmpeg(const QString& path, const QString& input, const char* codec) {
    const QString command = QStringLiteral("ffmpeg -hide_banner -loglevel error -y %1 %2 '%3'")
                                .arg(input, QLatin1String(codec), path);
    return std::system(command.toLocal8Bit().constData()) == 0;
}

// Runs korvex-render with `args`; its exit status, with what it printed in `output`.
int render(const QStringList& args, QByteArray& output) {
    QString command = QStringLiteral(KORVEX_RENDER_EXE);
    for (const QString& arg : args) command += QStringLiteral(" '") + arg + u'\'';
    command += QStringLiteral(" 2>&1");
    FILE* pipe = ::popen(command.toLocal8Bit().constData(), "r");
    if (pipe == nullptr) return -1;
    output.clear();
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// korvex-render plays each format to its end, a start 2.5 s in gives the samples the whole play has there
// (after the start's few milliseconds of fade-in; the output's float gain may round the last bit
// differently, far below one 16-bit step), and a broken file is refused or played as far as it goes, never
// a crash.
TEST(Formats, EachFormatPlaysJumpsExactlyAndIsRefusedCleanlyWhenBroken) {
    QTemporaryDir dir;
    const QString noise = QStringLiteral(
        "-f lavfi -i anoisesrc=d=6:c=pink:a=0.3 -f lavfi -i sine=f=330:d=6 -filter_complex amerge=inputs=2");
    for (const Format& format : kFormats) {
        SCOPED_TRACE(format.name);
        const QString song = dir.filePath(QLatin1String(format.name));
        ASSERT_TRUE(makeWithFfmpeg(song, noise, format.codec));
        QByteArray said;
        const QString whole = dir.filePath(QStringLiteral("whole.wav"));
        ASSERT_EQ(render({song, whole}, said), 0) << said.toStdString();
        EXPECT_TRUE(said.contains("duration=6.0") || said.contains("duration=5.99")) << said.toStdString();
        const QString part = dir.filePath(QStringLiteral("part.wav"));
        ASSERT_EQ(render({song, part, "--selection-start", "2.5", "--seconds", "1"}, said), 0) << said.toStdString();
        const std::vector<float> all = readSound(whole.toStdString());
        const std::vector<float> from = readSound(part.toStdString());
        ASSERT_GE(all.size(), std::size_t{2} * 44100 * 5);
        ASSERT_GE(from.size(), std::size_t{2} * 44100 * 9 / 10);
        std::size_t wrong = 0;
        const std::size_t start = 2 * 110250;
        for (std::size_t i = 2 * 441; i < from.size(); ++i) wrong += std::abs(from[i] - all[start + i]) > 1e-6f;
        EXPECT_EQ(wrong, 0u) << "samples after a start 2.5 s in that differ from the whole play";

        // The start of the header alone: refused with a reason and no output.
        QFile file(song);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        file.close();
        const QString cut = dir.filePath(QStringLiteral("cut-") + QLatin1String(format.name));
        const QString damaged = dir.filePath(QStringLiteral("damaged-") + QLatin1String(format.name));
        QFile cutFile(cut);
        ASSERT_TRUE(cutFile.open(QIODevice::WriteOnly));
        cutFile.write(bytes.left(36));
        cutFile.close();
        const QString out = dir.filePath(QStringLiteral("broken.wav"));
        QFile::remove(out);
        EXPECT_EQ(render({cut, out}, said), 2) << said.toStdString();
        EXPECT_EQ(said.count('\n'), 1) << said.toStdString();
        EXPECT_FALSE(QFileInfo::exists(out));
        // Damage all through: played as far as it goes or refused, never a crash.
        QByteArray spoilt = bytes;
        for (qsizetype i = 400; i < spoilt.size(); i += 997) spoilt[i] = static_cast<char>(spoilt[i] ^ 0x5A);
        QFile damagedFile(damaged);
        ASSERT_TRUE(damagedFile.open(QIODevice::WriteOnly));
        damagedFile.write(spoilt);
        damagedFile.close();
        const int status = render({damaged, out}, said);
        EXPECT_TRUE(status == 0 || status == 2) << status << " " << said.toStdString();
    }
}

class FormatsWindow : public WindowTest {
protected:
    // A 3 s 440 Hz tone in each format, in a folder of their own, named as kFormats names them.
    QString makeSongs() {
        const QString folder = dir_.filePath(QStringLiteral("songs"));
        QDir().mkpath(folder);
        for (const Format& format : kFormats)
            EXPECT_TRUE(makeWithFfmpeg(folder + u'/' + QLatin1String(format.name),
                                       QStringLiteral("-f lavfi -i sine=f=440:d=3 -ac 2"), format.codec));
        return folder;
    }
    QStringList titles(int deck) {
        QStringList texts;
        for (int i = 0; i < window().titleList(deck)->count(); ++i) texts << window().titleList(deck)->item(i)->text();
        return texts;
    }
};

// A dropped folder gives every format, whatever the case of its ending; each plays from a double-click
// with its length shown as soon as it is loaded.
TEST_F(FormatsWindow, EveryFormatFromAFolderPlaysWithItsLengthShownOnLoad) {
    app_->shutdown();
    app_.reset();
    const QString wav = dir_.filePath(QStringLiteral("mix.wav"));
    args_ = {"--audio-output=wav:" + wav.toStdString()};
    start();
    const QString folder = makeSongs();
    EXPECT_TRUE(QFile(folder + QStringLiteral("/notes.txt")).open(QIODevice::WriteOnly));
    dropFiles(window().titleList(0)->viewport(), {folder});
    EXPECT_EQ(titles(0), QStringList({"flac.FLAC", "vorbis.Ogg", "opus.OPUS", "aac.M4A", "video.Mp4", "adts.AAC",
                                      "aiff.AIFF", "wavpack.WV"}));
    player().refresh();
    EXPECT_EQ(window().label("Totaltime", 0)->text(), QStringLiteral("/00'03")) << "the drop's song, before Play";

    auto* list = window().titleList(0);
    for (int row = 0; row < list->count(); ++row) {
        SCOPED_TRACE(list->item(row)->text().toStdString());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
        ASSERT_FALSE(player().player(0).hasError());
        player().refresh();
        EXPECT_EQ(window().label("Totaltime", 0)->text(), QStringLiteral("/00'03"));
        const std::size_t started = framesIn(wav);
        pressPlay(window(), 0);
        recordFor(wav, 0.8);
        pressPlay(window(), 0);  // pause
        const std::vector<float> mix = readSound(wav.toStdString());
        ASSERT_GT(mix.size() / 2, started + 30000);
        EXPECT_GT(goertzel(channel(mix, 0, started + 8000, 22050), 440.0, 44100), 0.03) << "the tone comes out";
    }
}

// The command line and the open dialog take the same endings in any case: the dialog lists them, takes
// several at once, and its folder button adds a folder as a drop does.
TEST_F(FormatsWindow, TheCommandLineAndTheOpenDialogTakeEveryEndingInAnyCase) {
    const QString folder = makeSongs();
    EXPECT_TRUE(QFile(folder + QStringLiteral("/notes.txt")).open(QIODevice::WriteOnly));
    app_->shutdown();
    app_.reset();
    args_ = {"--audio-output=null", (folder + QStringLiteral("/opus.OPUS")).toStdString(),
             (folder + QStringLiteral("/notes.txt")).toStdString(), (folder + QStringLiteral("/wavpack.WV")).toStdString()};
    start();
    EXPECT_EQ(titles(0), QStringList({"opus.OPUS", "wavpack.WV"}));
    player().refresh();
    EXPECT_EQ(window().label("Totaltime", 0)->text(), QStringLiteral("/00'03"));

    // The dialog lists the songs of every kind and no other file; two chosen at once are both added.
    QStringList listed;
    bool hasFolderButton = false;
    QTimer::singleShot(100, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->setDirectory(folder);
        auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
        ASSERT_NE(view, nullptr);
        auto rows = [view] {
            QStringList names;
            for (int r = 0; r < view->model()->rowCount(view->rootIndex()); ++r) {
                const QModelIndex index = view->model()->index(r, 0, view->rootIndex());
                if (view->model()->flags(index) & Qt::ItemIsEnabled) names << index.data().toString();
            }
            names.sort();
            return names;
        };
        EXPECT_TRUE(QTest::qWaitFor([&] { return rows().size() >= 8; }, 5000));
        QTest::qWait(100);
        listed = rows();
        hasFolderButton = dialog->findChild<QPushButton*>(QStringLiteral("addFolderButton")) != nullptr;
        if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            name->setText(QStringLiteral("\"aac.M4A\" \"flac.FLAC\""));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    click(window().picture("Imgadd", 1), QPoint(4, 4));
    QStringList expected;
    for (const Format& format : kFormats) expected << QLatin1String(format.name);
    expected.sort();
    EXPECT_EQ(listed, expected);
    EXPECT_TRUE(hasFolderButton);
    QStringList added = titles(1);
    added.sort();
    EXPECT_EQ(added, QStringList({"aac.M4A", "flac.FLAC"}));
    EXPECT_FALSE(player().player(1).hasError());

    // The folder button adds the folder the dialog shows, as a drop of it would.
    QTimer::singleShot(100, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->setDirectory(folder);
        if (auto* button = dialog->findChild<QPushButton*>(QStringLiteral("addFolderButton"))) button->click();
    });
    click(window().picture("Imgadd", 1), QPoint(4, 4));
    EXPECT_EQ(window().titleList(1)->count(), 2 + 8);
    EXPECT_EQ(window().titleList(1)->item(9)->text(), QStringLiteral("wavpack.WV"));
    EXPECT_EQ(player().player(1).fileName(), (folder + QStringLiteral("/wavpack.WV")).toStdString());
}

}  // namespace
}  // namespace korvex::test
