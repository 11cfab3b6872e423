#pragma once
// The start-up window: the program's mark, its version and a short note while the player gets ready.
// A click or a key press in it hands over to the main window at once.

#include <QPixmap>
#include <QString>
#include <QWidget>
#include <functional>

namespace korvex::app {

class SplashWindow : public QWidget {
public:
    explicit SplashWindow(QWidget* parent = nullptr);

    // The picture (`Image2`), taken from the main window's icon.
    void setPicture(const QPixmap& picture);
    const QPixmap& picture() const { return picture_; }
    // `lblVersion`.
    void setVersionText(const QString& text);
    const QString& versionText() const { return version_; }

    std::function<void()> onClick;
    std::function<void()> onKey;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPixmap picture_;
    QString version_;
};

}  // namespace korvex::app
