// Reading ZARN1_PS.INI through the window-less model.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
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

// The settings and controls a file can change, as "name=value" words.
std::string stateOf(Loaded& l) {
    const JobSettings& s = l.settings;
    const HeadlessControls& c = l.c();
    std::string colours;
    for (std::size_t i = 0; i < kColourBoxCount; ++i)
        colours += c.isTicked(colourBoxControl(i)) ? '1' : '0';
    auto on = [](bool b) { return b ? "1" : "0"; };
    return std::string(" LANG=") + s.LANG + " marge=" + std::to_string(s.marge) +
           " eind=" + c.text(Ctl::Text_eind) + " breedte=" + std::to_string(s.breedte) +
           " breed=" + c.text(Ctl::Text_breed) + " pageregel=" + std::to_string(s.pageregel) +
           " eps=" + on(c.isSelected(Ctl::optEps) && s.eps_print && !c.isSelected(Ctl::optPrint)) +
           " A4=" + std::to_string(s.Force_A4) + on(c.isTicked(Ctl::chkForceA4)) +
           " A3=" + std::to_string(s.Force_A3) + on(c.isTicked(Ctl::chkForceA3)) +
           " kantel=" + std::to_string(s.kantel) + " rotate=" + on(c.isEnabled(Ctl::chkRotate)) +
           on(c.isTicked(Ctl::chkRotate)) + " crop=" + on(c.isEnabled(Ctl::chkCrop)) +
           on(c.isTicked(Ctl::chkCrop)) + " cropField=" + on(c.isEnabled(Ctl::Text_crop)) +
           c.text(Ctl::Text_crop) + " popup=" + std::to_string(s.LogAfdruk) +
           on(c.isTicked(Ctl::chkLogafdruk)) + " okido=" + std::to_string(s.okido) +
           " colours=" + colours + " ink=" + on(s.inkBox) + on(s.verify) + " pdf=" + on(s.pdf) +
           " preview=" + std::to_string(s.preview) +
           " messages=" + std::to_string(l.messages.size()) + " ";
}

TEST(SettingsFile, LinesAndTheirOrder) {
    const struct {
        const char* name;
        std::vector<std::string> lines;
        std::vector<const char*> expected;  // words of the state after the file
        // clang-format off
    } rows[] = {
        {"key in lower case with leading spaces", {"   country = 44"}, {"LANG=UK"}},
        {"other country numbers change nothing", {"COUNTRY = 44", "COUNTRY = 49"}, {"LANG=UK"}},
        {"margin 99.4 rounds to 99", {"MARGINLENGTH = 99.4"}, {"eind=99", "marge=99"}},
        {"margin 99.5 rounds to 100 and is refused", {"MARGINLENGTH = 99.5"}, {"eind=10", "marge=10"}},
        {"margins out of range", {"MARGINLENGTH = -1", "MARGINWIDTH = 100"}, {"marge=10", "breed=15"}},
        {"halves go to the even neighbour", {"MARGINLENGTH = 0.5", "MARGINWIDTH = 3.5"},
         {"eind=0", "breed=4", "breedte=4"}},
        {"a remark after the value is ignored", {"FORCEA4 = 2   A3 page", "ROTATE = 1"},
         {"A3=11", "kantel=0", "rotate=11"}},
        {"no blanks around = is passed over", {"GREEN1=0"}, {"colours=11010000", "messages=0"}},
        {"a value that is no number counts as 0", {"GREEN1 = yes"}, {"colours=01010000"}},
        {"every colour key", {"GREEN1 = 0", "RED1 = 0", "BLUE = 1", "MAGENTA = 0", "YELLOW = 1",
                              "GREEN2 = 1", "RED2 = 1", "CYAN = 1"}, {"colours=00101111"}},
        {"EPS mode refuses a forced size", {"PAGEMODE = 0", "FORCEA4 = 1"},
         {"pageregel=0", "eps=1", "A4=00"}},
        {"back to print mode runs the mode handler, then disables crop", {"PAGEMODE = 0", "PAGEMODE = 1"},
         {"pageregel=1", "A4=11", "crop=00", "cropField=01.00"}},
        {"print mode from the start enables rotation without a forced size", {"PAGEMODE = 1"},
         {"rotate=10", "A4=00"}},
        {"crop 1 enables the crop box, never ticks it", {"FORCEA4 = 1", "CROP = 1"},
         {"crop=10", "cropField=11.00"}},
        {"crop 0 disables the box, the field stays enabled", {"FORCEA4 = 1", "CROP = 0"},
         {"crop=00", "cropField=11.00"}},
        {"rotation before a forced size stays off", {"ROTATE = 1", "FORCEA4 = 1"},
         {"kantel=1", "rotate=10"}},
        {"forced size 0 clears an earlier one", {"FORCEA4 = 2", "ROTATE = 1", "FORCEA4 = 0"},
         {"A3=00", "kantel=1", "rotate=00", "cropField=01.00"}},
        {"log popup and completion message", {"POPUPTXT = 0", "OK = 1"}, {"popup=00", "okido=1"}},
        {"ink box and verification, other values do nothing", {"INKBOX = 1", "VERIFY = 1", "VERIFY = 2"},
         {"ink=11", "messages=0"}},
        {"PREVIEW 1 is the usual resolution", {"PDF = 1", "PREVIEW = 1"}, {"pdf=1", "preview=100"}},
        {"PREVIEW takes a resolution from 10 to 600 dpi", {"PREVIEW = 600", "PREVIEW = 9", "PREVIEW = 601"},
         {"preview=600", "messages=0"}},
        {"PREVIEW 0 turns it off", {"PREVIEW = 150", "PREVIEW = 0", "PDF = 2"}, {"preview=0", "pdf=0"}},
        {"comments, short lines and lines without separator are silent",
         {"%% COUNTRY = 44", "ab", "", "COUNTRY: 44", "FOO =1"}, {"LANG=NL", "messages=0"}},
        {"values beyond 16 bits do nothing", {"MARGINLENGTH = 40000", "MARGINWIDTH = 1e400", "COUNTRY = -70000"},
         {"marge=10", "breedte=15", "LANG=NL", "messages=0"}},
        {"an unknown key with a huge value still reports", {"FOO = 1e400"}, {"messages=1"}},
        {"a line longer than a read", {std::string(100000, ' ') + "MARGINLENGTH = 5"}, {"marge=5"}},
    };
    // clang-format on
    for (const auto& row : rows) {
        auto l = loadBytes(crlf(row.lines));
        EXPECT_TRUE(l->found);
        const std::string state = stateOf(*l);
        for (const char* word : row.expected)
            EXPECT_NE(state.find(std::string(" ") + word + " "), std::string::npos)
                << row.name << ": " << word << " not in\n"
                << state;
    }
}

