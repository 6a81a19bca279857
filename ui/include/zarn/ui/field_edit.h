// A single-line number field whose every typed or pasted character first passes a key
// filter that may swallow it.
#pragma once

#include <QClipboard>
#include <QLineEdit>
#include <functional>

namespace zarn::ui {

class FieldEdit : public QLineEdit {
    Q_OBJECT
public:
    // The filter receives the character code (8 Backspace, 13 Enter) and sets it to 0 to
    // swallow the key.
    using KeyFilter = std::function<void(int& key)>;

    explicit FieldEdit(QWidget* parent = nullptr);
    void setKeyFilter(KeyFilter filter) { filter_ = std::move(filter); }

    // Inserts `text` at the cursor as if typed, character by character, through the filter.
    // Control characters are dropped, so a paste neither deletes nor moves the focus.
    void insertFiltered(const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void pasteFrom(QClipboard::Mode mode);
    bool runFilter(int& key);

    KeyFilter filter_;
};

}  // namespace zarn::ui
