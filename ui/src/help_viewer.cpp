#include "zarn/ui/help_viewer.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace zarn::ui {

HelpViewer::HelpViewer(QWidget* parent) : QDialog(parent), browser_(new QTextBrowser(this)) {
    setObjectName(QStringLiteral("helpViewer"));
    browser_->setObjectName(QStringLiteral("helpBrowser"));
    browser_->setOpenExternalLinks(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(browser_);
    layout->addWidget(buttons);
    resize(620, 640);
}

bool HelpViewer::showFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) return false;
    // The help files are single-byte text; anything beyond ASCII is written as entities.
    browser_->setSearchPaths({QFileInfo(path).absolutePath()});
    browser_->setHtml(QString::fromLatin1(data));
    const QString title = browser_->documentTitle();
    setWindowTitle(title.isEmpty() ? QFileInfo(path).fileName() : title);
    show();
    raise();
    activateWindow();
    return true;
}

}  // namespace zarn::ui
