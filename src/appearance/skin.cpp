#include "appearance/skin.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <array>
#include <utility>

#include "appearance/layout_table.h"

namespace korvex::appearance {
namespace {

struct ImageRef {
    std::string_view name;
    int index;
};

// The main window's images in the order a skin is loaded into them. Their bitmaps come from the layout
// table: the idle look, except for the selected pattern button.
// clang-format off
constexpr auto kLoadOrder = std::to_array<ImageRef>({
    {"Imgmenu", -1}, {"Imgrec", -1},
    {"Imgadd", 0}, {"Imgdell", 0}, {"Imgup", 0}, {"Imgdwn", 0}, {"ImgtoB", -1},
    {"Imgadd", 1}, {"Imgdell", 1}, {"Imgup", 1}, {"Imgdwn", 1}, {"ImgtoA", -1},
    {"Formend", -1}, {"Minimum", -1}, {"Tobar", -1},
    {"searchL", 0}, {"searchL", 1}, {"searchR", 0}, {"searchR", 1},
    {"Stop", 0}, {"Stop", 1}, {"SongNext", 0}, {"SongNext", 1}, {"SongPre", 0}, {"SongPre", 1},
    {"Play", 0}, {"Play", 1}, {"Pause", 0}, {"Pause", 1},
    {"switch", -1}, {"Lvol", -1}, {"volR", -1}, {"center", -1},
    {"miniplay", -1}, {"ministop", -1}, {"minipre", -1}, {"mininext", -1},
    {"Image1", -1}, {"Picture4", -1}, {"Picture5", -1}, {"Picture8", -1},
    {"jogbtn", 0}, {"jogbtn", 1},
    {"pitchbtn", 0}, {"pitchbtn", 1}, {"Volbtn", 0}, {"Volbtn", 1},
    {"Faderbtn", -1}, {"panbtn", 0}, {"panbtn", 1}, {"Imgmonitor", 0}, {"Imgmonitor", 1},
    {"masterbtn", 0}, {"masterbtn", 1},
    {"FDpaturn", 0}, {"FDpaturn", 1}, {"FDpaturn", 2}, {"FDpaturn", 3},
});
// clang-format on

// Set by the panel layout, not by loading a skin.
constexpr auto kLayoutImages = std::to_array<ImageRef>({{"Imgsam", -1}, {"Imglist", -1}});

// Compares values only (no pointers), so it stays a constant expression in sanitizer builds too.
constexpr bool allInLayoutTable() {
    for (const ImageRef& r : kLoadOrder) {
        bool found = false;
        for (const LayoutEntry& e : kLayout)
            if (e.name == r.name && e.index == r.index && e.look != Look::kNone) found = true;
        if (!found) return false;
    }
    return true;
}
static_assert(allInLayoutTable(), "every skinned image needs a layout entry with a bitmap");

QString toQString(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QString bitmapOf(const ImageRef& r, bool selected) {
    return QString::fromStdString(bitmapFile(entryOf(r.name, r.index), selected));
}

// The sub-folders of `root` that are not hidden.
QStringList subfolders(const QString& root) {
    if (root.isEmpty()) return {};
    return QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
}

}  // namespace

// --- SkinFolders ----------------------------------------------------------------------------------------

SkinFolders::SkinFolders(QString executableDir, QString installedDataDir, QString userDataDir) {
    const QString beside = executableDir.isEmpty() ? QString() : executableDir + QStringLiteral("/picture");
    if (!beside.isEmpty() && QFileInfo(beside).isDir()) {
        shippedRoot_ = beside;
    } else if (!installedDataDir.isEmpty()) {
        shippedRoot_ = installedDataDir + QStringLiteral("/picture");
    }
    if (!userDataDir.isEmpty()) userRoot_ = userDataDir + QStringLiteral("/picture");
}

SkinFolders SkinFolders::standard(const QString& installedDataDir) {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return SkinFolders(QCoreApplication::applicationDirPath(), installedDataDir,
                       data.isEmpty() ? QString() : data + QStringLiteral("/korvex"));
}

bool SkinFolders::isValidName(const QString& skin) {
    return !skin.isEmpty() && skin != QStringLiteral(".") && skin != QStringLiteral("..") &&
           !skin.contains(QLatin1Char('/')) && !skin.contains(QChar(0));
}

QStringList SkinFolders::skinNames() const {
    QStringList names = subfolders(shippedRoot_);
    for (const QString& name : subfolders(userRoot_)) {
        if (!names.contains(name)) names.append(name);
    }
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int c = QString::compare(a, b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    return names;
}

QString SkinFolders::filePath(const QString& skin, const QString& file) const {
    if (!isValidName(skin)) return {};
    const QString rel = QLatin1Char('/') + skin + QLatin1Char('/') + file;
    if (!userRoot_.isEmpty() && QFileInfo::exists(userRoot_ + rel)) return userRoot_ + rel;
    if (!shippedRoot_.isEmpty()) return shippedRoot_ + rel;
    return userRoot_.isEmpty() ? QString() : userRoot_ + rel;
}

QString SkinFolders::writablePath(const QString& skin, const QString& file) const {
    const QString inUse = filePath(skin, file);
    if (inUse.isEmpty()) return {};
    const QFileInfo folder(QFileInfo(inUse).absolutePath());
    if (folder.isDir() && folder.isWritable()) return inUse;
    if (userRoot_.isEmpty()) return inUse;
    return userRoot_ + QLatin1Char('/') + skin + QLatin1Char('/') + file;
}

// --- SkinPictures ---------------------------------------------------------------------------------------

SkinPictures::SkinPictures(SkinFolders folders)
    : folders_(std::move(folders)), skinname_(toQString(kDefaultSkin)) {
    images_.reserve(kLoadOrder.size() + kLayoutImages.size());
    for (const ImageRef& r : kLoadOrder) images_.push_back({r.name, r.index, {}, {}, skinname_});
    for (const ImageRef& r : kLayoutImages) images_.push_back({r.name, r.index, {}, {}, skinname_});
}

bool SkinPictures::loadskin(const QString& skinname, int faderpattern, PictureCheck& check) {
    skinname_ = skinname;
    ++revision_;
    for (std::size_t i = 0; i < kLoadOrder.size(); ++i) {
        const ImageRef& r = kLoadOrder[i];
        const bool selected = r.name == "FDpaturn" && r.index == faderpattern;
        const QString bitmap = bitmapOf(r, selected);
        const QString path = pictureFor(bitmap);
        if (path.isEmpty() || !check.canLoad(path)) return false;
        set(images_[i], bitmap, path);
    }
    return true;
}

QString SkinPictures::pictureFor(const QString& bitmap) const {
    return folders_.filePath(skinname_, bitmap);
}

QString SkinPictures::pictureFor(std::string_view name, int index, const QString& bitmap) const {
    const ImagePicture* image = find(name, index);
    return folders_.filePath(image == nullptr ? skinname_ : image->skin, bitmap);
}

bool SkinPictures::show(std::string_view name, int index, const QString& bitmap, PictureCheck& check) {
    ImagePicture* image = findMutable(name, index);
    if (image == nullptr) return false;
    const QString path = pictureFor(bitmap);
    if (path.isEmpty() || !check.canLoad(path)) return false;
    set(*image, bitmap, path);
    return true;
}

const ImagePicture* SkinPictures::find(std::string_view name, int index) const {
    for (const ImagePicture& image : images_) {
        if (image.name == name && image.index == index) return &image;
    }
    return nullptr;
}

ImagePicture* SkinPictures::findMutable(std::string_view name, int index) {
    for (ImagePicture& image : images_) {
        if (image.name == name && image.index == index) return &image;
    }
    return nullptr;
}

QString SkinPictures::picture(std::string_view name, int index) const {
    const ImagePicture* image = find(name, index);
    return image == nullptr ? QString() : image->path;
}

QString SkinPictures::bitmap(std::string_view name, int index) const {
    const ImagePicture* image = find(name, index);
    return image == nullptr ? QString() : image->bitmap;
}

std::vector<ImagePicture> SkinPictures::recorderPictures(PictureCheck& check) const {
    std::vector<ImagePicture> loaded;
    for (const LayoutEntry& e : kLayout) {
        if (e.panel != Panel::kRecorder || e.look == Look::kNone) continue;
        const QString bitmap = QString::fromStdString(bitmapFile(e));
        const QString path = pictureFor(bitmap);
        if (path.isEmpty() || !check.canLoad(path)) break;
        loaded.push_back({e.name, e.index, bitmap, path, skinname_});
    }
    return loaded;
}

void SkinPictures::set(ImagePicture& image, const QString& bitmap, const QString& path) {
    image.bitmap = bitmap;
    image.path = path;
    image.skin = skinname_;
    ++revision_;
}

}  // namespace korvex::appearance
