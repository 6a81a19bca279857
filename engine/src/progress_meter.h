// How far a conversion is through its two passes over the input, told to the platform in
// whole percent: the analysis pass takes it from 0 to 50, the rewrite pass on to 100.
#pragma once

#include <algorithm>
#include <cstdint>

#include "zarn/platform.h"

namespace zarn {

class ProgressMeter {
public:
    explicit ProgressMeter(Platform& platform) : platform_(platform) {}

    // Pass 0 (analysis) or 1 (rewrite) reads the input, `size` bytes, from its first byte.
    void startPass(int pass, std::uint64_t size) {
        pass_ = pass;
        size_ = size;
        readTo(0);
    }
    void readTo(std::uint64_t offset) {
        const std::uint64_t half =
            size_ == 0 ? 50 : std::min<std::uint64_t>(offset, size_) * 50 / size_;
        tell(pass_ * 50 + static_cast<int>(half));
    }
    void finish() { tell(100); }

private:
    // Never backwards, and only when the percent changes.
    void tell(int percent) {
        if (percent <= told_) return;
        told_ = percent;
        platform_.progress(percent);
    }

    Platform& platform_;
    int pass_ = 0;
    std::uint64_t size_ = 0;
    int told_ = -1;
};

}  // namespace zarn
