// The settings every FILE of a run starts from: the window's start values, the settings file,
// then the options, each through the step or handler the window's controls go through.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "command_line.h"
#include "zarn/job_settings.h"

namespace zarn {

// Fills `settings`; a settings file's messages go to `err`. Throws UsageError.
void buildSettings(const Options& options, JobSettings& settings, std::ostream& err);

// The settings file a run reads: the one named, or the one found (settingsFileToRead); none
// with --no-settings or when none is there.
std::optional<std::string> settingsFileOf(const Options& options);

}  // namespace zarn
