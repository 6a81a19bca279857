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

}  // namespace zarn
