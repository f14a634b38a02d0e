#pragma once
// Drops onto a widget, as a file manager offers them.

#include "FileClipboard.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>
#include <string>
#include <vector>

namespace vintrel::test {

// Drops `urls` onto `target`; true if taken.
inline bool DropUrls(QWidget* target, const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

inline bool DropFiles(QWidget* target, const std::vector<std::string>& paths) {
    QList<QUrl> urls;
    for (const std::string& path : paths) urls << QUrl::fromEncoded(FileUri(path).toLatin1());
    return DropUrls(target, urls);
}

} // namespace vintrel::test
