// Whole conversions on arbitrary bytes. The first bytes choose the settings; the rest is the
// dropped file. Every run must end in one of the defined outcomes, leave the input as it
// was, and touch no file but the input, the output and the log. A first byte of 0xFF makes
// the rest a settings file, 0xFE a command line (arguments split at NUL bytes): what reads
// outside data besides the dropped file.
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "command_line.h"
#include "zarn/conversion.h"
#include "zarn/option_controls.h"
#include "zarn/settings_file.h"

namespace {

struct SilentPlatform : zarn::Platform {
    bool isDirectory(const std::string&) override { return false; }
    void showMessage(const std::string&, zarn::MessageIcon, const std::string&) override {}
    bool openTextViewer(const std::string&) override { return viewerWorks; }
    bool openImageViewer(const std::string&) override { return viewerWorks; }
    void beep() override {}
    void endProgram() override {}
    bool viewerWorks = true;
};

const char* const kCropTexts[] = {"1.00", "0.95", "0.9", "1.01", "", "abc", "0.90000001", "1e-3"};
const char* const kMarginTexts[] = {"10", "0", "99", "", "5x", "-3", "1e9", "327"};

const std::string& scratchDir() {
    static const std::string dir = [] {
        char templ[] = "/tmp/zarn-fuzz-XXXXXX";
        if (::mkdtemp(templ) == nullptr) std::abort();
        return std::string(templ);
    }();
    return dir;
}

std::set<std::string> listDir(const std::string& dir) {
    std::set<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* e = ::readdir(d))
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                names.insert(e->d_name);
        ::closedir(d);
    }
    return names;
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "broken promise: %s\n", what);
        std::abort();
    }
}

// Whatever the file says, the record stays within the ranges the window allows.
void fuzzSettingsFile(const std::string& bytes) {
    const std::string path = scratchDir() + "/" + zarn::kSettingsFileName;
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    zarn::JobSettings s;
    zarn::HeadlessWindow window(s);
    zarn::applyStartValues(window.controls(), s);
    zarn::readSettingsFile(path, window.controls(), s, [](const zarn::SettingsMessage& m) {
        check(m.text.size() < 1000, "a settings message that repeats a whole long line");
    });
    check(s.marge >= 0 && s.marge <= 99 && s.breedte >= 0 && s.breedte <= 99,
          "a margin out of range");
    check(s.Force_A4 + s.Force_A3 <= 1, "two forced sizes");
    check(s.pageregel == 1 || (s.Force_A4 == 0 && s.Force_A3 == 0), "a forced size in EPS mode");
    ::unlink(path.c_str());
}

// The parser either accepts the arguments or refuses them with a reason.
void fuzzCommandLine(const std::string& bytes) {
    std::vector<std::string> args;
    std::size_t from = 0;
    while (from <= bytes.size() && args.size() < 64) {
        const std::size_t nul = std::min(bytes.find('\0', from), bytes.size());
        args.push_back(bytes.substr(from, nul - from));
        from = nul + 1;
    }
    try {
        const zarn::Options o = zarn::parseCommandLine(args);
        check(o.help || o.version || !o.files.empty(), "no FILE accepted");
    } catch (const zarn::UsageError& e) {
        check(!e.what.empty(), "a usage error without a reason");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size >= 1 && (data[0] == 0xFF || data[0] == 0xFE)) {
        const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
        data[0] == 0xFF ? fuzzSettingsFile(rest) : fuzzCommandLine(rest);
        return 0;
    }
    if (size < 4) return 0;
    const std::uint8_t mode = data[0], colours = data[1], fields = data[2], extra = data[3];
    zarn::JobSettings s;
    s.pageregel = mode & 1;
    s.eps_print = s.pageregel == 0;
    s.Force_A4 = (mode >> 1) & 1;
    s.Force_A3 = (mode >> 2) & 1;
    s.kantel = (mode >> 3) & 1;
    s.LANG = (mode >> 4) & 1 ? "UK" : "NL";
    s.okido = (mode >> 5) & 1;
    s.LogAfdruk = (mode >> 6) & 1;
    for (std::size_t i = 0; i < zarn::kColourBoxCount; ++i) s.colourTicked[i] = (colours >> i) & 1;
    s.Text_crop = kCropTexts[fields & 7];
    s.Text_eind = kMarginTexts[(fields >> 3) & 7];
    s.Text_breed = kMarginTexts[extra & 7];
    SilentPlatform platform;
    platform.viewerWorks = (extra >> 3) & 1;

    const std::string dir = scratchDir();
    const std::string input = dir + "/F.P01";
    const std::string body(reinterpret_cast<const char*>(data + 4), size - 4);
    {
        std::ofstream out(input, std::ios::binary | std::ios::trunc);
        out.write(body.data(), static_cast<std::streamsize>(body.size()));
    }
    zarn::DroppedData drop;
    drop.paths.push_back(input);
    drop.offersRichText = (extra >> 4) & 1 && (extra >> 5) & 1 && (extra >> 6) & 1;
    const zarn::DropResult r = zarn::convertDrop(drop, s, platform);

    check(slurp(input) == body, "the input changed");
    std::set<std::string> allowed{"F.P01", "F_E01.ps", "F_E01.eps", "F_E01_log.TXT"};
    for (const std::string& name : listDir(dir)) check(allowed.count(name) == 1, "a stray file");
    check(r.outcome != zarn::DropOutcome::ErrorExit || !r.message.empty(),
          "an error without a message");
    for (const char* name : {"F_E01.ps", "F_E01.eps", "F_E01_log.TXT"})
        ::unlink((dir + "/" + name).c_str());
    return 0;
}
