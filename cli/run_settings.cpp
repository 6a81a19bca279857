#include "run_settings.h"

#include <ostream>

#include "terminal_text.h"
#include "zarn/colour_boxes.h"
#include "zarn/option_controls.h"
#include "zarn/setting_steps.h"
#include "zarn/settings_file.h"

namespace zarn {

namespace {

void readSettings(const Options& o, OptionControls& c, JobSettings& s, std::ostream& err) {
    const std::optional<std::string> path = settingsFileOf(o);
    if (!path) return;
    const SettingsReport report = [&](const SettingsMessage& m) {
        err << kProgram << ": " << shown(*path) << ": " << asLines(m.text) << "\n";
    };
    if (!o.settingsFile) {
        readSettingsFile(*path, c, s, report);
    } else if (const auto failed = readNamedSettingsFile(*path, c, s, report)) {
        throw UsageError("cannot read the settings file " + shown(*path) + ": " + *failed);
    }
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
        throw UsageError("--force needs print mode, not EPS mode");
    if (s.pageregel == 0 && o.rotate) throw UsageError("--rotate needs print mode, not EPS mode");
    if (s.pageregel == 0 && o.dsc.value_or(false))
        throw UsageError("--dsc needs print mode, not EPS mode");
    if (s.pageregel == 0 && !o.sendTo.value_or("").empty())
        throw UsageError("--send-to needs print mode, not EPS mode");
    if (o.force) setForcedSize(forcedSizeOf(*o.force), c, s);
    if (o.rotate) c.setTicked(Ctl::chkRotate, true);
    if (o.crop) c.setText(Ctl::Text_crop, *o.crop);
    if (o.endMargin) c.setText(Ctl::Text_eind, *o.endMargin);
    if (o.extraWidth) c.setText(Ctl::Text_breed, *o.extraWidth);
    if (o.inkBox) s.inkBox = *o.inkBox;
    if (o.verify) s.verify = *o.verify;
    if (o.pdf) s.pdf = *o.pdf;
    if (o.preview) s.preview = static_cast<std::int16_t>(*o.preview);
    if (o.dsc) s.dsc = *o.dsc;
    if (o.sendTo) s.queue = *o.sendTo;
    if (o.lang) setEnglish(*o.lang == "uk", s);
    if (o.gray)
        for (std::size_t i = 0; i < kColourBoxCount; ++i)
            c.setTicked(colourBoxControl(i), (*o.gray)[i]);
    c.setTicked(Ctl::chkLogafdruk, false);  // a terminal has no viewer to open
}

}  // namespace

std::optional<std::string> settingsFileOf(const Options& o) {
    if (o.noSettings) return std::nullopt;
    if (o.settingsFile) return o.settingsFile;
    return settingsFileToRead();
}

void buildSettings(const Options& o, JobSettings& s, std::ostream& err) {
    HeadlessWindow window(s);
    applyStartValues(window.controls(), s);
    readSettings(o, window.controls(), s, err);
    applyOptions(o, window.controls(), s);
    captureWindowValues(window.controls(), s);
}

}  // namespace zarn
