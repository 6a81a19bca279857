// Reads the 8-bit RGB PNG that Ghostscript's png16m device writes, to look at its pixels.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zarn::gs {

using Rgb = std::array<std::uint8_t, 3>;

struct Pixels {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;  // rows from the top, 3 bytes a pixel
    Rgb at(int x, int y) const {
        const auto i = 3 * (static_cast<std::size_t>(y) * width + x);
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
};

// None when `bytes` are not a non-interlaced 8-bit RGB PNG.
std::optional<Pixels> readPng(const std::string& bytes);

}  // namespace zarn::gs
