// What the window program needs of the desktop besides its window: the command line, the text
// viewer, and names shown readably whatever their encoding.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QByteArray>
#include <QString>
#include <cstdio>
#include <sstream>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "test_support.h"
#include "zarn/ui/command_line.h"
#include "zarn/ui/qt_platform.h"
#include "zarn/ui/window_start.h"
#include "zarn/version.h"

namespace zarn::ui {
namespace {

TEST(CommandLine, FilesAreTakenAsGivenAndOptionsEndAtTheDoubleDash) {
    const auto exists = [](const char* name) { return std::string_view(name) == "-style=a.P01"; };
    // The arguments; what is answered before any window exists; what Qt is given to take its
    // options from; the files dropped, or the usage error, once it took them.
    const std::tuple<std::vector<std::string>, std::string, std::string, std::string> rows[] = {
        {{}, "", "", ""},
        {{"caf\xe9.P01", "-", "--", "--help"}, "", "caf\xe9.P01 -", "caf\xe9.P01;-;--help;"},
        {{"A.P01", "--version"}, std::string("zarn1-ps-repair ") + kVersion + "\n", "", ""},
        {{"-h"}, "Usage: zarn1-ps-repair [FILE...]\n", "", ""},
        {{"-x"}, "", "-x", "zarn1-ps-repair: unknown option '-x'\nTry 'zarn1-ps-repair --help'.\n"},
        {{"-style=a.P01", "--style", "x", "--", "-style=fusion.P01", "-stylesheet=x.P01"},
         "",
         "--style x",
         "-style=a.P01;-style=fusion.P01;-stylesheet=x.P01;"}};
    for (const auto& [args, answer, forQt, dropped] : rows) {
        std::vector<char*> argv{const_cast<char*>("zarn1-ps-repair")};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        const int argc = static_cast<int>(argv.size());
        std::ostringstream out, err;
        const auto status = answerWithoutWindow(argc, argv.data(), out);
        EXPECT_EQ(status.has_value(), !answer.empty()) << answer;
        EXPECT_EQ(out.str().substr(0, answer.size()), answer);
        if (status) continue;
        QtArguments qt(argc, argv.data(), exists);
        std::string given;
        for (int i = 1; i < qt.argc; ++i) given.append(i > 1 ? " " : "").append(qt.argv[i]);
        EXPECT_EQ(given, forQt);
        EXPECT_EQ(qt.argv[qt.argc], nullptr);
        qt.takeKnownQtOptions();
        std::string got;
        if (const auto files = filesToDrop(qt.read(), err))
            for (const std::string& f : *files) got += f + ";";
        EXPECT_EQ(got + err.str(), dropped);
    }
}

TEST(CommandLine, WithoutADisplayTheWindowIsRefusedBeforeQtWouldAbort) {
    // The environment (NAME=value, or NAME= for an empty one), the arguments, and the exit
    // status (0: the program goes on).
    const std::tuple<std::vector<std::string>, std::vector<std::string>, int> rows[] = {
        {{}, {"A.P01"}, 1},
        {{"DISPLAY="}, {}, 1},
        {{"DISPLAY=:0"}, {}, 0},
        {{"WAYLAND_DISPLAY=wayland-0"}, {}, 0},
        {{"QT_QPA_PLATFORM=offscreen"}, {}, 0},
        {{}, {"A.P01", "-platform", "offscreen"}, 0},
        {{}, {"--platform", "offscreen"}, 0},
        {{}, {"-display", ":1"}, 0},
        {{}, {"-platformtheme", "x", "--", "-platform", "--bogus"}, 1},
        {{}, {"A.P01", "--bogus"}, 2}};
    for (const auto& [environment, args, exit] : rows) {
        std::vector<char*> argv{const_cast<char*>("zarn1-ps-repair")};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        const auto lookUp = [&](const char* name) -> const char* {
            for (const std::string& e : environment)
                if (e.substr(0, e.find('=')) == name) return e.c_str() + e.find('=') + 1;
            return nullptr;
        };
        std::ostringstream err;
        const auto status =
            refuseWithoutDisplay({static_cast<int>(argv.size()), argv.data()}, err, lookUp);
        EXPECT_EQ(status.value_or(0), exit) << ::testing::PrintToString(args);
        EXPECT_EQ(err.str(), exit == 0   ? ""
                             : exit == 2 ? "zarn1-ps-repair: unknown option '--bogus'\n"
                                           "Try 'zarn1-ps-repair --help'.\n"
                                         : "zarn1-ps-repair: no display to open the window on "
                                           "(DISPLAY and WAYLAND_DISPLAY are not set)\n"
                                           "The batch converter zarn1-ps-convert converts "
                                           "without one.\n");
    }
}

TEST(TextViewer, FalseUnlessXdgOpenRanAndSucceeded) {
    testing::ScratchDir dir;
    const QByteArray path = qgetenv("PATH");
    const std::string log = "-caf\xe9 1_log.TXT";
    // What the xdg-open on the PATH does (none when empty), and the answer.
    const std::pair<std::string, bool> rows[] = {
        {"", false}, {"exit 3", false}, {"printf '%s|%s' \"$#\" \"$1\" >\"$0.args\"", true}};
    for (const auto& [script, started] : rows) {
        std::remove(dir.file("xdg-open").c_str());
        if (!script.empty()) {
            testing::writeFile(dir.file("xdg-open"), "#!/bin/sh\n" + script + "\n");
            ::chmod(dir.file("xdg-open").c_str(), 0755);
        }
        qputenv("PATH", QByteArray::fromStdString(dir.path()));
        EXPECT_EQ(QtPlatform().openTextViewer(log), started) << script;
        qputenv("PATH", path);
    }
    EXPECT_EQ(testing::readFile(dir.file("xdg-open.args")), "1|./" + log);
}

TEST(ReadableText, Utf8WhereValidEveryOtherByteAsItsCode) {
    const std::pair<const char*, const char*> rows[] = {
        {"/tmp/Ünicöde-Ördner/€.P01", "/tmp/Ünicöde-Ördner/€.P01"},
        {"caf\xe9.P01", "caf\\xE9.P01"},
        {"\xf0\x9f\x98\x80 \xe2\x82", "\xf0\x9f\x98\x80 \\xE2\\x82"},  // cut short
        {"\xc0\xaf \xed\xa0\x80", "\\xC0\\xAF \\xED\\xA0\\x80"},       // overlong, surrogate
        {"\xf4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},                  // beyond U+10FFFF
    };
    for (const auto& [bytes, shown] : rows)
        EXPECT_EQ(readableText(bytes), QString::fromUtf8(shown)) << shown;
    EXPECT_EQ(readableText(std::string_view("\xe2\x82\xac", 2)), "\\xE2\\x82");
    EXPECT_EQ(messageText("Hardstikke fout!  \rcaf\xe9\r"), "Hardstikke fout!  \ncaf\\xE9");
    EXPECT_EQ(messageText("one\r\ntwo"), "one\ntwo");
}

}  // namespace
}  // namespace zarn::ui
