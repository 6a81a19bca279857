#include "zarn/ui/field_edit.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

namespace zarn::ui {

namespace {

constexpr int kBackspace = 8;
constexpr int kEnter = 13;

}  // namespace

FieldEdit::FieldEdit(QWidget* parent) : QLineEdit(parent) {
    // Text dragged onto a field would bypass the filter.
    setAcceptDrops(false);
}

bool FieldEdit::runFilter(int& key) {
    if (filter_) filter_(key);
    return key != 0;
}

void FieldEdit::insertFiltered(const QString& text) {
    for (const QChar ch : text) {
        if (!ch.isPrint()) continue;
        int key = ch.unicode();
        if (runFilter(key)) insert(QString(ch));
    }
}

void FieldEdit::pasteFrom(QClipboard::Mode mode) {
    if (isReadOnly()) return;
    insertFiltered(QGuiApplication::clipboard()->text(mode));
}

void FieldEdit::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Paste)) {
        pasteFrom(QClipboard::Clipboard);
        event->accept();
        return;
    }
    const bool shortcut =
        event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    int key = -1;
    if (event->key() == Qt::Key_Backspace) {
        key = kBackspace;
    } else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        key = kEnter;
    } else if (!shortcut && !event->text().isEmpty() && event->text().at(0).isPrint()) {
        key = event->text().at(0).unicode();
    }
    // Keys that type nothing (cursor keys, Delete, shortcuts) work as in any field.
    if (key >= 0 && !runFilter(key)) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void FieldEdit::inputMethodEvent(QInputMethodEvent* event) {
    const QString commit = event->commitString();
    if (commit.isEmpty()) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent rest(event->preeditString(), event->attributes());
    QLineEdit::inputMethodEvent(&rest);
    insertFiltered(commit);
    event->accept();
}

void FieldEdit::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (QAction* action : menu->actions()) {
        if (action->objectName() != QLatin1String("edit-paste")) continue;
        disconnect(action, &QAction::triggered, nullptr, nullptr);
        connect(action, &QAction::triggered, this, [this] { pasteFrom(QClipboard::Clipboard); });
    }
    menu->popup(event->globalPos());
}

void FieldEdit::mouseReleaseEvent(QMouseEvent* event) {
    // The middle button pastes the X11 selection.
    if (event->button() == Qt::MiddleButton && QGuiApplication::clipboard()->supportsSelection()) {
        pasteFrom(QClipboard::Selection);
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

}  // namespace zarn::ui
