// Text for a terminal: names quoted as a shell reads them, messages in lines.
#pragma once

#include <string>

namespace zarn {

// A name as GNU ls shows it: as it is, unless it holds control characters; then quoted for
// the shell, each control character as $'\ooo', so that one name stays one line.
std::string shown(const std::string& name);

// A message's lines, which the program joins with CR, joined with LF.
std::string asLines(std::string text);

}  // namespace zarn
