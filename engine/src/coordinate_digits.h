// Plotter coordinates read fast: whole numbers of a few digits, read eight bytes at a time,
// and compared as sort keys before their values are worked out.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace zarn {

// Whole numbers of at most nine digits, the common case of a plotter coordinate.
inline bool plainInteger(const char* p, std::size_t n, std::int32_t& out) {
    if (n == 0 || n > 9) return false;
    std::int32_t v = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned d = static_cast<unsigned char>(p[i]) - '0';
        if (d > 9) return false;
        v = v * 10 + static_cast<std::int32_t>(d);
    }
    out = v;
    return true;
}

// A whole number of at most eight digits as a sort key: its digits right-aligned, one a
// byte, the units in the lowest byte. Keys order as the numbers do, so a coordinate can be
// compared with the extremes before its value is worked out, which is rarely needed.
using SortKey = std::int64_t;
constexpr SortKey kBelowAll = -1;
constexpr SortKey kAboveAll = INT64_MAX;

inline SortKey keyOf(std::int32_t v) {
    if (v < 0) return kBelowAll;
    if (v > 99999999) return kAboveAll;
    SortKey key = 0;
    for (int byte = 0; v != 0; ++byte, v /= 10) key |= static_cast<SortKey>(v % 10) << (8 * byte);
    return key;
}

// Eight bytes as one number, the first byte lowest, whatever the machine's byte order.
inline std::uint64_t loadEightBytes(const char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
    return v;
}

// The leading digits of the eight bytes at p, all eight readable: how many there are (eight
// when all are), with the bytes less '0' in `digits` (the first byte lowest).
inline unsigned leadingDigits(const char* p, std::uint64_t& digits) {
    digits = loadEightBytes(p) - 0x3030303030303030ULL;
    // Per byte, a digit is now 0 to 9. Adding 0x76 (128 - 10) sets a byte's top bit exactly
    // when it is 10 or more; a byte below '0' has wrapped and has its top bit set already.
    // Borrows and carries run only towards higher bytes, so every byte below the first
    // non-digit is exact, and the lowest top bit found marks that first non-digit.
    const std::uint64_t notDigit =
        ((digits + 0x7676767676767676ULL) | digits) & 0x8080808080808080ULL;
    return notDigit != 0 ? static_cast<unsigned>(__builtin_ctzll(notDigit)) >> 3 : 8;
}

// The first n (1 to 8) digits moved to the top bytes: leading zeros in front. For n = 0 the
// result means nothing, but is defined.
inline std::uint64_t alignDigits(std::uint64_t digits, unsigned n) {
    return digits << ((64 - 8 * n) & 63);
}
inline SortKey keyOfAligned(std::uint64_t aligned) {
    return static_cast<SortKey>(__builtin_bswap64(aligned));
}
// The value of aligned digits, eight at a time (byte k holds the digit of weight 10^(7-k)).
// First d * 10 + (d >> 8) puts the two-digit pairs P0..P3 (at most 99, so nothing carries)
// in bytes 0, 2, 4 and 6. Bytes 0 and 4 then multiply by 100 + 10^6 * 2^32, bytes 2 and 6 by
// 1 + 10^4 * 2^32: the sum's bits 32 to 63 are P0*10^6 + P1*10^4 + P2*100 + P3, the value;
// the low half stays below 2^32 and what lands beyond bit 63 falls off.
inline std::int32_t valueOfAligned(std::uint64_t d) {
    d = d * 10 + (d >> 8);
    d = (((d & 0x000000FF000000FFULL) * 0x000F424000000064ULL) +
         (((d >> 16) & 0x000000FF000000FFULL) * 0x0000271000000001ULL)) >>
        32;
    return static_cast<std::int32_t>(d);
}

}  // namespace zarn
