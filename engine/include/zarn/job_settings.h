// The one record of options that the window writes and the conversion engine reads.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "zarn/colour_boxes.h"

namespace zarn {

// The preview picture's resolution: what PREVIEW = 1 and a bare --preview give, and the range.
inline constexpr std::int16_t kPreviewDpi = 100, kPreviewDpiMin = 10, kPreviewDpiMax = 600;

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

    // Window values, read when a conversion runs.
    std::string Text_eind = "10";
    std::string Text_breed = "15";
    std::string Text_crop = "1.00";
    // The ticks of the colour boxes, in the order of kColourBoxes.
    std::array<bool, kColourBoxCount> colourTicked = startColourTicks();

    // Additions, off unless the settings file or the batch converter turns them on.
    bool inkBox = false;       // the box holds the ink: each point widened by half its pen
    bool verify = false;       // Ghostscript checks the output's marks against its boxes
    bool pdf = false;          // Ghostscript writes the job as a PDF beside the output
    std::int16_t preview = 0;  // a preview picture at this many dpi; 0: none
    bool dsc = false;          // print mode: a document spoolers understand
    std::string queue;         // a print queue the finished job goes to; empty: none

    bool english() const { return LANG == "UK"; }
    // A job sent to a queue is a document spoolers understand.
    bool spooled() const { return dsc || !queue.empty(); }
};

}  // namespace zarn
