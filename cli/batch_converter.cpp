#include "batch_converter.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <ostream>

#include "zarn/conversion.h"
#include "zarn/option_controls.h"
#include "zarn/setting_steps.h"
#include "zarn/settings_file.h"
#include "zarn/version.h"

namespace zarn {

namespace {

constexpr const char* kProgram = "zarn1-ps-convert";

constexpr const char* kUsage =
    "Usage: zarn1-ps-convert [OPTIONS] FILE...\n"
    "Repairs Zarn1 PostScript print files (*.Pxx): writes NAME_Exx.ps (print mode) or\n"
    "NAME_Exx.eps (EPS mode) and the log NAME_Exx_log.TXT beside each FILE.\n"
    "\n"
    "  --print             print mode: page bounding box and page size line (default)\n"
    "  --eps               EPS mode: no page size, no page ends\n"
    "  --force=WHICH       none, a4 or a3: force the page size (print mode only)\n"
    "  --rotate            rotate the forced page (print mode only)\n"
    "  --crop=TEXT         crop factor for a forced page, 0.90 - 1.00 (default 1.00)\n"
    "  --end-margin=TEXT   extra end margin in mm (default 10)\n"
    "  --extra-width=TEXT  extra width in mm (default 15)\n"
    "  --gray=LIST         gray levels that become colour, from 0.1 ... 0.8, comma-separated,\n"
    "                      or none (default 0.1,0.2,0.4)\n"
    "  --lang=WHICH        nl or uk: language of the log and the messages (default nl)\n"
    "  --settings=FILE     read this settings file first; options given here override it\n"
    "                      (default: ZARN1_PS.INI in the current directory, when it exists)\n"
    "  --no-settings       read no settings file\n"
    "  --one-drop          hand all FILEs to one conversion, as one drop on the window would\n"
    "                      (which refuses more than one file)\n"
    "  --rich-text         the drop also offers rich text, as some editors' drags do\n"
    "  --help              show this help and exit\n"
    "  --version           show the version and exit\n"
    "\n"
    "Exit status: 0 when every FILE converted, 1 when any did not, 2 for a usage error.\n";

// Messages travel back in the result; a terminal has nothing to open, sound or end.
class TerminalPlatform : public Platform {
public:
    bool isDirectory(const std::string& path) override {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    void showMessage(const std::string&, MessageIcon, const std::string&) override {}
    bool openTextViewer(const std::string&) override { return true; }
    void beep() override {}
    void endProgram() override {}
};

struct UsageError {
    std::string what;
};

struct Options {
    std::optional<bool> eps;
    std::optional<std::string> force;
    bool rotate = false;
    std::optional<std::string> crop, endMargin, extraWidth, lang;
    std::optional<std::vector<bool>> gray;  // eight ticks, in the order 0.1 ... 0.8
    std::optional<std::string> settingsFile;
    bool noSettings = false;
    bool oneDrop = false, richText = false;
    bool help = false, version = false;
    std::vector<std::string> files;
};

std::vector<bool> parseGray(const std::string& list) {
    std::vector<bool> ticks(8, false);
    if (list == "none") return ticks;
    std::size_t from = 0;
    while (from <= list.size()) {
        const std::size_t comma = std::min(list.find(',', from), list.size());
        const std::string item = list.substr(from, comma - from);
        if (item.size() != 3 || item[0] != '0' || item[1] != '.' || item[2] < '1' || item[2] > '8')
            throw UsageError{"--gray: \"" + item + "\" is not one of 0.1 ... 0.8"};
        ticks[item[2] - '1'] = true;
        from = comma + 1;
    }
    return ticks;
}

Options parse(const std::vector<std::string>& args) {
    Options o;
    bool onlyFiles = false;
    for (const std::string& a : args) {
        auto value = [&](const char* name) -> std::optional<std::string> {
            const std::string prefix = std::string(name) + "=";
            if (a.rfind(prefix, 0) != 0) return std::nullopt;
            return a.substr(prefix.size());
        };
        if (onlyFiles || a.empty() || a[0] != '-' || a == "-") {
            o.files.push_back(a);
        } else if (a == "--") {
            onlyFiles = true;
        } else if (a == "--print") {
            o.eps = false;
        } else if (a == "--eps") {
            o.eps = true;
        } else if (a == "--rotate") {
            o.rotate = true;
        } else if (a == "--no-settings") {
            o.noSettings = true;
        } else if (a == "--one-drop") {
            o.oneDrop = true;
        } else if (a == "--rich-text") {
            o.richText = true;
        } else if (a == "--help") {
            o.help = true;
        } else if (a == "--version") {
            o.version = true;
        } else if (auto v = value("--force")) {
            if (*v != "none" && *v != "a4" && *v != "a3")
                throw UsageError{"--force takes none, a4 or a3"};
            o.force = *v;
        } else if (auto v = value("--crop")) {
            o.crop = *v;
        } else if (auto v = value("--end-margin")) {
            o.endMargin = *v;
        } else if (auto v = value("--extra-width")) {
            o.extraWidth = *v;
        } else if (auto v = value("--gray")) {
            o.gray = parseGray(*v);
        } else if (auto v = value("--lang")) {
            if (*v != "nl" && *v != "uk") throw UsageError{"--lang takes nl or uk"};
            o.lang = *v;
        } else if (auto v = value("--settings")) {
            o.settingsFile = *v;
        } else {
            throw UsageError{"unknown option " + a};
        }
    }
    if (o.noSettings && o.settingsFile)
        throw UsageError{"--settings and --no-settings exclude each other"};
    if (!o.help && !o.version && o.files.empty()) throw UsageError{"no FILE given"};
    return o;
}

std::string asLines(std::string text) {
    for (char& ch : text)
        if (ch == '\r') ch = '\n';
    return text;
}

void readSettings(const Options& o, OptionControls& c, JobSettings& s, std::ostream& err) {
    if (o.noSettings) return;
    const std::string path = o.settingsFile.value_or(kSettingsFileName);
    const bool read = readSettingsFile(path, c, s, [&](const SettingsMessage& m) {
        err << m.title << "\n" << asLines(m.text) << "\n";
    });
    if (!read && o.settingsFile) throw UsageError{"cannot read the settings file " + path};
}

ForcedSize forcedSizeOf(const std::string& name) {
    if (name == "a4") return ForcedSize::A4;
    if (name == "a3") return ForcedSize::A3;
    return ForcedSize::None;
}

// The options act as the window's controls would: each through the step or the handler
// that the settings file and the user's clicks go through.
void applyOptions(const Options& o, OptionControls& c, JobSettings& s) {
    if (o.eps) setPageMode(!*o.eps, c, s);
    if (s.pageregel == 0 && o.force && *o.force != "none")
        throw UsageError{"--force needs print mode, not EPS mode"};
    if (s.pageregel == 0 && o.rotate) throw UsageError{"--rotate needs print mode, not EPS mode"};
    if (o.force) setForcedSize(forcedSizeOf(*o.force), c, s);
    if (o.rotate) c.setTicked(Ctl::chkRotate, true);
    if (o.crop) c.setText(Ctl::Text_crop, *o.crop);
    if (o.endMargin) c.setText(Ctl::Text_eind, *o.endMargin);
    if (o.extraWidth) c.setText(Ctl::Text_breed, *o.extraWidth);
    if (o.lang) setEnglish(*o.lang == "uk", s);
    if (o.gray)
        for (std::size_t i = 0; i < kColourBoxCount; ++i) c.setTicked(colourBoxControl(i), (*o.gray)[i]);
    c.setTicked(Ctl::chkLogafdruk, false);  // a terminal has no viewer to open
}

// The settings a conversion sees: the window's start values, the settings file, the options.
void buildSettings(const Options& o, JobSettings& s, std::ostream& err) {
    HeadlessWindow window(s);
    applyStartValues(window.controls(), s);
    readSettings(o, window.controls(), s, err);
    applyOptions(o, window.controls(), s);
    captureWindowValues(window.controls(), s);
}

// A drop always delivers a full path.
std::string absolute(const std::string& file) {
    if (!file.empty() && file[0] == '/') return file;
    std::error_code ec;
    const std::filesystem::path cwd = std::filesystem::current_path(ec);
    if (ec) return file;
    return (cwd / file).lexically_normal().string();
}

}  // namespace

int runBatchConverter(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Options o;
    JobSettings base;
    try {
        o = parse(args);
        if (o.help) {
            out << kUsage;
            return 0;
        }
        if (o.version) {
            out << kProgram << " " << kVersion << "\n";
            return 0;
        }
        buildSettings(o, base, err);
    } catch (const UsageError& e) {
        err << kProgram << ": " << e.what << "\n" << "Try '" << kProgram << " --help'.\n";
        return 2;
    }

    TerminalPlatform platform;
    int status = 0;
    std::vector<DroppedData> drops;
    for (const std::string& file : o.files) {
        if (!o.oneDrop || drops.empty()) drops.push_back({{}, o.richText});
        drops.back().paths.push_back(absolute(file));
    }
    for (const DroppedData& drop : drops) {
        JobSettings settings = base;  // each drop as if it were the only one
        const DropResult r = convertDrop(drop, settings, platform);
        if (r.outcome == DropOutcome::Completed) {
            out << r.output_path << "\n" << r.log_path << "\n";
        } else {
            err << asLines(r.message) << "\n";
            status = 1;
        }
    }
    return status;
}

}  // namespace zarn
