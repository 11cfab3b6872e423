// Window tests run on Qt's offscreen platform, each process with its own runtime and settings folders
// so that tests running side by side never meet each other's single-instance lock.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QTemporaryDir>

int main(int argc, char** argv) {
    QTemporaryDir home;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_RUNTIME_DIR", (home.path() + QStringLiteral("/run")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toUtf8());
    QApplication app(argc, argv);
    // A first start finds no settings file and says it starts afresh; answer that box as a user would.
    QTimer resetAnswer;
    QObject::connect(&resetAnswer, &QTimer::timeout, [] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box != nullptr && box->text() == QStringLiteral("Korvexの状態を初期化します。")) box->accept();
    });
    resetAnswer.start(20);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
