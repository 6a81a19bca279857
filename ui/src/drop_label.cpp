#include "zarn/ui/drop_label.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QSysInfo>

namespace zarn::ui {

DropLabel::DropLabel(QWidget* parent) : QLabel(parent) {
    setAcceptDrops(true);
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

namespace {

// The file a "file:" URI names, as bytes: empty for any other URI and for another host's file.
// The bytes are percent-decoded one by one; QUrl would decode them as UTF-8 and garble a name
// that is not.
QByteArray localPath(const QByteArray& uri) {
    if (!uri.toLower().startsWith("file:")) return {};
    QByteArray path = uri.mid(5);
    if (path.startsWith("//")) {
        const qsizetype slash = path.indexOf('/', 2);
        if (slash < 0) return {};
        const QByteArray host = path.mid(2, slash - 2).toLower();
        if (!host.isEmpty() && host != "localhost" &&
            host != QSysInfo::machineHostName().toLower().toUtf8())
            return {};
        path = path.mid(slash);
    }
    return path.startsWith('/') ? QByteArray::fromPercentEncoding(path) : QByteArray();
}

}  // namespace

QByteArrayList DropLabel::localFiles(const QMimeData* data) {
    QByteArrayList files;
    if (!data) return files;
    // One URI a line, lines ending in CR LF; comment lines are no file URIs.
    for (const QByteArray& line : data->data(QStringLiteral("text/uri-list")).split('\n')) {
        const QByteArray path = localPath(line.trimmed());
        if (!path.isEmpty()) files << path;
    }
    return files;
}

bool DropLabel::offersRichText(const QMimeData* data) {
    if (!data) return false;
    for (const char* format : {"text/rtf", "text/richtext", "application/rtf"})
        if (data->hasFormat(QLatin1String(format))) return true;
    return false;
}

namespace {

// Copy, never move: a source that honours a move deletes the input once the drop is taken.
// A drag that offers no copy cannot be told to copy (Qt keeps the action to those offered), so
// it is refused, as is one without a file to convert (dragged text, a web link).
bool takeAsCopy(QDropEvent* event) {
    if (!(event->possibleActions() & Qt::CopyAction) ||
        DropLabel::localFiles(event->mimeData()).isEmpty()) {
        event->ignore();
        return false;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

}  // namespace

void DropLabel::dragEnterEvent(QDragEnterEvent* event) {
    if (takeAsCopy(event)) setHighlighted(true);
}

void DropLabel::dragMoveEvent(QDragMoveEvent* event) { takeAsCopy(event); }

void DropLabel::dragLeaveEvent(QDragLeaveEvent* event) {
    setHighlighted(false);
    QLabel::dragLeaveEvent(event);
}

void DropLabel::dropEvent(QDropEvent* event) {
    setHighlighted(false);
    if (takeAsCopy(event))
        emit filesDropped(localFiles(event->mimeData()), offersRichText(event->mimeData()));
}

void DropLabel::setHighlighted(bool on) {
    setAutoFillBackground(on);
    setBackgroundRole(on ? QPalette::Highlight : QPalette::Window);
    setForegroundRole(on ? QPalette::HighlightedText : QPalette::WindowText);
}

}  // namespace zarn::ui
