#include "platform/FileDrop.h"

#include "platform/Prompts.h"

#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QPointer>
#include <QUrl>
#include <QWidget>

std::optional<std::string> DroppedFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls())
        return std::nullopt;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile())
            continue;
        const QFileInfo info(url.toLocalFile());
        if (info.isFile())
            return QDir::toNativeSeparators(info.absoluteFilePath()).toLocal8Bit().toStdString();
    }
    return std::nullopt;
}

FileDropTarget::FileDropTarget(QWidget* window, FileDialogState* state, Load load)
    : QObject(window), window_(window), state_(state), load_(std::move(load)) {
    window->setAcceptDrops(true);
    window->installEventFilter(this);
}

bool FileDropTarget::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_)
        return false;
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        if (DroppedFile(drag->mimeData()))
            drag->acceptProposedAction();
        else
            drag->ignore();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const std::optional<std::string> path = DroppedFile(drop->mimeData());
        if (!path) {
            drop->ignore();
            return true;
        }
        drop->acceptProposedAction();
        if (state_)
            Remember(*state_, FileChoice{*path, state_->entry});
        // Loading may ask the user something; the drag source gets its answer first
        // rather than waiting on a message box.
        QMetaObject::invokeMethod(
            window_, [load = load_, file = *path] { load(file); }, Qt::QueuedConnection);
        return true;
    }
    default:
        return false;
    }
}
