// The eight gray-to-colour boxes: the one table that the body rules, the settings file, the
// window, the batch converter and the fuzz target all read.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace zarn {

struct ColourBox {
    std::string_view objectName;      // the window's check box
    std::string_view settingsKey;     // its key in the settings file
    char grayDigit;                   // translates the gray level "0.<grayDigit> g"
    char captionDigit;                // the digit its caption starts with
    std::string_view nameNL, nameUK;  // the colour, as its caption names it
    std::string_view colourLine;      // what the gray level becomes
    bool startTicked;
};

inline constexpr std::size_t kColourBoxCount = 8;

// In the order of the gray levels, which is the window's order too.
inline constexpr std::array<ColourBox, kColourBoxCount> kColourBoxes{{
    {"chkGreen", "GREEN1", '1', '9', "groen1", "green1", "0.0 1.0 0.0 setrgbcolor", true},
    {"chkRed", "RED1", '2', '8', "rood1", "red1", "1.0 0.0 0.0 setrgbcolor", true},
    {"chkBlue", "BLUE", '3', '7', "blauw", "blue", "0.0 0.0 1.0 setrgbcolor", false},
    {"chkMagenta", "MAGENTA", '4', '6', "magenta", "magenta", "0.5 0.0 0.5 setrgbcolor", true},
    {"chkYellow", "YELLOW", '5', '5', "geel", "yellow", "0.5 0.5 0.0 setrgbcolor", false},
    {"chkGroen", "GREEN2", '6', '4', "groen2", "green2", "0.0 1.0 0.0 setrgbcolor", false},
    {"chkRood", "RED2", '7', '3', "rood2", "red2", "1.0 0.0 0.0 setrgbcolor", false},
    {"chkCyan", "CYAN", '8', '2', "cyaan", "cyan", "0.0 0.5 0.5 setrgbcolor", false},
}};

// The box that translates gray level "0.<digit> g"; digit is '1' ... '8'.
inline constexpr std::size_t colourBoxOfDigit(char digit) {
    return static_cast<std::size_t>(digit - '1');
}

// The table is in the order of its gray digits: what colourBoxOfDigit relies on.
inline constexpr bool colourBoxesInDigitOrder() {
    for (std::size_t i = 0; i < kColourBoxCount; ++i)
        if (colourBoxOfDigit(kColourBoxes[i].grayDigit) != i) return false;
    return true;
}
static_assert(colourBoxesInDigitOrder());

// The start ticks, in table order.
inline constexpr std::array<bool, kColourBoxCount> startColourTicks() {
    std::array<bool, kColourBoxCount> ticks{};
    for (std::size_t i = 0; i < kColourBoxCount; ++i) ticks[i] = kColourBoxes[i].startTicked;
    return ticks;
}

}  // namespace zarn
