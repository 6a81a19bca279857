// The gray-to-colour rule: what replaces a translated gray level.
#pragma once

#include <string_view>

namespace zarn {

// The comment line, CR LF and the colour line that replace "0.<digit> g" ('1' ... '8').
std::string_view colourReplacement(char digit);

}  // namespace zarn
