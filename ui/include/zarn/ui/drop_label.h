// The drop zone: a label that takes drops of local files from the desktop.
#pragma once

#include <QByteArrayList>
#include <QLabel>

class QMimeData;

namespace zarn::ui {

class DropLabel : public QLabel {
    Q_OBJECT
public:
    explicit DropLabel(QWidget* parent = nullptr);

    // The local files of a drop, in the order given, as the exact bytes of their names;
    // empty when there are none.
    static QByteArrayList localFiles(const QMimeData* data);
    // True when the drop also offers its content as rich text.
    static bool offersRichText(const QMimeData* data);

signals:
    void filesDropped(const QByteArrayList& paths, bool richText);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void setHighlighted(bool on);
};

}  // namespace zarn::ui
