// A rectangle in real numbers: where marks lie.
#pragma once

#include <algorithm>

namespace zarn {

struct InkExtent {
    double llx, lly, urx, ury;
};

inline InkExtent unite(const InkExtent& a, const InkExtent& b) {
    return {std::min(a.llx, b.llx), std::min(a.lly, b.lly), std::max(a.urx, b.urx),
            std::max(a.ury, b.ury)};
}

}  // namespace zarn
