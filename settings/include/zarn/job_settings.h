// The one record of options that the window writes and the conversion engine reads.
#pragma once

#include <cstdint>
#include <string>

namespace zarn {

struct JobSettings {
    // Output mode: 1 = print mode (.ps with page parameters), 0 = EPS mode (.eps).
    std::int16_t pageregel = 1;
    bool eps_print = false;  // always !(pageregel == 1)
    std::int16_t Force_A4 = 0;
    std::int16_t Force_A3 = 0;
    std::int16_t kantel = 1;  // inverted: 1 = not rotated, 0 = rotated
    std::int16_t Force_crop = 0;
    float Crop_Factor = 1.0f;
    std::int16_t A4_kortPS = 0;
    std::int16_t A4_langPS = 0;
    std::int16_t A3_langPS = 0;
    std::int16_t marge = 10;    // extra end margin, mm
    std::int16_t breedte = 15;  // extra width, mm
    std::int16_t LogAfdruk = 1;
    std::int16_t okido = 0;
    std::string LANG = "NL";
    std::string CRLF = "\r\n";
    std::string marge_opvul = "ja";
    std::int16_t optsel = 1;
    std::int16_t Index = 0;

    // Window values, read when a conversion runs.
    std::string Text_eind = "10";
    std::string Text_breed = "15";
    std::string Text_crop = "1.00";
    bool chkGreen = true;     // 0.1 g
    bool chkRed = true;       // 0.2 g
    bool chkBlue = false;     // 0.3 g
    bool chkMagenta = true;   // 0.4 g
    bool chkYellow = false;   // 0.5 g
    bool chkGroen = false;    // 0.6 g
    bool chkRood = false;     // 0.7 g
    bool chkCyan = false;     // 0.8 g

    bool english() const { return LANG == "UK"; }
};

}  // namespace zarn
