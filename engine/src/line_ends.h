// Where the lines end in a stretch of bytes, 64 at a time: the scan then walks from line end
// to line end without reading each byte of a line to find the next.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zarn {

// Bit i is set when p[i] is a CR; all 64 bytes must be readable.
inline std::uint64_t crMask(const char* p) {
#if defined(__SSE2__)
    // Four 16-byte compares and their top bits: a dozen instructions for 64 bytes.
    const __m128i cr = _mm_set1_epi8('\r');
    std::uint64_t mask = 0;
    for (int i = 0; i < 4; ++i) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
        const auto bits = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, cr)));
        mask |= static_cast<std::uint64_t>(bits) << (16 * i);
    }
    return mask;
#else
    std::uint64_t mask = 0;
    for (int i = 0; i < 64; ++i) mask |= static_cast<std::uint64_t>(p[i] == '\r') << i;
    return mask;
#endif
}

}  // namespace zarn
