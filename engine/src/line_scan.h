// The body scan's lines: each drawing line measured where it lies in the buffer, the line ends
// found 64 bytes at a time, and a stream of buffers through both.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "analysis_pass.h"
#include "body_extremes.h"
#include "input_stream.h"
#include "line_ends.h"
#include "long_line_scan.h"
#include "zarn/numbers.h"

namespace zarn {

// A pen line "N w" (its second field is the letter w alone) sets the width N; the output draws
// a short "2 w" line as "10 w", so that is what it counts as.
inline void addPenLine(const char* line, const char* p1, InkScan& ex) {
    if (p1[1] != 'w' || (p1[2] != ' ' && p1[2] != '\r')) return;
    const char* end = p1 + 2;
    while (*end != '\r') ++end;
    if (end - line < 5 && std::string_view(line, 3) == "2 w") {
        ex.addPen(10);
        return;
    }
    ex.addPen(wordValue(std::string_view(line, static_cast<std::size_t>(p1 - line) + 1)));
}

// The next blank or CR from p; a CR always lies ahead.
inline const char* blankOrLineEnd(const char* p) {
    while (*p != ' ' && *p != '\r') ++p;
    return p;
}

// Measures the line that begins at `line` and ends at the CR at `cr`, with readable bytes
// after it.
template <bool Ink>
inline void measureLine(const char* line, const char* cr, Scan<Ink>& ex, std::uint64_t number) {
    // The common line: "x y l" with whole numbers of at most eight digits.
    std::uint64_t dx, dy;
    const unsigned nx = leadingDigits(line, dx);
    if (nx > 0 && line[nx] == ' ') {
        const char* q = line + nx + 1;
        const unsigned ny = leadingDigits(q, dy);
        if (ny > 0 && q[ny] == ' ') {
            if (countsAsPoint<Ink>(q[ny + 1]))
                ex.addAligned(alignDigits(dx, nx), alignDigits(dy, ny));
            return;
        }
    }
    // Any other line, by the general rules.
    const char* p1 = blankOrLineEnd(line);
    if (p1 == cr) return;
    const char* p2 = blankOrLineEnd(p1 + 1);
    if constexpr (Ink) addPenLine(line, p1, ex);
    if (*p2 == ' ' && countsAsPoint<Ink>(p2[1])) {
        std::int32_t x, y;
        causedByLine(number, [&] {
            readXY(std::string_view(line, static_cast<std::size_t>(p2 - line) + 1),
                   static_cast<std::size_t>(p1 - line), static_cast<std::size_t>(p2 - line), x, y);
        });
        ex.add(x, y);
    }
}

// Measures the lines in [p, limit): each ends at a CR (with an optional LF after it), and
// the CRs before limit are exactly their ends. 64 bytes after limit are readable. The first
// line is input line `before` + 1. Returns the number of lines.
template <bool Ink>
std::uint64_t measureLines(const char* p, const char* limit, Scan<Ink>& ex, std::uint64_t before) {
    std::uint64_t lines = 0;
    const char* line = p;
    // The line ends come from a mask of 64 bytes at a time, not from reading each line to its
    // end: the processor finds the next line without waiting for this one to be measured.
    for (const char* block = p; block < limit; block += 64) {
        std::uint64_t crs = crMask(block);
        if (limit - block < 64) crs &= (std::uint64_t{1} << (limit - block)) - 1;
        for (; crs != 0; crs &= crs - 1) {
            const char* cr = block + __builtin_ctzll(crs);
            measureLine<Ink>(line, cr, ex, before + ++lines);
            line = cr + 1 + (cr[1] == '\n');
        }
    }
    return lines;
}

template <bool Ink>
void scanStream(InputStream& in, Scan<Ink>& ex) {
    for (;;) {
        const std::size_t avail = in.fill(InputStream::kBufferSize / 2);
        if (avail == 0) break;
        const char* b = in.data();
        std::size_t stop, limit;
        if (in.atEof()) {
            // The last line may have no line end: it gets one, which it then holds.
            in.terminate('\r');
            stop = avail;
            const bool ended = b[avail - 1] == '\r' ||
                               (avail >= 2 && b[avail - 2] == '\r' && b[avail - 1] == '\n');
            limit = ended ? avail : avail + 1;
        } else {
            // Whole lines only: the last CR whose next byte is known.
            const void* cr = ::memrchr(b, '\r', avail - 1);
            if (cr == nullptr) {
                measureLongLine<Ink>(in, ex);
                continue;
            }
            stop = static_cast<std::size_t>(static_cast<const char*>(cr) - b) + 1;
            if (b[stop] == '\n') ++stop;
            limit = stop;
        }
        in.countLines(measureLines<Ink>(b, b + limit, ex, in.linesRead()));
        in.consume(stop);
    }
}

}  // namespace zarn
