// Starting the window program on a display: where Qt would abort for want of one, the program
// says so and ends with status 1.
#pragma once

#include <QApplication>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>

#include "zarn/ui/command_line.h"

namespace zarn::ui {

// Says on `err` that no window can be opened when Qt would find no display: no platform is
// asked for (QT_QPA_PLATFORM, -platform) and no display is named (DISPLAY, WAYLAND_DISPLAY,
// -display). Qt itself would abort there. The exit status (1; 2 for an option that neither
// the program nor Qt knows), or nullopt to go on.
// `environment` looks a variable up as std::getenv does; without one, std::getenv does.
std::optional<int> refuseWithoutDisplay(
    QtArguments arguments, std::ostream& err,
    const std::function<const char*(const char*)>& environment = {});

// Makes the application. Should Qt still find no platform to start on (a display that is
// named but cannot be reached, say), the program says so on stderr and ends with status 1.
std::unique_ptr<QApplication> startApplication(int& argc, char** argv);

}  // namespace zarn::ui
