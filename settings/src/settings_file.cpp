#include "zarn/settings_file.h"

#include <charconv>
#include <cstdint>
#include <fstream>
#include <optional>

#include "zarn/numbers.h"
#include "zarn/path_helpers.h"
#include "zarn/setting_steps.h"
#include "zarn/texts.h"

namespace zarn {

namespace {

std::string decimal(int v) {
    char buf[16];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    (void)ec;
    return std::string(buf, end);
}

std::string upperAscii(std::string_view s) {
    std::string out(s);
    for (char& ch : out)
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    return out;
}

SettingsMessage badLineMessage(const JobSettings& s, const std::string& line) {
    const bool en = s.english();
    return {texts::kErrorTitle.in(en), texts::kSettingsBadLine.in(en) + line};
}

// The colour box whose settings key is `key`, or none.
std::optional<Ctl> colourBoxOf(const std::string& key) {
    for (std::size_t i = 0; i < kColourBoxCount; ++i)
        if (key == kColourBoxes[i].settingsKey) return colourBoxControl(i);
    return std::nullopt;
}

}  // namespace

void applySettingsLine(const std::string& line, OptionControls& c, JobSettings& s,
                       const SettingsReport& report) {
    if (line.size() <= 2 || line.compare(0, 2, "%%") == 0) return;
    const std::size_t sep = line.find(" = ");
    if (sep == std::string::npos) return;

    const std::string key = upperAscii(afhak(std::string_view(line).substr(0, sep + 1)));
    // A value that does not fit 16 bits (or not even a double) matches no range.
    std::optional<int> value;
    if (const std::optional<double> v = wordValueIfFits(std::string_view(line).substr(sep + 2)))
        value = roundEven16IfFits(*v);
    auto within = [&](int lo, int hi) { return value && *value >= lo && *value <= hi; };

    if (key == "COUNTRY") {
        if (value == 31 || value == 44) setEnglish(value == 44, s);
    } else if (key == "MARGINLENGTH") {
        if (!within(0, 99)) return;
        c.setText(Ctl::Text_eind, decimal(*value));
        s.marge = static_cast<std::int16_t>(*value);
    } else if (key == "MARGINWIDTH") {
        if (!within(0, 99)) return;
        c.setText(Ctl::Text_breed, decimal(*value));
        s.breedte = static_cast<std::int16_t>(*value);
    } else if (key == "PAGEMODE") {
        if (within(0, 1)) setPageMode(*value == 1, c, s);
    } else if (key == "FORCEA4") {
        if (within(0, 2)) setForcedSize(static_cast<ForcedSize>(*value), c, s);
    } else if (key == "POPUPTXT") {
        if (within(0, 1)) c.setTicked(Ctl::chkLogafdruk, *value == 1);
    } else if (const std::optional<Ctl> box = colourBoxOf(key)) {
        if (within(0, 1)) c.setTicked(*box, *value == 1);
    } else if (key == "ROTATE") {
        if (within(0, 1)) setRotation(*value == 1, c, s);
    } else if (key == "CROP") {
        if (within(0, 1)) setCropBoxEnabled(*value == 1, c, s);
    } else if (key == "OK") {
        if (within(0, 1)) s.okido = static_cast<std::int16_t>(*value);
    } else if (report) {
        report(badLineMessage(s, line));
    }
}

bool readSettingsFile(const std::string& path, OptionControls& c, JobSettings& s,
                      const SettingsReport& report) {
    if (!FileExists(path)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return true;  // there, but unreadable: nothing to apply

    // A line ends at CR (with an optional LF after it) or at a lone LF, so that files
    // written by the desktop's own editors read line by line too.
    std::string line;
    bool pending = false;
    std::streambuf* buf = in.rdbuf();
    try {
        for (;;) {
            const auto ch = buf->sbumpc();
            if (ch == std::char_traits<char>::eof()) break;
            if (ch == '\r' || ch == '\n') {
                if (ch == '\r' && buf->sgetc() == '\n') buf->sbumpc();
                applySettingsLine(line, c, s, report);
                line.clear();
                pending = false;
            } else {
                line.push_back(static_cast<char>(ch));
                pending = true;
            }
        }
    } catch (const std::exception&) {
        return true;  // a read failure ends the reading; what was applied stays
    }
    if (pending) applySettingsLine(line, c, s, report);
    return true;
}

}  // namespace zarn
