#include "zarn/ui/qt_platform.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QMessageBox>
#include <QUrl>
#include <QWidget>
#include <filesystem>

namespace zarn::ui {

QString messageText(const std::string& text) {
    QString out = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    out.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    while (out.endsWith(QLatin1Char('\n'))) out.chop(1);
    return out;
}

bool QtPlatform::isDirectory(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

void QtPlatform::showMessage(const std::string& title, MessageIcon icon, const std::string& text) {
    QMessageBox box(icon == MessageIcon::Stop ? QMessageBox::Critical : QMessageBox::Information,
                    QString::fromLatin1(title.data(), static_cast<qsizetype>(title.size())),
                    messageText(text), QMessageBox::Ok, parent_);
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    // The busy cursor of a running conversion would hide that the box wants an answer.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    box.exec();
    QApplication::restoreOverrideCursor();
}

bool QtPlatform::openTextViewer(const std::string& path) {
    // The path travels as a URL, never through a shell command line.
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(path.c_str())));
}

void QtPlatform::beep() { QApplication::beep(); }

void QtPlatform::endProgram() {
    for (QWidget* w : QApplication::topLevelWidgets()) w->hide();
    QCoreApplication::exit(1);
}

}  // namespace zarn::ui
