// What one setting does to the window's controls and the record. The settings file applies
// its lines through these steps and the batch converter its options, so that both follow the
// rules of the window: every tick or selection they change runs its handler.
#pragma once

#include "zarn/job_settings.h"
#include "zarn/option_controls.h"

namespace zarn {

enum class ForcedSize { None = 0, A4 = 1, A3 = 2 };

// Print mode (true) or EPS mode, with the controls that each mode allows.
void setPageMode(bool print, OptionControls& controls, JobSettings& settings);
// The forced page size; only in print mode: in EPS mode nothing changes.
void setForcedSize(ForcedSize size, OptionControls& controls, JobSettings& settings);
// Rotation on only for a forced page in print mode; otherwise off.
void setRotation(bool on, OptionControls& controls, JobSettings& settings);
// The crop box enabled (never ticked) only for a forced page in print mode.
void setCropBoxEnabled(bool on, OptionControls& controls, const JobSettings& settings);
void setEnglish(bool english, JobSettings& settings);

}  // namespace zarn
