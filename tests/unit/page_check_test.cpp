// The checks of the written boxes: where film would be cut, and marks against the boxes.
#include "page_check.h"

#include <gtest/gtest.h>

namespace zarn {
namespace {

std::string joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& line : lines) all += line + "|";
    return all;
}

TEST(PageCheck, WarnsWhereTheFilmWouldBeCut) {
    // clang-format off
    const struct { WrittenBoxes written; bool english; const char* says; } cases[] = {
        {{true, 0, 0, 884, 1290, true, 595, 841, false, "A4", {}}, true,
         " Warning: the job is 312 x 455 mm, the forced A4 page 210 x 297 mm: the film will be cut|"},
        {{true, -9, 3, 300, 400, true, 300, 400, false, nullptr, {}}, false,
         " Let op: de job begint bij -3 x 1 mm, links van of onder de pagina: de film wordt afgesneden|"},
        {{true, 3, -9, 300, 400, true, 300, 400, false, nullptr, {}}, true,
         " Warning: the job starts at 1 x -3 mm, left of or below the page: the film will be cut|"},
        {{true, 0, 0, 841, 595, true, 595, 841, true, "A4", {}}, true, ""},  // fits the rotated page
        {{true, -9, -9, 300, 400, false, 0, 0, false, nullptr, {}}, true, ""},                // EPS mode has no page
    };
    // clang-format on
    for (const auto& c : cases) {
        JobSettings s;
        s.LANG = c.english ? "UK" : "NL";
        ConversionState state(s);
        state.written = c.written;
        EXPECT_EQ(joined(pageWarnings(state)), c.says);
    }
}

TEST(PageCheck, MarksBeyondTheRoundingAreNamedBySide) {
    // clang-format off
    const struct { std::int32_t pageWidth, pageHeight; bool inkBox; std::optional<InkExtent> marks; const char* says; bool passed; } cases[] = {
        {0, 0, false, InkExtent{19.6, 34.9, 412.8, 530.5},
         " Marks outside the BoundingBox: left 1.2 mm, bottom 1.1 mm, right 1.0 mm, top 1.2 mm|"
         " The ink box (INKBOX = 1, --ink-box) would hold every mark|", false},
        {500, 595, false, InkExtent{22.1, 37.1, 411, 528}, " Verified: every mark lies inside the BoundingBox|"
         " Verified: every mark lies on the page|", true},
        // The ink box allows only what the measurement may be off by, and needs no hint.
        {500, 595, true, InkExtent{22.96, 37.96, 410.04, 527.04}, " Verified: every mark lies inside the "
         "BoundingBox| Verified: every mark lies on the page|", true},
        {500, 595, true, InkExtent{22.5, 38, 410, 527}, " Marks outside the BoundingBox: left 0.2 mm|"
         " Verified: every mark lies on the page|", false},
        {300, 500, true, InkExtent{23, 38, 400, 520}, " Verified: every mark lies inside the BoundingBox|"
         " Marks outside the page: right 35.3 mm, top 7.1 mm|", false},
        {300, 500, false, std::nullopt, " Verified: every mark lies inside the BoundingBox|"
         " Verified: every mark lies on the page|", true},
    };
    // clang-format on
    for (const auto& c : cases) {
        JobSettings s;
        s.LANG = "UK";
        s.inkBox = c.inkBox;
        ConversionState state(s);
        state.written = {true,        23,           38,    410,  527, c.pageWidth > 0,
                         c.pageWidth, c.pageHeight, false, "A4", {}};
        const BoxCheck check = checkMarks(state, c.marks);
        EXPECT_EQ(joined(check.lines), c.says);
        EXPECT_EQ(check.passed, c.passed) << c.says;
    }
}

TEST(PageCheck, ABoxBeyondWhatGhostscriptMeasuresIsNotChecked) {
    // clang-format off
    const struct { WrittenBoxes written; const char* says; } cases[] = {
        {{true, -72000, 0, 72000, 500, true, 72000, 500, false, nullptr, {}}, ""},
        {{true, 0, -72001, 500, 500, false, 0, 0, false, nullptr, {}},
         "the BoundingBox reaches -72001 pt, beyond the 72000 pt either way that Ghostscript measures"},
        {{true, 0, 0, 500, 500, true, 500, 562528, true, "A3", {}},
         "the page reaches 562528 pt, beyond the 72000 pt either way that Ghostscript measures"},
    };
    // clang-format on
    for (const auto& c : cases) EXPECT_EQ(beyondMeasuredReach(c.written), c.says);
}

}  // namespace
}  // namespace zarn
