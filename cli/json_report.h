// The batch converter's JSON Lines report: one object a FILE with the files written, how the
// conversion ended and what it measured.
#pragma once

#include <string>

#include "zarn/conversion.h"

namespace zarn {

// The record of one FILE, without its line end. `result` is null when the FILE never reached a
// conversion; `message` then says why.
std::string jsonRecord(const std::string& input, const DropResult* result,
                       const std::string& message);
// The same from a hot folder, with the folder its set went to, relative to the hot folder.
std::string jsonRecord(const std::string& input, const DropResult* result,
                       const std::string& message, const std::string& folder);
// A set of a hot folder that a crash left half moved and that was moved on: its folder only.
std::string jsonMovedRecord(const std::string& input, const std::string& folder);

}  // namespace zarn
