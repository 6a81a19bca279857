// The icon the window shows in its title bar and the task bar.
#pragma once

#include <QIcon>

namespace zarn {

QIcon windowIcon();

}  // namespace zarn
