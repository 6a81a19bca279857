// Hostile files, names and faults, each through a whole conversion: how it ends, what it
// says, and that nothing changes but the files the conversion leaves -- least of all the input.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

#include "analysis_pass.h"
#include "process.h"
#include "rewrite_pass.h"
#include "test_support.h"

namespace zarn {
namespace {

namespace fs = std::filesystem;
using testing::Board;
using testing::ScratchDir;

// Every entry under `dir` with what it holds: its kind, a file's bytes, a link's target.
std::map<std::string, std::string> snapshot(const std::string& dir) {
    std::map<std::string, std::string> entries;
    for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator();
         ++it) {
        const fs::file_status st = it->symlink_status();
        std::string& what = entries[fs::relative(it->path(), dir).string()];
        what = std::to_string(static_cast<int>(st.type())) + ":";
        if (fs::is_symlink(st)) what += fs::read_symlink(it->path()).string();
        if (fs::is_regular_file(st)) what += testing::readFile(it->path());
        if (it->path().filename() == "deep") it.disable_recursion_pending();  // too long to name
    }
    return entries;
}

// Writes a print file as `name` in `d`; its path.
std::string board(const ScratchDir& d, const std::string& name = "BOARD.P01",
                  const std::string& bytes = Board().bytes()) {
    testing::writeFile(d.file(name), bytes);
    return d.file(name);
}

TEST(HostileFiles, EachEndsAsStatedAndChangesNothingElse) {
    const std::string out = "BOARD_E01.ps", log = "BOARD_E01_log.TXT";
    Board longCreator, longWindow, hugeCoordinate, hugeBox;
    longCreator.creator += std::string(3 << 20, 'x');
    longWindow.window = {"2 " + std::string((3 << 20) - 10, 'x') + " zarn_units scale",
                         "10 20 translate"};
    hugeCoordinate.body.insert(hugeCoordinate.body.begin(), "7 99999999999 l");
    hugeBox.bbox = "%%BoundingBox: 0 0 1e308 842";
    std::string loneLineFeeds = Board().bytes();
    std::erase(loneLineFeeds, '\r');
    std::vector<int> held;  // descriptors a case keeps open while the conversion runs
    const char* namedSettings = "exec \"$0\" -q --settings=\"${1%/*}/.zarn.ini\" \"$1\"";
    // clang-format off
    const struct {
        const char* what;
        std::function<std::string(const ScratchDir&, JobSettings&)> set;  // returns the path dropped
        std::string says;                  // in the message; empty when the conversion completes
        std::vector<std::string> written;  // what the conversion leaves
        std::string holds = "";            // in the output or the log
        const char* shell = nullptr;       // runs the converter through sh -c: $0 is it, $1 the path
    } cases[] = {
        {"no file in the drop", [](auto&, auto&) { return std::string(); },
         "the drop holds no file: only files can be converted", {}},
        {"a file that is not there", [](auto& d, auto&) { return d.file("GONE.P01"); },
         "cannot open DIR/GONE.P01 for reading: No such file or directory", {}},
        {"a dot only in a folder's name",
         [](auto& d, auto&) { ::mkdir(d.file("jobs.P01").c_str(), 0700); return board(d, "jobs.P01/board"); },
         "invalid argument: the file name \"board\" has no extension (DIR/jobs.P01/board)", {}},
        {"a FIFO as the input",
         [](auto& d, auto&) { ::mkfifo(d.file("A.P01").c_str(), 0600); return d.file("A.P01"); },
         "the input DIR/A.P01 is not a regular file", {}},
        {"an output that is a FIFO", [&](auto& d, auto&) { ::mkfifo(d.file(out).c_str(), 0600); return board(d); },
         "the output DIR/" + out + " is not a regular file; it was left as it was", {}},
        {"a log that is a folder", [&](auto& d, auto&) { ::mkdir(d.file(log).c_str(), 0700); return board(d); },
         "the log DIR/" + log + " is not a regular file", {out}},
        {"an output linked elsewhere",
         [&](auto& d, auto&) { EXPECT_EQ(::symlink(board(d, "X.P01").c_str(), d.file(out).c_str()), 0); return board(d); },
         "the output DIR/" + out + " is a symbolic link, which is not followed", {}},
        {"a log linked to nothing", [&](auto& d, auto&) { EXPECT_EQ(::symlink("new", d.file(log).c_str()), 0); return board(d); },
         "the log DIR/" + log + " is a symbolic link", {out}},
        {"an output linked to the input",
         [&](auto& d, auto&) { EXPECT_EQ(::symlink("BOARD.P01", d.file(out).c_str()), 0); return board(d); },
         " is a link to the input; nothing was emptied", {}},
        {"an input linked to a print file",
         [&](auto& d, auto&) { EXPECT_EQ(::symlink(board(d).c_str(), d.file("L.P01").c_str()), 0); return d.file("L.P01"); },
         "", {"L_E01.ps", "L_E01_log.TXT"}},
        {"another conversion's lock", [&](auto& d, auto&) {
             held.push_back(::open(board(d, log).c_str(), O_RDONLY));
             ::flock(held.back(), LOCK_EX);
             return board(d); }, "the log DIR/" + log + " is being written by another conversion", {out}},
        {"link/.. is the parent of the link's target", [&](auto& d, auto&) {
             ::mkdir(d.file("sub").c_str(), 0700); ::mkdir(d.file("sub/deeper").c_str(), 0700);
             EXPECT_EQ(::symlink("sub/deeper", d.file("link").c_str()), 0);
             board(d);  // what tidying the path would convert
             board(d, "sub/BOARD.P01");
             return d.file("link/../BOARD.P01"); }, "", {"sub/" + out, "sub/" + log}},
        {"a relative path without a working directory", [&](auto& d, auto&) {
             board(d);
             ::mkdir(d.file("gone").c_str(), 0700);
             EXPECT_EQ(::chdir(d.file("gone").c_str()), 0); ::rmdir(d.file("gone").c_str());
             return std::string("BOARD.P01"); }, "cannot determine the working directory", {}},
        {"a working directory deeper than PATH_MAX", [&](auto& d, auto&) {
             EXPECT_EQ(::chdir(d.path().c_str()), 0);
             for (std::string name = "deep"; fs::current_path().string().size() < 5000; name.assign(200, 'd')) {
                 ::mkdir(name.c_str(), 0700); EXPECT_EQ(::chdir(name.c_str()), 0);
             }
             testing::writeFile("BOARD.P01", Board().bytes());
             return std::string("BOARD.P01"); }, "", {}},
        {"a 3 MiB creator line", [&](auto& d, auto&) { return board(d, "BOARD.P01", longCreator.bytes()); }, "", {out, log},
         longCreator.creator + " Edit layerP01  by MERU5 - TORVEN\r\n"},
        {"a 3 MiB window line with the scale at its end",
         [&](auto& d, auto&) { return board(d, "BOARD.P01", longWindow.bytes()); }, "", {out, log},
         " Schaalfactor =  2 \r\n"},
        {"lines that end in LF alone", [&](auto& d, auto&) { return board(d, "BOARD.P01", loneLineFeeds); },
         "ended while a line was expected (after line 1): its lines end in LF alone, where Zarn1 print files "
         "end them with CR LF", {out, log}},
        {"a coordinate too large", [&](auto& d, auto&) { return board(d, "BOARD.P01", hugeCoordinate.bytes()); },
         "overflow: the value 99999999999 does not fit in a 32-bit integer (DIR/BOARD.P01, line 23)", {out, log}},
        {"a bounding box of 1e308", [&](auto& d, auto&) { return board(d, "BOARD.P01", hugeBox.bytes()); },
         "overflow: the value 10000000000000000109... does not fit in a 16-bit integer (DIR/BOARD.P01, line 5)",
         {out, log}},
        {"a width beyond 16 bits", [&](auto& d, JobSettings& s) { s.Text_breed = "1e9"; return board(d); },
         "overflow: the value 1000000000 does not fit in a 16-bit integer (the width field)", {}},
        {"a width whose product overflows", [&](auto& d, JobSettings& s) { s.Text_breed = "456"; return board(d); },
         "overflow: the value 32832 does not fit in a 16-bit integer (the width field)", {out, log},
         " Plus 10 mm extra EINDmarge  Y = 10 , plus 456 mm extra breedte  X = 456  \r\n"},
        {"a dot file named as the settings file",
         [](auto& d, auto&) { testing::writeFile(d.file(".zarn.ini"), "PAGEMODE = 0\r\n"); return board(d); },
         "", {"BOARD_E01.eps", log}, "", namedSettings},
        {"a named settings file that is a FIFO",
         [](auto& d, auto&) { ::mkfifo(d.file(".zarn.ini").c_str(), 0600); return board(d); },
         "cannot read the settings file DIR/.zarn.ini: not a regular file", {}, "", namedSettings},
        {"a named settings file that is a folder",
         [](auto& d, auto&) { ::mkdir(d.file(".zarn.ini").c_str(), 0700); return board(d); },
         "cannot read the settings file DIR/.zarn.ini: Is a directory", {}, "", namedSettings},
        {"a file-size limit", [](auto& d, auto&) { return board(d); }, ": File too large", {out, log}, "",
         "ulimit -f 1; exec \"$0\" --no-settings -q \"$1\""},
        {"standard output without a reader", [](auto& d, auto&) { return board(d); },
         "cannot write the standard output", {out, log}, "",
         "p=$(mktemp -u); mkfifo $p; exec 8<>$p 9>$p 8<&-; rm $p; exec \"$0\" --no-settings \"$1\" >&9"},
    };
    // clang-format on
    const int home = ::open(".", O_RDONLY | O_DIRECTORY);
    for (const auto& c : cases) {
        ScratchDir dir;
        JobSettings s = testing::quietSettings();
        const std::string dropped = c.set(dir, s);
        std::map<std::string, std::string> before = snapshot(dir.path());
        std::string message, files;
        bool completed;
        if (c.shell) {
            const testing::RunResult r =
                testing::run({"sh", "-c", c.shell, ZARN_CONVERTER, dropped});
            completed = r.status == 0;
            message = r.err;
        } else {
            testing::RecordingPlatform platform;
            const DroppedData drop =
                dropped.empty() ? DroppedData{} : DroppedData{{dropped}, false};
            const DropResult r = convertDrop(drop, s, platform);
            completed = r.outcome == DropOutcome::Completed;
            message = r.message;
            for (const std::string* f : {&r.output_path, &r.log_path})
                if (std::error_code e; fs::is_regular_file(*f, e)) files += testing::readFile(*f);
        }
        EXPECT_EQ(::fchdir(home), 0);
        for (std::size_t at; (at = message.find(dir.path())) != std::string::npos;)
            message.replace(at, dir.path().size(), "DIR");
        for (const int fd : held) ::close(fd);
        held.clear();
        EXPECT_EQ(completed, c.says.empty()) << c.what << ": " << message;
        EXPECT_NE(message.find(c.says), std::string::npos) << c.what << ": " << message;
        EXPECT_NE(files.find(c.holds), std::string::npos) << c.what;
        std::map<std::string, std::string> after = snapshot(dir.path());
        for (const std::string& name : c.written)
            EXPECT_EQ(after.erase(name), 1u) << c.what << ": " << name;
        EXPECT_EQ(after, before) << c.what;
        EXPECT_FALSE(testing::fileExists("/" + out)) << c.what;
        if (testing::fileExists(dir.file("deep"))) testing::run({"rm", "-rf", dir.file("deep")});
    }
    ::close(home);
}

// The rewrite pass reads the file that the analysis pass read, and all of it.
TEST(HostileFiles, AnInputThatChangesBetweenThePassesIsAFailure) {
    // clang-format off
    const std::function<void(const std::string&)> changes[] = {
        [](const std::string& in) { EXPECT_EQ(::truncate(in.c_str(), 100), 0); },
        [](const std::string& in) { testing::writeFile(in, Board().bytes() + "% more\r\n"); },
        [](const std::string& in) {  // replaced by another file of the same size
            testing::writeFile(in + "~", Board().bytes());
            ::rename((in + "~").c_str(), in.c_str());
        },
        [](const std::string& in) {  // written over in place: a new modification time only
            const timespec mtime[2] = {{0, UTIME_OMIT}, {12345, 0}};
            ::utimensat(AT_FDCWD, in.c_str(), mtime, 0);
        },
    };
    // clang-format on
    for (const auto& change : changes) {
        ScratchDir dir;
        JobSettings settings = testing::quietSettings();
        ConversionState c(settings);
        c.input_path = board(dir);
        ASSERT_TRUE(c.folder.openFor(c.input_path));
        c.input.open(c.folder.file(c.input_path));
        c.output.create(dir.file("out"));
        c.log.create(dir.file("log"));
        runAnalysisPass(c);
        change(c.input_path);
        std::string what;
        try {
            runRewritePass(c);
        } catch (const ConversionError& e) {
            what = e.what();
        }
        EXPECT_EQ(what, "the input changed during the conversion");
    }
}

}  // namespace
}  // namespace zarn
