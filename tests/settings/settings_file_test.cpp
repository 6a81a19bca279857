// Reading ZARN1_PS.INI through the window-less model.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "test_support.h"
#include "zarn/settings_file.h"

namespace zarn {
namespace {

using testing::crlf;
using testing::ScratchDir;
using testing::writeFile;

struct Loaded {
    JobSettings settings;
    HeadlessWindow window{settings};
    std::vector<SettingsMessage> messages;
    bool found = false;

    const HeadlessControls& c() { return window.controls(); }
};

std::unique_ptr<Loaded> loadBytes(const std::string& bytes) {
    ScratchDir dir;
    writeFile(dir.file(kSettingsFileName), bytes);
    auto l = std::make_unique<Loaded>();
    applyStartValues(l->window.controls(), l->settings);
    l->found = readSettingsFile(dir.file(kSettingsFileName), l->window.controls(), l->settings,
                                [&](const SettingsMessage& m) { l->messages.push_back(m); });
    return l;
}

const std::string kDutchBadLine = "Is de INI file wel OK?  \rEr zit een foutje in !! \r";
const std::string kEnglishBadLine = "Is the INI file OK?  \rI think there's an error !! \r";

struct FileRow {
    const char* name;
    std::vector<std::string> lines;
    std::function<void(Loaded&)> check;
};

TEST(SettingsFile, LinesAndTheirOrder) {
    const std::vector<FileRow> rows = {
        {"key in lower case with leading spaces", {"   country = 44"},
         [](Loaded& l) { EXPECT_EQ(l.settings.LANG, "UK"); }},
        {"other country numbers keep Dutch", {"COUNTRY = 44", "COUNTRY = 49"},
         [](Loaded& l) { EXPECT_EQ(l.settings.LANG, "UK"); }},
        {"margin 99.4 rounds to 99", {"MARGINLENGTH = 99.4"},
         [](Loaded& l) {
             EXPECT_EQ(l.c().text(Ctl::Text_eind), "99");
             EXPECT_EQ(l.settings.marge, 99);
         }},
        {"margin 99.5 rounds to 100 and is refused", {"MARGINLENGTH = 99.5"},
         [](Loaded& l) {
             EXPECT_EQ(l.c().text(Ctl::Text_eind), "10");
             EXPECT_EQ(l.settings.marge, 10);
         }},
        {"margin out of range", {"MARGINLENGTH = -1", "MARGINWIDTH = 100"},
         [](Loaded& l) {
             EXPECT_EQ(l.settings.marge, 10);
             EXPECT_EQ(l.c().text(Ctl::Text_breed), "15");
         }},
        {"halves go to the even neighbour", {"MARGINLENGTH = 0.5", "MARGINWIDTH = 3.5"},
         [](Loaded& l) {
             EXPECT_EQ(l.c().text(Ctl::Text_eind), "0");
             EXPECT_EQ(l.c().text(Ctl::Text_breed), "4");
             EXPECT_EQ(l.settings.breedte, 4);
         }},
        {"a remark after the value is ignored", {"FORCEA4 = 2   A3 page", "ROTATE = 1"},
         [](Loaded& l) {
             EXPECT_EQ(l.settings.Force_A3, 1);
             EXPECT_TRUE(l.c().isTicked(Ctl::chkForceA3));
             EXPECT_EQ(l.settings.kantel, 0);
             EXPECT_TRUE(l.c().isTicked(Ctl::chkRotate));
         }},
        {"no blanks around = is passed over", {"GREEN1=0"},
         [](Loaded& l) {
             EXPECT_TRUE(l.c().isTicked(colourBoxControl(0)));
             EXPECT_TRUE(l.messages.empty());
         }},
        {"a value that is no number counts as 0", {"GREEN1 = yes"},
         [](Loaded& l) { EXPECT_FALSE(l.c().isTicked(colourBoxControl(0))); }},
        {"every colour key", {"GREEN1 = 0", "RED1 = 0", "BLUE = 1", "MAGENTA = 0", "YELLOW = 1",
                              "GREEN2 = 1", "RED2 = 1", "CYAN = 1"},
         [](Loaded& l) {
             std::vector<bool> ticks;
             for (std::size_t i = 0; i < kColourBoxCount; ++i) ticks.push_back(l.c().isTicked(colourBoxControl(i)));
             EXPECT_EQ(ticks, (std::vector<bool>{false, false, true, false, true, true, true, true}));
         }},
        {"EPS mode refuses a forced size", {"PAGEMODE = 0", "FORCEA4 = 1"},
         [](Loaded& l) {
             EXPECT_EQ(l.settings.pageregel, 0);
             EXPECT_TRUE(l.settings.eps_print);
             EXPECT_TRUE(l.c().isSelected(Ctl::optEps));
             EXPECT_FALSE(l.c().isSelected(Ctl::optPrint));
             EXPECT_EQ(l.settings.Force_A4, 0);
             EXPECT_FALSE(l.c().isTicked(Ctl::chkForceA4));
         }},
        {"back to print mode runs the mode handler, then disables crop",
         {"PAGEMODE = 0", "PAGEMODE = 1"},
         [](Loaded& l) {
             EXPECT_EQ(l.settings.pageregel, 1);
             EXPECT_EQ(l.settings.Force_A4, 1);
             EXPECT_TRUE(l.c().isTicked(Ctl::chkForceA4));
             EXPECT_FALSE(l.c().isEnabled(Ctl::chkCrop));
             EXPECT_FALSE(l.c().isEnabled(Ctl::Text_crop));
         }},
        {"print mode from the start enables rotation without a forced size", {"PAGEMODE = 1"},
         [](Loaded& l) {
             EXPECT_TRUE(l.c().isEnabled(Ctl::chkRotate));
             EXPECT_EQ(l.settings.Force_A4, 0);
         }},
        {"crop 1 enables the crop box, never ticks it", {"FORCEA4 = 1", "CROP = 1"},
         [](Loaded& l) {
             EXPECT_TRUE(l.c().isEnabled(Ctl::chkCrop));
             EXPECT_FALSE(l.c().isTicked(Ctl::chkCrop));
             EXPECT_TRUE(l.c().isEnabled(Ctl::Text_crop));
             EXPECT_EQ(l.c().text(Ctl::Text_crop), "1.00");
         }},
        {"crop 0 disables the box, the field stays enabled", {"FORCEA4 = 1", "CROP = 0"},
         [](Loaded& l) {
             EXPECT_FALSE(l.c().isEnabled(Ctl::chkCrop));
             EXPECT_TRUE(l.c().isEnabled(Ctl::Text_crop));
         }},
        {"rotation before a forced size stays off", {"ROTATE = 1", "FORCEA4 = 1"},
         [](Loaded& l) {
             EXPECT_EQ(l.settings.kantel, 1);
             EXPECT_FALSE(l.c().isTicked(Ctl::chkRotate));
         }},
        {"forced size 0 clears an earlier one", {"FORCEA4 = 2", "ROTATE = 1", "FORCEA4 = 0"},
         [](Loaded& l) {
             EXPECT_EQ(l.settings.Force_A3, 0);
             EXPECT_EQ(l.settings.kantel, 1);
             EXPECT_FALSE(l.c().isEnabled(Ctl::chkRotate));
             EXPECT_FALSE(l.c().isEnabled(Ctl::Text_crop));
         }},
        {"log popup and completion message", {"POPUPTXT = 0", "OK = 1"},
         [](Loaded& l) {
             EXPECT_EQ(l.settings.LogAfdruk, 0);
             EXPECT_FALSE(l.c().isTicked(Ctl::chkLogafdruk));
             EXPECT_EQ(l.settings.okido, 1);
         }},
        {"an inner space in the key makes a bad line", {"MARGIN LENGTH = 5"},
         [](Loaded& l) {
             ASSERT_EQ(l.messages.size(), 1u);
             EXPECT_EQ(l.messages[0].title, "Fout !");
             EXPECT_EQ(l.messages[0].text, kDutchBadLine + "MARGIN LENGTH = 5");
             EXPECT_EQ(l.settings.marge, 10);
         }},
        {"bad lines report in the language of the moment", {"X = 1", "COUNTRY = 44", "Y = 2"},
         [](Loaded& l) {
             ASSERT_EQ(l.messages.size(), 2u);
             EXPECT_EQ(l.messages[0].title, "Fout !");
             EXPECT_EQ(l.messages[0].text, kDutchBadLine + "X = 1");
             EXPECT_EQ(l.messages[1].title, "Error !");
             EXPECT_EQ(l.messages[1].text, kEnglishBadLine + "Y = 2");
         }},
        {"comments, short lines and lines without separator are silent",
         {"%% COUNTRY = 44", "ab", "", "COUNTRY: 44", "FOO =1"},
         [](Loaded& l) {
             EXPECT_EQ(l.settings.LANG, "NL");
             EXPECT_TRUE(l.messages.empty());
         }},
        {"values beyond 16 bits do nothing", {"MARGINLENGTH = 40000", "MARGINWIDTH = 1e400",
                                              "COUNTRY = -70000"},
         [](Loaded& l) {
             EXPECT_EQ(l.settings.marge, 10);
             EXPECT_EQ(l.settings.breedte, 15);
             EXPECT_EQ(l.settings.LANG, "NL");
             EXPECT_TRUE(l.messages.empty());
         }},
        {"an unknown key with a huge value still reports", {"FOO = 1e400"},
         [](Loaded& l) { EXPECT_EQ(l.messages.size(), 1u); }},
        {"a separator far into the line", {std::string(40000, ' ') + "MARGINLENGTH = 5"},
         [](Loaded& l) { EXPECT_EQ(l.settings.marge, 5); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto l = loadBytes(crlf(row.lines));
        EXPECT_TRUE(l->found);
        row.check(*l);
    }
}

TEST(SettingsFile, LineEnds) {
    // CR LF, a bare CR, a bare LF, and a last line without any end.
    auto l = loadBytes("COUNTRY = 44\rMARGINLENGTH = 5\nMARGINWIDTH = 6\r\nOK = 1");
    EXPECT_EQ(l->settings.LANG, "UK");
    EXPECT_EQ(l->settings.marge, 5);
    EXPECT_EQ(l->settings.breedte, 6);
    EXPECT_EQ(l->settings.okido, 1);
}

TEST(SettingsFile, MissingFileIsSilent) {
    ScratchDir dir;
    JobSettings s;
    HeadlessWindow w(s);
    applyStartValues(w.controls(), s);
    int messages = 0;
    EXPECT_FALSE(readSettingsFile(dir.file(kSettingsFileName), w.controls(), s,
                                  [&](const SettingsMessage&) { ++messages; }));
    EXPECT_EQ(messages, 0);
    EXPECT_EQ(s.LANG, "NL");
}

TEST(SettingsFile, UnreadableFileDoesNotStopTheProgram) {
    // An ordinary file whose reading fails at once, whoever runs the test.
    JobSettings s;
    HeadlessWindow w(s);
    applyStartValues(w.controls(), s);
    int messages = 0;
    EXPECT_TRUE(readSettingsFile("/proc/self/mem", w.controls(), s,
                                 [&](const SettingsMessage&) { ++messages; }));
    EXPECT_EQ(messages, 0);
    EXPECT_EQ(s.marge, 10);
}

}  // namespace
}  // namespace zarn
