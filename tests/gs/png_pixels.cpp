#include "png_pixels.h"

#include <zlib.h>

#include <cstdlib>

namespace zarn::gs {

namespace {

std::uint32_t bigEndian(const std::string& b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(b[at + i]);
    return v;
}

// The Paeth predictor of the PNG specification.
int paeth(int a, int b, int c) {
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// Undoes each row's filter in place; `data` holds the filter byte before each row.
bool unfilter(const std::vector<std::uint8_t>& data, int width, int height, Pixels& out) {
    const std::size_t stride = 3 * static_cast<std::size_t>(width);
    out.rgb.assign(stride * height, 0);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t filter = data[y * (stride + 1)];
        const std::uint8_t* in = &data[y * (stride + 1) + 1];
        std::uint8_t* row = &out.rgb[y * stride];
        const std::uint8_t* up = y > 0 ? row - stride : nullptr;
        for (std::size_t x = 0; x < stride; ++x) {
            const int a = x >= 3 ? row[x - 3] : 0, b = up ? up[x] : 0,
                      c = up && x >= 3 ? up[x - 3] : 0;
            const int predicted = filter == 0   ? 0
                                  : filter == 1 ? a
                                  : filter == 2 ? b
                                  : filter == 3 ? (a + b) / 2
                                  : filter == 4 ? paeth(a, b, c)
                                                : -1;
            if (predicted < 0) return false;
            row[x] = static_cast<std::uint8_t>(in[x] + predicted);
        }
    }
    return true;
}

}  // namespace

std::optional<Pixels> readPng(const std::string& bytes) {
    if (bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return std::nullopt;
    Pixels out;
    std::string idat;
    for (std::size_t at = 8; at + 12 <= bytes.size();) {
        const std::uint32_t length = bigEndian(bytes, at);
        const std::string type = bytes.substr(at + 4, 4);
        if (at + 12 + length > bytes.size()) return std::nullopt;
        if (type == "IHDR") {
            out.width = static_cast<int>(bigEndian(bytes, at + 8));
            out.height = static_cast<int>(bigEndian(bytes, at + 12));
            // 8 bits, RGB, no interlace
            if (bytes[at + 16] != 8 || bytes[at + 17] != 2 || bytes[at + 20] != 0)
                return std::nullopt;
        }
        if (type == "IDAT") idat += bytes.substr(at + 8, length);
        at += 12 + length;
    }
    std::vector<std::uint8_t> data((3 * static_cast<std::size_t>(out.width) + 1) * out.height);
    uLongf size = data.size();
    if (out.width <= 0 ||
        uncompress(data.data(), &size, reinterpret_cast<const Bytef*>(idat.data()), idat.size()) !=
            Z_OK ||
        size != data.size() || !unfilter(data, out.width, out.height, out))
        return std::nullopt;
    return out;
}

}  // namespace zarn::gs
