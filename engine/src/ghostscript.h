// Ghostscript as a measuring instrument: where the marks of a PostScript file really lie, as
// its bbox device finds them.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace zarn {

// Where the marks lie, in PS units of the file's own default coordinates: the union over its
// pages.
struct InkExtent {
    double llx, lly, urx, ury;
};

struct InkMeasurement {
    enum class Status { Measured, NotFound, Failed, TimedOut };
    Status status = Status::Failed;
    std::optional<InkExtent> marks;  // when Measured and anything is drawn
    std::string detail;  // otherwise: what went wrong, then the end of Ghostscript's messages
};

// Renders `path` with the bbox device on a page large enough that marks at negative
// coordinates or far beyond the file's own box are also seen, whatever page the file asks
// for. `program` is looked up on the PATH. The time limit grows with the file's size.
InkMeasurement measureInk(const std::string& path, const std::string& program = "gs");
InkMeasurement measureInk(const std::string& path, const std::string& program,
                          std::chrono::milliseconds limit);

// 20 s, and 10 s more for every 100 MB.
std::chrono::milliseconds inkTimeLimit(std::uint64_t fileBytes);

}  // namespace zarn
