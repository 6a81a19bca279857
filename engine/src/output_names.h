// How a conversion names its output and its log, from the input's name.
#pragma once

#include <string>
#include <string_view>

#include "zarn/conversion.h"

namespace zarn {

// The extension of a print file: its second character is 0 or 1 (P01, P10, X1Y).
bool isPrintFileExtension(std::string_view ext);

}  // namespace zarn
