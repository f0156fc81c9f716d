#include "ui/file_drop_target.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include "platform/paths.h"

namespace ui {

std::optional<std::filesystem::path> firstDroppedFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) {
        return std::nullopt;
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            return platform::toPath(url.toLocalFile());
        }
    }
    return std::nullopt;
}

FileDropTarget::FileDropTarget(QWidget* target, Accepts accepts, Dropped dropped)
    : QObject(target), accepts_(std::move(accepts)), dropped_(std::move(dropped)) {
    target->setAcceptDrops(true);
    target->installEventFilter(this);
}

bool FileDropTarget::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if (type == QEvent::DragLeave) {
        return true;
    }
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) {
        return QObject::eventFilter(watched, event);
    }
    auto* drag = static_cast<QDropEvent*>(event);
    const auto file = firstDroppedFile(drag->mimeData());
    const Qt::DropAction harmless =
        (drag->possibleActions() & Qt::CopyAction) != 0 ? Qt::CopyAction : Qt::LinkAction;
    if (!file || (drag->possibleActions() & harmless) == 0 || !accepts_(*file)) {
        drag->ignore();
        return true;
    }
    drag->setDropAction(harmless);
    drag->accept();
    if (type == QEvent::Drop) {
        QMetaObject::invokeMethod(
            this, [this, dropped = *file] { dropped_(dropped); }, Qt::QueuedConnection);
    }
    return true;
}

}  // namespace ui
