// Starting the desktop volume mixer: found in PATH, started detached, a missing one not started.

#include "platform/os/volume_mixer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace korvex::os {
namespace {

std::string writeFile(const QTemporaryDir& folder, const QString& name, const QByteArray& text,
                      bool executable) {
    QFile file(folder.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner |
                        (executable ? QFile::ExeOwner : QFile::Permission{}));
    return file.fileName().toStdString();
}

TEST(VolumeMixerTest, FindsTheProgramInThePathAndStartsItDetached) {
    QTemporaryDir empty;
    QTemporaryDir bin;
    const std::string program = writeFile(bin, QStringLiteral("pavucontrol"), "#!/bin/sh\nexit 0\n", true);
    writeFile(empty, QStringLiteral("pavucontrol"), "not a program", false);
    QDir(empty.path()).mkdir(QStringLiteral("pavucontrol2"));
    const std::string path = empty.path().toStdString() + "::" + bin.path().toStdString();
    EXPECT_EQ(findInPath(kVolumeMixerProgram, path), program);
    EXPECT_EQ(findInPath(kVolumeMixerProgram, empty.path().toStdString()), "");
    EXPECT_EQ(findInPath("pavucontrol2", empty.path().toStdString()), "");  // a folder is no program
    EXPECT_EQ(findInPath("bin/sh", "/"), "");

    EXPECT_TRUE(startDetached(program));
    // Executable but nothing the system can run, and a file that is not there.
    EXPECT_FALSE(startDetached(writeFile(bin, QStringLiteral("broken"), "", true)));
    EXPECT_FALSE(startDetached(bin.filePath(QStringLiteral("missing")).toStdString()));
}

}  // namespace
}  // namespace korvex::os
