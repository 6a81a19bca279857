#include "zarn/ui/window_start.h"

#include <cstdlib>
#include <iostream>
#include <string_view>

namespace zarn::ui {

namespace {

constexpr const char* kConverterNeedsNone =
    "The batch converter zarn1-ps-convert converts without one.\n";

QtMessageHandler qtHandler = nullptr;

// Qt's fatal message while it looks for its platform, where it would abort next. Its warnings
// before say what failed; the message itself only advises reinstalling, which cannot help.
void endOnFatal(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtFatalMsg) {
        qtHandler(type, context, message);
        return;
    }
    std::cerr << "zarn1-ps-repair: the window cannot be opened on this display\n"
              << kConverterNeedsNone << std::flush;
    std::_Exit(1);
}

}  // namespace

std::optional<int> refuseWithoutDisplay(
    QtArguments arguments, std::ostream& err,
    const std::function<const char*(const char*)>& environment) {
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = environment ? environment(name) : std::getenv(name);
        if (value != nullptr && *value != '\0') return std::nullopt;
    }
    // Qt takes its options with one dash or two, wherever they stand among those it is given.
    for (int i = 1; i < arguments.argc; ++i) {
        std::string_view arg = arguments.argv[i];
        if (arg.substr(0, 2) == "--") arg.remove_prefix(1);
        if (arg == "-platform" || arg == "-display") return std::nullopt;
    }
    arguments.takeKnownQtOptions();
    if (!filesToDrop(arguments.read(), err)) return 2;
    err << "zarn1-ps-repair: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are "
        << "not set)\n"
        << kConverterNeedsNone;
    err.flush();
    return 1;
}

std::unique_ptr<QApplication> startApplication(int& argc, char** argv) {
    qtHandler = qInstallMessageHandler(endOnFatal);
    auto app = std::make_unique<QApplication>(argc, argv);  // takes Qt's own options out of argv
    qInstallMessageHandler(qtHandler);
    return app;
}

}  // namespace zarn::ui
