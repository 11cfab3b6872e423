#pragma once
// A drop of local files on a widget, as the desktop's file manager makes it (drag enter, then drop).

#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QStringList>
#include <QUrl>
#include <QWidget>

namespace korvex::test {

inline void dropFiles(QWidget* target, const QStringList& paths,
                      Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
    data.setUrls(urls);
    const QPointF at(5, 5);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, modifiers);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, modifiers);
    QCoreApplication::sendEvent(target, &drop);
}

}  // namespace korvex::test
