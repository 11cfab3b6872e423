// korvex-skinpainter: paints the shipped skins.
//
//   korvex-skinpainter OUTDIR                  writes OUTDIR/<skin>/*.bmp, jog.ico and font.txt for every
//   skin korvex-skinpainter --preview SKIN OUT.png  writes a picture of the whole window in that skin
//   korvex-skinpainter --icon SKIN SIZE OUT.png     writes the program's desktop icon in that skin's style
//
// It needs no display: without QT_QPA_PLATFORM set it uses Qt's offscreen platform.

#include "app_icon.h"
#include "appearance/layout_table.h"
#include "palette.h"
#include "preview.h"
#include "skin.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImageWriter>
#include <QStringList>

#include <cstdio>

namespace {

using korvex::skinpainter::Images;
using korvex::skinpainter::Palette;

void fail(const QString& message) {
    std::fprintf(stderr, "korvex-skinpainter: %s\n", qPrintable(message));
}

// Every file the layout table names must have been painted.
bool complete(const Images& images, const QString& skin) {
    bool ok = true;
    for (const korvex::appearance::LayoutEntry& e : korvex::appearance::kLayout) {
        if (e.look == korvex::appearance::Look::kNone) continue;
        for (bool pressed : {false, true}) {
            const std::string file = korvex::appearance::bitmapFile(e, pressed);
            if (images.count(file) == 0) {
                fail(QStringLiteral("%1: nothing painted for %2").arg(skin, QString::fromStdString(file)));
                ok = false;
            }
        }
    }
    return ok;
}

bool writeSkin(const Palette& pal, const QString& outDir) {
    const Images images = korvex::skinpainter::paintSkin(pal);
    if (!complete(images, pal.name)) return false;
    const QDir dir(QDir(outDir).filePath(pal.name));
    if (!QDir().mkpath(dir.path())) {
        fail(QStringLiteral("cannot create %1").arg(dir.path()));
        return false;
    }
    for (const auto& [name, image] : images) {
        const QString path = dir.filePath(QString::fromStdString(name));
        const bool icon = name.ends_with(".ico");
        const QImage out = icon ? image.convertToFormat(QImage::Format_ARGB32)
                                : image.convertToFormat(QImage::Format_RGB888);  // 24-bit BMP
        if (!out.save(path, icon ? "ICO" : "BMP")) {
            fail(QStringLiteral("cannot write %1").arg(path));
            return false;
        }
    }
    QFile fonts(dir.filePath(QStringLiteral("font.txt")));
    if (!fonts.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        fonts.write(korvex::skinpainter::fontTxt(pal).toUtf8()) < 0) {
        fail(QStringLiteral("cannot write %1").arg(fonts.fileName()));
        return false;
    }
    return true;
}

int usage() {
    std::fprintf(stderr,
                 "usage: korvex-skinpainter OUTDIR\n"
                 "       korvex-skinpainter --preview SKIN OUT.png\n"
                 "       korvex-skinpainter --icon SKIN SIZE OUT.png\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    const auto& skins = korvex::skinpainter::palettes();

    if (args.size() == 4 && args[1] == QStringLiteral("--preview")) {
        for (const Palette& pal : skins) {
            if (pal.name != args[2]) continue;
            const QImage preview =
                korvex::skinpainter::composePreview(pal, korvex::skinpainter::paintSkin(pal));
            if (!preview.save(args[3], "PNG")) {
                fail(QStringLiteral("cannot write %1").arg(args[3]));
                return 1;
            }
            return 0;
        }
        fail(QStringLiteral("no skin called %1").arg(args[2]));
        return 1;
    }
    if (args.size() == 5 && args[1] == QStringLiteral("--icon")) {
        const int size = args[3].toInt();
        for (const Palette& pal : skins) {
            if (pal.name != args[2]) continue;
            if (size < 16 || size > 1024 || !korvex::skinpainter::appIcon(pal, size).save(args[4], "PNG")) {
                fail(QStringLiteral("cannot write a %1 px icon to %2").arg(args[3], args[4]));
                return 1;
            }
            return 0;
        }
        fail(QStringLiteral("no skin called %1").arg(args[2]));
        return 1;
    }
    if (args.size() != 2 || args[1].startsWith(QStringLiteral("-"))) return usage();

    if (!QImageWriter::supportedImageFormats().contains("ico")) {
        fail(QStringLiteral("this Qt cannot write .ico files (the ico image format plugin is missing)"));
        return 1;
    }
    for (const Palette& pal : skins) {
        if (!writeSkin(pal, args[1])) return 1;
    }
    return 0;
}
