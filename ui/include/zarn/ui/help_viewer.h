// The program's own help window.
#pragma once

#include <QDialog>

class QTextBrowser;

namespace zarn::ui {

class HelpViewer : public QDialog {
    Q_OBJECT
public:
    explicit HelpViewer(QWidget* parent = nullptr);
    // Shows the help file at `path` (simple HTML); false when it cannot be read.
    bool showFile(const QString& path);
    QTextBrowser* browser() const { return browser_; }

private:
    QTextBrowser* browser_;
};

}  // namespace zarn::ui
