#pragma once
// A skinned control: draws one bitmap of the current skin at its own size and reports presses, releases
// and clicks. Labels draw their text on the panel below instead (no bitmap).

#include <QImage>
#include <QPixmap>
#include <QString>
#include <QWidget>
#include <functional>

namespace korvex::appearance {

// The picture in the file at `path`; a null image when the file is missing, is not an ordinary file (a
// pipe or a device is not waited on) or holds no picture Qt can read. Quiet: an empty path prints nothing.
QImage readPicture(const QString& path);
// Whether readPicture() would give a picture, without decoding it.
bool canReadPicture(const QString& path);

class PictureWidget : public QWidget {
public:
    explicit PictureWidget(QWidget* parent = nullptr);

    // Shows the bitmap at `path`; an unreadable file keeps the picture shown before. Returns whether the
    // picture could be loaded.
    bool setPicture(const QString& path);
    const QString& picturePath() const { return path_; }
    // The look drawn while no bitmap is shown (a skin without this control's pictures): a plain key with
    // `text`, lit or not. Without a text nothing is drawn.
    void setPaintedLook(const QString& text, bool lit);
    // Drops the bitmap, so the painted look shows.
    void clearPicture();
    // The name of the skin bitmap the window last asked this picture to show ("cue1.bmp"; "!cue1.bmp" when
    // the skin lacks it), so the 30 ms redraw neither looks it up nor reads it again.
    const QString& bitmapName() const { return bitmapName_; }
    void setBitmapName(const QString& name) { bitmapName_ = name; }

    // Mouse hooks; coordinates are in twips relative to the widget.
    std::function<void(Qt::MouseButton, int x, int y)> onPress;
    std::function<void(Qt::MouseButton, int x, int y)> onRelease;
    std::function<void(Qt::MouseButtons, int x, int y)> onMove;
    std::function<void()> onClick;
    std::function<void()> onDoubleClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateOpaque();
    QString path_;
    QString bitmapName_;
    QPixmap pixmap_;
    QString lookText_;
    bool lookLit_ = false;
    bool down_ = false;
};

}  // namespace korvex::appearance
