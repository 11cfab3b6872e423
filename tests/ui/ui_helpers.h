#pragma once
// Shared set-up of the window tests: a started player, tone files, clicks, message boxes, menu items,
// settings files, user skins and the wav output's growth.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "app/ui/korvex_app.h"
#include "support/drops.h"
#include "support/signals.h"

namespace korvex::test {

// A stereo 16-bit wave file `name` in `dir` of `seconds` of `freq` Hz.
inline QString toneFile(const QString& dir, const QString& name, double freq = 440.0, double seconds = 3.0) {
    const QString path = dir + QLatin1Char('/') + name;
    writeWav16(path.toStdString(), sine(freq, seconds));
    return path;
}

inline void click(QWidget* widget, QPoint at = QPoint(3, 3)) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, at);
}

// Presses and releases a deck's Play/Pause button.
inline void pressPlay(app::MainWindow& window, int deck) {
    click(window.picture("Pause", deck), QPoint(5, 5));
}

// Answers the next message box (within three seconds) with `button` once it shows, noting its text.
inline void answerNextBox(QMessageBox::StandardButton button, QString* text = nullptr, int tries = 100) {
    QTimer::singleShot(30, [button, text, tries] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            if (tries > 0) answerNextBox(button, text, tries - 1);
            return;
        }
        if (text != nullptr) *text = box->text();
        box->button(button)->click();
    });
}

// The item `caption` of the menu bar's menu `menu`.
inline QAction* menuItem(QMenuBar* bar, const QString& menu, const QString& caption) {
    for (QAction* top : bar->actions()) {
        if (top->text() != menu || top->menu() == nullptr) continue;
        for (QAction* item : top->menu()->actions())
            if (item->text() == caption) return item;
    }
    return nullptr;
}

inline QString settingsPath() {
    return QString::fromUtf8(qgetenv("XDG_CONFIG_HOME")) + QStringLiteral("/korvex/korvexp.ini");
}

inline QByteArray crlf(const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines) bytes += line.toUtf8() + "\r\n";
    return bytes;
}

inline void writeLines(const QString& path, const QStringList& lines) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(crlf(lines));
}

// The lines after both decks' lists: the switches with `skin`, the fader table, the switch times and the
// eight empty sampler slots.
inline QStringList settingsTail(const QString& skin = QStringLiteral("orange")) {
    QStringList lines{"True", "True", "True", "False", "False", "0",     "0",     "2", "True",
                      skin,   "",     "True", "20",    "10",    "False", "False", "0", "True"};
    lines << QStringList{"500", "500", "0", "0", "0", "500", "0", "500", "0", "0", "500", "500"};
    lines << QStringList{"50", "50", "50"};
    for (int i = 0; i < 8; ++i) lines << "0";
    for (int i = 0; i < 8; ++i) lines << "";
    return lines;
}

inline QString shippedSkin(const QString& skin) {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/picture/") + skin;
}

inline QString userSkinRoot() {
    return QString::fromUtf8(qgetenv("XDG_DATA_HOME")) + QStringLiteral("/korvex/picture");
}

// A user skin `name`: the shipped orange skin without the bitmap `missing`; returns its folder.
inline QString makeUserSkin(const QString& name, const QString& missing) {
    const QString folder = userSkinRoot() + QLatin1Char('/') + name;
    QDir().mkpath(folder);
    const QDir shipped(shippedSkin(QStringLiteral("orange")));
    for (const QString& file : shipped.entryList(QDir::Files)) {
        if (file == missing) continue;
        QFile::remove(folder + u'/' + file);
        QFile::copy(shipped.filePath(file), folder + u'/' + file);
    }
    return folder;
}

inline std::size_t framesIn(const QString& wav) {
    const qint64 bytes = QFileInfo(wav).size();
    return bytes > 58 ? static_cast<std::size_t>(bytes - 58) / 8 : 0;
}

// Lets the player run until the recording has grown by `seconds`.
inline void recordFor(const QString& wav, double seconds) {
    const std::size_t target = framesIn(wav) + static_cast<std::size_t>(seconds * 44100);
    ASSERT_TRUE(QTest::qWaitFor([&] { return framesIn(wav) >= target; }, 20000));
}

// A player started on `args_` and handed over to its main window for each test (start() again after a
// shutdown); `prepare` runs before each start.
// Korvex's own settings file, beside the settings file.
inline QString korvexSettingsFile() {
    return QFileInfo(settingsPath()).dir().filePath(QStringLiteral("korvex.ini"));
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { start(); }
    void TearDown() override {
        if (app_) app_->shutdown();
    }
    void start() {
        app_ = std::make_unique<app::KorvexApp>(args_);
        prepare(*app_);
        ASSERT_TRUE(app_->start());
        app_->handOver();
    }
    virtual void prepare(app::KorvexApp&) {}
    app::MainWindow& window() { return app_->window(); }
    app::PlayerController& player() { return app_->player(); }
    QString tone(const QString& name, double freq = 440.0) { return toneFile(dir_.path(), name, freq); }

    // Leaves with the close button, answering "save", and returns what Korvex's own settings file then holds.
    QByteArray leaveSavingAndReadKorvexSettings() {
        answerNextBox(QMessageBox::Yes);
        click(window().picture("Formend"));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !window().isVisible(); }, 3000));
        app_->shutdown();
        QFile own(korvexSettingsFile());
        return own.open(QIODevice::ReadOnly) ? own.readAll() : QByteArray();
    }

    std::vector<std::string> args_{"--audio-output=null"};
    QTemporaryDir dir_;
    std::unique_ptr<app::KorvexApp> app_;
};

// A started player whose sound is written to the WAVE file `wav_`, with `extraArgs_` after the output's.
class WavWindowTest : public WindowTest {
protected:
    void SetUp() override {
        wav_ = dir_.filePath(QStringLiteral("mix.wav"));
        args_ = {"--audio-output=wav:" + wav_.toStdString()};
        args_.insert(args_.end(), extraArgs_.begin(), extraArgs_.end());
        WindowTest::SetUp();
    }
    std::vector<std::string> extraArgs_;
    QString wav_;
};

}  // namespace korvex::test
