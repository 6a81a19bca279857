// The colour table: which gray level becomes which colour, in the order the rules apply.
#pragma once

#include <array>
#include <string_view>

#include "zarn/job_settings.h"

namespace zarn {

struct ColourRule {
    char digit;                 // the gray level "0.<digit> g"
    bool JobSettings::*ticked;  // its check box
    std::string_view colourLine;
};

inline constexpr std::array<ColourRule, 8> kColourTable{{
    {'1', &JobSettings::chkGreen, "0.0 1.0 0.0 setrgbcolor"},
    {'2', &JobSettings::chkRed, "1.0 0.0 0.0 setrgbcolor"},
    {'3', &JobSettings::chkBlue, "0.0 0.0 1.0 setrgbcolor"},
    {'4', &JobSettings::chkMagenta, "0.5 0.0 0.5 setrgbcolor"},
    {'5', &JobSettings::chkYellow, "0.5 0.5 0.0 setrgbcolor"},
    {'7', &JobSettings::chkRood, "1.0 0.0 0.0 setrgbcolor"},
    {'6', &JobSettings::chkGroen, "0.0 1.0 0.0 setrgbcolor"},
    {'8', &JobSettings::chkCyan, "0.0 0.5 0.5 setrgbcolor"},
}};

// The comment line, CR LF and the colour line that replace "0.<digit> g".
std::string_view colourReplacement(char digit);

}  // namespace zarn
