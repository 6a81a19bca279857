// Measuring the job: the scale and origin near the top of the page description, the
// version-7 origin correction, the extremes of every drawing line and the exposure size.
#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <functional>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>
#include <type_traits>
#include <utility>

#include "analysis_pass.h"
#include "line_ends.h"
#include "zarn/numbers.h"

namespace zarn {

namespace {

// Whole numbers of at most nine digits, the common case of a plotter coordinate.
bool plainInteger(const char* p, std::size_t n, std::int32_t& out) {
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

}  // namespace

void computePageDimensions(JobSettings& s) {
    const double crop = s.Crop_Factor;  // widened without change
    s.A4_kortPS = floorHalfUp16(crop * 595);
    s.A4_langPS = floorHalfUp16(crop * 841);
    s.A3_langPS = floorHalfUp16(crop * 1190);
}

void readXY(std::string_view line, std::size_t p1, std::size_t p2, std::int32_t& x,
            std::int32_t& y) {
    if (!plainInteger(line.data(), p1, x)) x = roundEven32(wordValue(line.substr(0, p1 + 1)));
    if (!plainInteger(line.data() + p1 + 1, p2 - p1 - 1, y))
        y = roundEven32(wordValue(line.substr(p1, p2 - p1)));
}

namespace {

// The leading number of the line's first word, read as the line streams past.
double firstWordValue(const Line& line) {
    NumberScanner number;
    bool begun = false;
    line.forEachPiece([&](std::string_view piece) {
        for (const char ch : piece) {
            if (ch == ' ') {
                if (begun) return false;
                continue;
            }
            begun = true;
            if (!number.feed(ch)) return false;
        }
        return true;
    });
    return number.value();
}

// A line "x y translate": x before the first blank, y before the second, "translate" right
// after it. False for any other line.
bool readTranslateLine(const Line& line, std::int32_t& x, std::int32_t& y) {
    constexpr std::string_view kWord = "translate";
    NumberScanner xs, ys;
    int blanks = 0;
    std::size_t matched = 0;
    line.forEachPiece([&](std::string_view piece) {
        for (const char ch : piece) {
            if (blanks < 2) {
                if (ch == ' ')
                    ++blanks;
                else
                    (blanks == 0 ? xs : ys).feed(ch);
            } else if (ch != kWord[matched] || ++matched == kWord.size()) {
                return false;
            }
        }
        return true;
    });
    if (matched < kWord.size()) return false;
    x = roundEven32(xs.value());
    y = roundEven32(ys.value());
    return true;
}

}  // namespace

void scanScaleWindow(ConversionState& c) {
    JobGeometry& g = c.geo;
    Line& line = c.current_line;
    for (int turn = 1; turn <= kScaleWindowLines; ++turn) {
        c.input.readLine(line);
        if (!line.contains("zarn_units scale")) continue;
        g.zarn_scale =
            causedByLine(c.input.linesRead(), [&] { return toSingle(firstWordValue(line)); });
        c.input.readLine(line);  // the same turn
        causedByLine(c.input.linesRead(), [&] {
            std::int32_t x, y;
            if (!readTranslateLine(line, x, y)) return;
            g.translate_found = 1;
            g.origin_x_units = floorHalfUp32(static_cast<double>(g.zarn_scale) * x);
            g.origin_y_units = floorHalfUp32(static_cast<double>(g.zarn_scale) * y);
        });
    }
}

void applyVersion7Correction(JobGeometry& g) {
    if (!g.translate_found) return;
    if (g.version7) {
        const std::int32_t x = sub32(g.origin_x_units, 252);  // 5.0 mm
        const std::int32_t y = sub32(g.origin_y_units, 504);  // 10.0 mm
        g.offset_x_units = x > 0 ? x : 0;
        g.offset_y_units = y > 0 ? y : 0;
    } else {
        g.offset_x_units = g.origin_x_units;
        g.offset_y_units = g.origin_y_units;
    }
}

namespace {

// A whole number of at most eight digits as a sort key: its digits right-aligned, one a
// byte, the units in the lowest byte. Keys order as the numbers do, so a coordinate can be
// compared with the extremes before its value is worked out, which is rarely needed.
using SortKey = std::int64_t;
constexpr SortKey kBelowAll = -1;
constexpr SortKey kAboveAll = INT64_MAX;

SortKey keyOf(std::int32_t v) {
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

struct Extremes {
    explicit Extremes(const JobGeometry& g)
        : maxX(g.max_x_units), maxY(g.max_y_units), minX(g.min_x_units), minY(g.min_y_units) {}
    Extremes(std::int32_t maxX_, std::int32_t maxY_, std::int32_t minX_, std::int32_t minY_)
        : maxX(maxX_), maxY(maxY_), minX(minX_), minY(minY_) {}
    // Before the first point, when the extremes have no start values.
    static Extremes none() { return {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}; }
    bool empty() const { return maxX < minX; }
    void storeIn(JobGeometry& g) const {
        g.max_x_units = maxX;
        g.max_y_units = maxY;
        g.min_x_units = minX;
        g.min_y_units = minY;
    }

    std::int32_t maxX, maxY, minX, minY;
    SortKey maxXKey = keyOf(maxX), maxYKey = keyOf(maxY), minXKey = keyOf(minX),
            minYKey = keyOf(minY);

    void add(std::int32_t x, std::int32_t y) {
        if (x > maxX) maxXKey = keyOf(maxX = x);
        if (y > maxY) maxYKey = keyOf(maxY = y);
        if (x < minX) minXKey = keyOf(minX = x);
        if (y < minY) minYKey = keyOf(minY = y);
    }
    // Two plain coordinates as aligned digits.
    void addAligned(std::uint64_t x, std::uint64_t y) {
        const SortKey kx = keyOfAligned(x), ky = keyOfAligned(y);
        if (kx > maxXKey) maxX = valueOfAligned(x), maxXKey = kx;
        if (ky > maxYKey) maxY = valueOfAligned(y), maxYKey = ky;
        if (kx < minXKey) minX = valueOfAligned(x), minXKey = kx;
        if (ky < minYKey) minY = valueOfAligned(y), minYKey = ky;
    }
    // What the part of the body after this one found.
    void combine(const Extremes& o) {
        if (o.maxX > maxX) maxX = o.maxX, maxXKey = o.maxXKey;
        if (o.maxY > maxY) maxY = o.maxY, maxYKey = o.maxYKey;
        if (o.minX < minX) minX = o.minX, minXKey = o.minXKey;
        if (o.minY < minY) minY = o.minY, minYKey = o.minYKey;
    }
    // The part of a body that starts in the middle begins where the plain scan begins.
    Extremes partAfter() const { return *this; }
};

// The ink box. Round caps and joins put ink half the pen in force around every point, so the
// points are gathered in runs of one pen as in the plain scan, and a run's extremes are widened
// by half its pen when the pen changes: a point costs no more than it does there.
struct InkScan {
    Extremes run = Extremes::none();
    double half = 0.5;  // a body that sets no pen draws with width 1
    // A part that starts in the middle of the body does not know its first pen: its points
    // before its first pen line wait for the part before it.
    bool penKnown = true;
    Extremes unpenned = Extremes::none();
    std::optional<InkExtent> ink;

    void add(std::int32_t x, std::int32_t y) { run.add(x, y); }
    void addAligned(std::uint64_t x, std::uint64_t y) { run.addAligned(x, y); }
    void addPen(double width) {
        endRun();
        half = std::fabs(width) / 2;
        penKnown = true;
    }
    void endRun() {
        if (penKnown)
            widen(run, half);
        else
            unpenned = run;
        run = Extremes::none();
    }
    void widen(const Extremes& e, double by) {
        if (e.empty()) return;
        const InkExtent box{e.minX - by, e.minY - by, e.maxX + by, e.maxY + by};
        ink = ink ? unite(*ink, box) : box;
    }
    InkScan partAfter() const {
        InkScan after;
        after.penKnown = false;
        return after;
    }
    void combine(InkScan& after) {
        endRun();
        after.endRun();
        widen(after.unpenned, half);
        if (after.ink) ink = ink ? unite(*ink, *after.ink) : after.ink;
        if (after.penKnown) half = after.half;
    }
};

template <bool Ink>
using Scan = std::conditional_t<Ink, InkScan, Extremes>;

// The letter after the second blank that makes a line count: "l" always, and with the ink box
// also "m", since a track's ink starts at its first point.
template <bool Ink>
inline bool countsAsPoint(char letter) {
    return letter == 'l' || (Ink && letter == 'm');
}

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

// A line longer than the buffer, measured as it streams past: the two number fields go
// through scanners, so nothing of the line is held.
template <bool Ink>
void measureLongLine(InputStream& in, Scan<Ink>& ex) {
    enum class Phase { X, Y, AfterSecondBlank, Rest } phase = Phase::X;
    NumberScanner xs, ys;
    std::size_t yLength = 0;  // of the second field, so far
    bool yIsW = false;        // the second field so far is the letter w alone
    const auto penLineEnds = [&] {
        if constexpr (Ink)
            if (phase == Phase::Y && yIsW) ex.addPen(xs.value());
    };
    in.countLines(1);
    for (;;) {
        const std::size_t avail = in.fill(InputStream::kBufferSize / 2);
        if (avail == 0) return;  // the last line, ended by the end of the input
        const char* b = in.data();
        for (std::size_t i = 0; i < avail; ++i) {
            const char ch = b[i];
            if (ch == '\r') {
                penLineEnds();
                in.consume(i + 1);
                if (in.fill(1) > 0 && *in.data() == '\n') in.consume(1);
                return;
            }
            switch (phase) {
                case Phase::X:
                    if (ch == ' ')
                        phase = Phase::Y;
                    else if (!xs.ended())
                        xs.feed(ch);
                    break;
                case Phase::Y:
                    if (ch == ' ') {
                        penLineEnds();
                        phase = Phase::AfterSecondBlank;
                        break;
                    }
                    yIsW = ++yLength == 1 && ch == 'w';
                    if (!ys.ended()) ys.feed(ch);
                    break;
                case Phase::AfterSecondBlank:
                    if (countsAsPoint<Ink>(ch))
                        causedByLine(in.linesRead(), [&] {
                            ex.add(roundEven32(xs.value()), roundEven32(ys.value()));
                        });
                    phase = Phase::Rest;
                    break;
                case Phase::Rest: {
                    const void* cr = std::memchr(b + i, '\r', avail - i);
                    i = cr == nullptr
                            ? avail - 1
                            : static_cast<std::size_t>(static_cast<const char*>(cr) - b) - 1;
                    break;
                }
            }
        }
        in.consume(avail);
    }
}

}  // namespace

namespace {

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

// Where the first line at or after `offset` begins, when one does within a short look;
// none at the end of the input.
std::optional<std::uint64_t> lineStartFrom(const InputStream& in, std::uint64_t offset) {
    char look[1 << 16];
    const std::size_t n = in.readAt(offset, look, sizeof look);
    const char* cr = static_cast<const char*>(std::memchr(look, '\r', n));
    if (cr == nullptr || cr + 1 == look + n) return std::nullopt;
    const std::size_t next = static_cast<std::size_t>(cr - look) + 1;
    return offset + next + (look[next] == '\n' ? 1 : 0);
}

// The body in two halves, the second on a thread of its own: the extremes of the halves
// combine, and the scan is most of the pass's time. The first failure in the file is the
// one told.
template <bool Ink>
bool scanInHalves(ConversionState& c, std::uint64_t from, Scan<Ink>& ex) {
    InputStream& in = c.input;
    const auto size = static_cast<std::uint64_t>(c.input_read.size);
    const std::optional<std::uint64_t> middle = lineStartFrom(in, from + (size - from) / 2);
    if (!middle || *middle >= size) return false;
    InputStream second;
    second.openPart(in, *middle);
    Scan<Ink> secondEx = ex.partAfter();
    std::atomic<std::uint64_t> secondRead{*middle};
    second.onRead([&](std::uint64_t offset) { secondRead = offset; });
    std::exception_ptr secondFailure;
    {
        std::jthread helper;
        try {
            helper = std::jthread([&] {
                try {
                    scanStream<Ink>(second, secondEx);
                } catch (...) {
                    secondFailure = std::current_exception();
                }
            });
        } catch (const std::system_error&) {
            return false;  // no thread to be had: one scan after all
        }
        const std::function<void(std::uint64_t)> report = in.readCallback();
        if (report)
            in.onRead([&](std::uint64_t offset) { report(offset + (secondRead - *middle)); });
        in.endAt(*middle);
        try {
            scanStream<Ink>(in, ex);
        } catch (...) {
            in.onRead(report);
            throw;  // after the helper has ended
        }
        in.onRead(report);
    }
    if (secondFailure) {
        try {
            std::rethrow_exception(secondFailure);
        } catch (ConversionError& e) {
            if (e.context().inputLine != 0) e.context().inputLine += in.linesRead();
            throw;
        }
    }
    in.skipTo(second.offset(), second.linesRead());
    ex.combine(secondEx);
    return true;
}

template <bool Ink>
void scanBodyFor(ConversionState& c, std::uint64_t splitFrom, Scan<Ink>& ex) {
    const std::uint64_t from = c.input.offset();
    const auto size = static_cast<std::uint64_t>(c.input_read.size);
    if (size <= from || size - from < splitFrom || !scanInHalves<Ink>(c, from, ex))
        scanStream<Ink>(c.input, ex);
}

}  // namespace

void scanBody(ConversionState& c, std::uint64_t splitFrom) {
    // Two instances, so that the plain scan pays nothing for the ink box.
    if (c.settings.inkBox) {
        InkScan ink;
        scanBodyFor<true>(c, splitFrom, ink);
        ink.endRun();
        c.geo.ink_raw = ink.ink;
    } else {
        Extremes ex(c.geo);
        scanBodyFor<false>(c, splitFrom, ex);
        ex.storeIn(c.geo);
    }
}

namespace {

// The ink on the page, rounded outward at every step: the extremes in Zarn units, the size in
// PS units. The origin is where the rewritten translate line puts it, in whole raw units; in
// print mode the line moves ink that starts left of or below the page onto it.
void scaleInk(JobGeometry& g, bool print) {
    const double scale = g.zarn_scale;
    const InkExtent& raw = *g.ink_raw;
    g.max_x_units = ceil32(scale * (scale > 0 ? raw.urx : raw.llx));
    g.max_y_units = ceil32(scale * (scale > 0 ? raw.ury : raw.lly));
    g.min_x_units = floor32(scale * (scale > 0 ? raw.llx : raw.urx));
    g.min_y_units = floor32(scale * (scale > 0 ? raw.lly : raw.ury));
    const double tx = g.translate_found ? translateRaw(g.offset_x_units, g.zarn_scale) : 0;
    const double ty = g.translate_found ? translateRaw(g.offset_y_units, g.zarn_scale) : 0;
    const double unit = scale * kPsPerZarn;  // PS units a raw unit
    const auto onPage = [&](double origin, double a, double b) {
        return std::pair(std::min((origin + a) * unit, (origin + b) * unit),
                         std::max((origin + a) * unit, (origin + b) * unit));
    };
    auto [left, right] = onPage(tx, raw.llx, raw.urx);
    auto [bottom, top] = onPage(ty, raw.lly, raw.ury);
    if (print && g.translate_found) {
        const auto shift = [&](double low, std::int32_t& raws) {
            if (low >= 0) return 0.0;
            raws = ceil32(-low / std::fabs(unit));
            if (unit < 0) raws = -raws;
            return raws * unit;
        };
        const double dx = shift(left, g.shift_x_raw), dy = shift(bottom, g.shift_y_raw);
        left += dx, right += dx, bottom += dy, top += dy;
    }
    g.ink_ps = InkExtent{left, bottom, right, top};
    g.job_width_ps = ceil32(right);
    g.job_height_ps = ceil32(top);
}

}  // namespace

std::int32_t translateRaw(std::int32_t offsetUnits, float scale) {
    return floorHalfUp32(offsetUnits / static_cast<double>(scale));
}

void scaleExtremesAndSize(JobGeometry& g, bool print) {
    if (g.ink_raw && g.zarn_scale != 0.0f) return scaleInk(g, print);
    const double scale = g.zarn_scale;
    g.max_x_units = floorHalfUp32(scale * g.max_x_units);
    g.max_y_units = floorHalfUp32(scale * g.max_y_units);
    g.min_x_units = floorHalfUp32(scale * g.min_x_units);
    g.min_y_units = floorHalfUp32(scale * g.min_y_units);
    g.job_width_ps = floorHalfUp32(add32(g.max_x_units, g.offset_x_units) * kPsPerZarn);
    g.job_height_ps = floorHalfUp32(add32(g.offset_y_units, g.max_y_units) * kPsPerZarn);
}

}  // namespace zarn
