#include "terminal_text.h"

#include <algorithm>
#include <cstdio>

namespace zarn {

std::string shown(const std::string& name) {
    const auto control = [](unsigned char ch) { return ch < 0x20 || ch == 0x7f; };
    if (std::none_of(name.begin(), name.end(), control)) return name;
    std::string text = "'";
    for (const char ch : name) {
        if (control(static_cast<unsigned char>(ch))) {
            char octal[16];
            std::snprintf(octal, sizeof octal, "'$'\\%03o''", static_cast<unsigned char>(ch));
            text += octal;
        } else if (ch == '\'') {
            text += "'\\''";
        } else {
            text += ch;
        }
    }
    text += "'";
    return text;
}

std::string asLines(std::string text) {
    for (char& ch : text)
        if (ch == '\r') ch = '\n';
    return text;
}

}  // namespace zarn
