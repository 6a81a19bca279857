// The captions of the window in its three sets: built in, Dutch and English.
#pragma once

#include <string>
#include <vector>

namespace zarn::ui {

enum class CaptionSet { BuiltIn, NL, UK };

struct Caption {
    std::string control;  // object name; "ZARN1_PS_REPAIR" is the window title
    std::string text;     // CR LF marks a line break
};

std::vector<Caption> captions(CaptionSet set);

}  // namespace zarn::ui
