// Starts the window; FILEs given on the command line are dropped on it once it shows.
#include <iostream>

#include "window_icon.h"
#include "zarn/child_guard.h"
#include "zarn/ui/command_line.h"
#include "zarn/ui/main_window.h"
#include "zarn/ui/window_start.h"
#include "zarn/write_signals.h"

int main(int argc, char* argv[]) {
    zarn::ignoreWriteSignals();
    zarn::guardChildren();
    if (const auto answered = zarn::ui::answerWithoutWindow(argc, argv, std::cout))
        return *answered;
    zarn::ui::QtArguments arguments(argc, argv);
    if (const auto refused = zarn::ui::refuseWithoutDisplay(arguments, std::cerr)) return *refused;
    const auto app = zarn::ui::startApplication(arguments.argc, arguments.argv.data());
    QApplication::setApplicationName(QStringLiteral("zarn1-ps-repair"));
    QGuiApplication::setDesktopFileName(QStringLiteral("zarn1-ps-repair"));
    QApplication::setWindowIcon(zarn::windowIcon());
    const auto files = zarn::ui::filesToDrop(arguments.read(), std::cerr);
    if (!files) return 2;
    zarn::ui::MainWindowOptions options;
    options.startFiles = *files;
    zarn::ui::MainWindow window(std::move(options));
    window.show();
    return QApplication::exec();
}
