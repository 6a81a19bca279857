// Starts the window; files arrive by drop, so there are no arguments to read.
#include <QApplication>

#include "window_icon.h"
#include "zarn/ui/main_window.h"
#include "zarn/write_signals.h"

int main(int argc, char* argv[]) {
    zarn::ignoreWriteSignals();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zarn1-ps-repair"));
    QGuiApplication::setDesktopFileName(QStringLiteral("zarn1-ps-repair"));
    QApplication::setWindowIcon(zarn::windowIcon());
    zarn::ui::MainWindow window;
    window.show();
    return QApplication::exec();
}
