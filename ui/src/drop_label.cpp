#include "zarn/ui/drop_label.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace zarn::ui {

DropLabel::DropLabel(QWidget* parent) : QLabel(parent) {
    setAcceptDrops(true);
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

QStringList DropLabel::localFiles(const QMimeData* data) {
    QStringList files;
    if (!data || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile() && !url.toLocalFile().isEmpty()) files << url.toLocalFile();
    return files;
}

bool DropLabel::offersRichText(const QMimeData* data) {
    if (!data) return false;
    for (const char* format : {"text/rtf", "text/richtext", "application/rtf"})
        if (data->hasFormat(QLatin1String(format))) return true;
    return false;
}

void DropLabel::dragEnterEvent(QDragEnterEvent* event) {
    // Dragged text or a web link has no file to convert: refuse it here.
    if (localFiles(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    setHighlighted(true);
}

void DropLabel::dragMoveEvent(QDragMoveEvent* event) {
    if (localFiles(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void DropLabel::dragLeaveEvent(QDragLeaveEvent* event) {
    setHighlighted(false);
    QLabel::dragLeaveEvent(event);
}

void DropLabel::dropEvent(QDropEvent* event) {
    setHighlighted(false);
    const QStringList files = localFiles(event->mimeData());
    if (files.isEmpty()) {
        event->ignore();
        return;
    }
    // Copy, never move: the source must stay where it is.
    if (event->possibleActions() & Qt::CopyAction) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->acceptProposedAction();
    }
    emit filesDropped(files, offersRichText(event->mimeData()));
}

void DropLabel::setHighlighted(bool on) {
    setAutoFillBackground(on);
    setBackgroundRole(on ? QPalette::Highlight : QPalette::Window);
    setForegroundRole(on ? QPalette::HighlightedText : QPalette::WindowText);
}

}  // namespace zarn::ui