// A line that names no known key is shown, up to its 200th character, in the language of the
// moment.
TEST(SettingsFile, BadLinesAreReported) {
    auto l = loadBytes(
        crlf({"MARGIN LENGTH = 5", "COUNTRY = 44", "Y = 2", "Y = 2 " + std::string(300, 'y')}));
    ASSERT_EQ(l->messages.size(), 3u);
    EXPECT_EQ(l->messages[2].text, kEnglishBadLine + "Y = 2 " + std::string(194, 'y') + "...");
    EXPECT_EQ(l->messages[0].title, "Fout !");
    EXPECT_EQ(l->messages[0].text, kDutchBadLine + "MARGIN LENGTH = 5");
    EXPECT_EQ(l->messages[1].title, "Error !");
    EXPECT_EQ(l->messages[1].text, kEnglishBadLine + "Y = 2");
    EXPECT_EQ(l->settings.marge, 10);
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

// The current directory's file wins; else the user's own, where XDG_CONFIG_HOME (an absolute
// one) or the home says; else none.
TEST(SettingsFile, TheFileReadIsTheCurrentDirectorysElseTheUsers) {
    ScratchDir dir;
    const std::string here = dir.file("here"), home = dir.file("home"), xdg = dir.file("xdg");
    for (const std::string& folder :
         {here, home + "/.config/zarn1-ps-repair", xdg + "/zarn1-ps-repair"})
        std::filesystem::create_directories(folder);
    writeFile(home + "/.config/zarn1-ps-repair/ZARN1_PS.INI", "");
    writeFile(xdg + "/zarn1-ps-repair/ZARN1_PS.INI", "");
    const std::string was = std::filesystem::current_path(), wasHome = std::getenv("HOME");
    std::filesystem::current_path(here);
    ::setenv("HOME", home.c_str(), 1);
    // clang-format off
    const struct { const char* xdg; bool inHere; std::string read; } rows[] = {
        {nullptr, false, home + "/.config/zarn1-ps-repair/ZARN1_PS.INI"},
        {"relative", false, home + "/.config/zarn1-ps-repair/ZARN1_PS.INI"},
        {xdg.c_str(), false, xdg + "/zarn1-ps-repair/ZARN1_PS.INI"},
        {"/nonexistent", false, ""},
        {xdg.c_str(), true, "ZARN1_PS.INI"},
    };
    // clang-format on
    for (const auto& row : rows) {
        if (row.xdg)
            ::setenv("XDG_CONFIG_HOME", row.xdg, 1);
        else
            ::unsetenv("XDG_CONFIG_HOME");
        if (row.inHere) writeFile(here + "/ZARN1_PS.INI", "");
        EXPECT_EQ(settingsFileToRead().value_or(""), row.read) << (row.xdg ? row.xdg : "-");
    }
    std::filesystem::current_path(was);
    ::setenv("HOME", wasHome.c_str(), 1);
    ::unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace zarn
