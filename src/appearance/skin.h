#pragma once
// Skins: where their folders are, which skins there are, and which picture every image shows.
//
// Why it is shaped this way: a picture is model state, so an image's picture is the path of the bitmap it
// shows, not a pixmap. Loading a skin is a walk over a fixed list of images in a fixed order that stops at
// the first bitmap that cannot be loaded; what was set before it shows the new skin, the rest keep what they
// had. Whether a file can be loaded is asked through PictureCheck, so the window layer answers with its
// image reader and a test answers from a list, and the whole walk runs without a display.
//
// Skins live in up to two places: the shipped ones (a picture/ folder beside the executable when there is
// one, else the installed data folder) and the user's own ($XDG_DATA_HOME/korvex/picture/). A user skin of
// the same name as a shipped one takes its place. The lookup goes file by file, so a user copy that holds
// only a changed font.txt still shows the shipped bitmaps.
//
// Everything here runs on the user-interface thread.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <string_view>
#include <vector>

namespace korvex::appearance {

// The skin used when the settings name none.
inline constexpr std::string_view kDefaultSkin = "orange";

// Answers whether a bitmap file can be loaded (the file exists and its picture is readable).
class PictureCheck {
public:
    virtual ~PictureCheck() = default;
    virtual bool canLoad(const QString& path) = 0;
};

// The skins folders and the files in them.
class SkinFolders {
public:
    // `executableDir`: the folder of the running program; its picture/ folder, when present, holds the
    // shipped skins. `installedDataDir`: the program's installed data folder (<prefix>/share/korvex), whose
    // picture/ folder holds the shipped skins otherwise. `userDataDir`: the user's data folder for the
    // program ($XDG_DATA_HOME/korvex). Any of them may be empty.
    SkinFolders(QString executableDir, QString installedDataDir, QString userDataDir);

    // The folders of the running program: its executable's folder and the user's data folder.
    // Needs a QCoreApplication.
    static SkinFolders standard(const QString& installedDataDir);

    // The folder that holds the shipped skins (may not exist).
    QString shippedRoot() const { return shippedRoot_; }
    // The folder that holds the user's skins (may not exist); empty without a user data folder.
    QString userRoot() const { return userRoot_; }

    // Every skin name, shipped and the user's, each once, sorted case-insensitively. Hidden folders are
    // not skins.
    QStringList skinNames() const;

    // The file `file` of skin `skin`: the user's copy when it has that file, else the shipped one. Empty
    // for a name that is not a plain folder name (empty, ".", "..", or with a "/"), so a skin name read from
    // the settings file can never reach outside the skins folders.
    QString filePath(const QString& skin, const QString& file) const;

    // Where a changed `file` of `skin` is written: beside the file in use when that folder is writable,
    // else in the user's copy of the skin (the folder may still have to be created). Empty as filePath().
    QString writablePath(const QString& skin, const QString& file) const;

    // Whether `skin` can name a skin folder.
    static bool isValidName(const QString& skin);

private:
    QString shippedRoot_;
    QString userRoot_;
};

// One image of a window and the picture it shows.
struct ImagePicture {
    // The control's name and index (-1 for a control that is not part of an array), as in the layout table.
    std::string_view name;
    int index;
    // The bitmap's file name ("switch1.bmp"); empty while the image shows the window's own picture.
    QString bitmap;
    // The file the picture was loaded from.
    QString path;
    // The skin the image's pictures come from: the last skin whose loading reached it.
    QString skin;
};

// The pictures of the main window's images and the current skin.
class SkinPictures {
public:
    explicit SkinPictures(SkinFolders folders);

    const SkinFolders& folders() const { return folders_; }

    // `loadskin`: makes `skinname` the current skin and loads its bitmaps into the images in their load
    // order. `faderpattern` is the pattern button shown selected (0 .. 3); it gets its "2" bitmap, the other
    // pattern buttons their "1" bitmap. Stops at the first bitmap that cannot be loaded: the images before
    // it show the new skin, the rest keep their pictures. Returns whether every image was loaded.
    // Loading the skin that is already current loads it again in full.
    bool loadskin(const QString& skinname, int faderpattern, PictureCheck& check);

    // The current skin's name.
    const QString& skinname() const { return skinname_; }

    // The path of `bitmap` ("cue2.bmp") in the current skin, for the pictures that change on a press or a
    // state; empty when the current skin's name cannot name a folder.
    QString pictureFor(const QString& bitmap) const;

    // The path of `bitmap` for an image: from the skin the image's pictures come from, so an image that a
    // stopped skin load did not reach swaps its pressed and idle looks within its previous skin. Images that
    // are not in the list take the current skin.
    QString pictureFor(std::string_view name, int index, const QString& bitmap) const;

    // Shows `bitmap` of the current skin on an image, when it can be loaded; otherwise the image keeps its
    // picture and the result is false. Also false for an image that is not in the list.
    bool show(std::string_view name, int index, const QString& bitmap, PictureCheck& check);

    // Every image in load order; the sampler and list buttons, which the panel layout sets, come last.
    const std::vector<ImagePicture>& images() const { return images_; }
    // The image with that name and index, or nullptr.
    const ImagePicture* find(std::string_view name, int index = -1) const;
    // The path an image's picture came from (empty when the image shows its own picture or is unknown).
    QString picture(std::string_view name, int index = -1) const;
    // The bitmap an image shows (empty as above).
    QString bitmap(std::string_view name, int index = -1) const;

    // The recorder window's pictures from the current skin, loaded when that window opens: its images in
    // load order, up to the first bitmap that cannot be loaded (the window keeps its own pictures for the
    // rest).
    std::vector<ImagePicture> recorderPictures(PictureCheck& check) const;

    // Grows whenever a picture changes; the window redraws when it differs.
    std::uint64_t revision() const { return revision_; }

private:
    ImagePicture* findMutable(std::string_view name, int index);
    void set(ImagePicture& image, const QString& bitmap, const QString& path);

    SkinFolders folders_;
    QString skinname_;
    std::vector<ImagePicture> images_;
    std::uint64_t revision_ = 0;
};

}  // namespace korvex::appearance
