// Reading ZARN1_PS.INI.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "zarn/job_settings.h"
#include "zarn/option_controls.h"

namespace zarn {

inline constexpr const char* kSettingsFileName = "ZARN1_PS.INI";

// The settings file read when none is named: ZARN1_PS.INI in the current directory when it is
// there, else the user's own, $XDG_CONFIG_HOME/zarn1-ps-repair/ZARN1_PS.INI (XDG_CONFIG_HOME
// defaults to ~/.config); none when neither is there.
std::optional<std::string> settingsFileToRead();
// Where the user's own settings file is looked for; empty when no home is known.
std::string userSettingsFile();
// What --help and --version say when settingsFileToRead found none: where it looked.
std::string noSettingsFileFound();

struct SettingsMessage {
    std::string title;
    std::string text;  // lines joined by a bare CR
};

// Called for the bad-line message at the moment the line is read.
using SettingsReport = std::function<void(const SettingsMessage&)>;

// Applies one line of the settings file (without its line end) through the handlers of
// `controls`.
void applySettingsLine(const std::string& line, OptionControls& controls, JobSettings& settings,
                       const SettingsReport& report);

// Reads the settings file at `path` line by line. Returns false when no such file exists;
// a file that exists but cannot be read counts as found and applies what could be read.
bool readSettingsFile(const std::string& path, OptionControls& controls, JobSettings& settings,
                      const SettingsReport& report);

// Reads the settings file the user named, whatever its name (a dot file too): none when it was
// read, else the reason it could not be (a missing file, one that cannot be opened or read, or
// one that is not a regular file, which is never waited on).
std::optional<std::string> readNamedSettingsFile(const std::string& path, OptionControls& controls,
                                                 JobSettings& settings,
                                                 const SettingsReport& report);

}  // namespace zarn
