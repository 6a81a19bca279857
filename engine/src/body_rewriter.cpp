// The body of the rewrite pass as a stream. Nearly every body line is left alone, so the
// rewriter looks only at the few bytes where a rule can apply -- a 'g' (a gray level or
// showpage), a 'w' (a short "2 w" line), the end-of-job character in EPS mode, a '%' in a
// document for spoolers, and a CR without its LF -- and copies the stretches between them in
// one piece. Each check looks at
// most six bytes back and two ahead, so lines of any length stream through a fixed buffer.
#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "gray_to_colour.h"
#include "rewrite_pass.h"

namespace zarn {

namespace {

constexpr std::size_t kChunk = InputStream::kBufferSize / 2;

#if defined(__SSE2__)
// The byte of the rule that only one mode has: the end-of-job character in EPS mode, '%' in a
// document for spoolers; 'g' (a candidate anyway) otherwise.
inline char modeByte(const BodyRules& rules) {
    return rules.eps ? kEndOfJob : rules.dsc ? '%' : 'g';
}

// The bytes of b[0, 16) at which a rule may apply; b[16] must be readable.
inline __m128i candidates16(const char* b, char mode) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 1));
    __m128i hit =
        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('g')), _mm_cmpeq_epi8(v, _mm_set1_epi8('w')));
    hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v, _mm_set1_epi8(mode)));
    return _mm_or_si128(hit, _mm_andnot_si128(_mm_cmpeq_epi8(next, _mm_set1_epi8('\n')),
                                              _mm_cmpeq_epi8(v, _mm_set1_epi8('\r'))));
}
#else
inline char modeByte(const BodyRules& rules) {
    return rules.eps ? kEndOfJob : rules.dsc ? '%' : 'g';
}
#endif

// Position of the next byte at which a rule may apply, or `limit`. b[limit] must be readable.
std::size_t nextCandidate(const char* b, std::size_t i, std::size_t limit, char mode) {
#if defined(__SSE2__)
    // 64 bytes with one test: a candidate comes only every few hundred bytes.
    while (i + 64 <= limit) {
        const __m128i any = _mm_or_si128(
            _mm_or_si128(candidates16(b + i, mode), candidates16(b + i + 16, mode)),
            _mm_or_si128(candidates16(b + i + 32, mode), candidates16(b + i + 48, mode)));
        if (_mm_movemask_epi8(any) != 0) break;
        i += 64;
    }
    while (i + 16 <= limit) {
        const int mask = _mm_movemask_epi8(candidates16(b + i, mode));
        if (mask != 0) return i + static_cast<std::size_t>(__builtin_ctz(mask));
        i += 16;
    }
#endif
    for (; i < limit; ++i) {
        const char c = b[i];
        if (c == 'g' || c == 'w' || c == mode || (c == '\r' && b[i + 1] != '\n')) return i;
    }
    return limit;
}

class BodyStream {
public:
    BodyStream(InputStream& in, OutputFile& out, const BodyRules& rules)
        : in_(in), out_(out), rules_(rules), mode_(modeByte(rules)), bodyStart_(in.offset()) {}

    BodyEnd run() {
        std::uint64_t scanned = bodyStart_;
        for (;;) {
            avail_ = in_.fill(kChunk);
            base_ = in_.offset();
            b_ = in_.data();
            const bool eof = in_.atEof();
            if (eof) in_.terminate();
            if (avail_ == 0) return finish();
            const std::size_t limit = eof ? avail_ : avail_ - 2;  // two bytes of look-ahead
            copyFrom_ = 0;
            std::size_t i = static_cast<std::size_t>(scanned - base_);
            while ((i = nextCandidate(b_, i, limit, mode_)) < limit) i = apply(i);
            if (eof) {
                emit(avail_);
                BodyEnd end = finish();
                in_.consume(avail_);
                return end;
            }
            // Hold back the last bytes scanned: a pattern may start there and end in the
            // next chunk.
            const std::size_t emitTo = std::max(copyFrom_, limit - 8);
            emit(emitTo);
            scanned = base_ + std::max(limit, copyFrom_);
            in_.consume(emitTo);
        }
    }

private:
    // Byte k of the chunk (k may be a little negative); -1 before the body or past the end.
    int real(std::ptrdiff_t k) const {
        if (static_cast<std::int64_t>(base_) + k < static_cast<std::int64_t>(bodyStart_)) return -1;
        if (k >= static_cast<std::ptrdiff_t>(avail_)) return -1;
        return static_cast<unsigned char>(b_[k]);
    }
    // Does a line begin at byte k? The body begins with a line.
    bool lineStartsAt(std::ptrdiff_t k) const {
        if (static_cast<std::int64_t>(base_) + k <= static_cast<std::int64_t>(bodyStart_))
            return true;
        const int c1 = real(k - 1);
        return c1 == '\r' || (c1 == '\n' && real(k - 2) == '\r');
    }
    // Does the line end (CR or the end of the input) at byte k?
    bool lineEndsAt(std::size_t k) const { return k >= avail_ || b_[k] == '\r'; }

    void emit(std::size_t to) {
        out_.write(b_ + copyFrom_, to - copyFrom_);
        copyFrom_ = to;
    }
    std::size_t replace(std::size_t from, std::size_t to, std::string_view with) {
        emit(from);
        out_.write(with);
        copyFrom_ = to;
        return to;
    }

    std::size_t apply(std::size_t i) {
        switch (b_[i]) {
            case '\r':
                if (i + 1 < avail_ && b_[i + 1] == '\n') return i + 1;
                emit(i + 1);
                out_.write("\n", 1);
                return i + 1;
            case kEndOfJob: return rules_.eps ? replace(i, i + 1, "%%EOF") : i + 1;
            case '%': return structureComment(i);
            case 'w': return lineWidth(i);
            default: return grayOrShowpage(i);
        }
    }

    // A line that begins "%%" begins "%": the document's structure is ours.
    std::size_t structureComment(std::size_t i) {
        if (real(static_cast<std::ptrdiff_t>(i) + 1) != '%' ||
            !lineStartsAt(static_cast<std::ptrdiff_t>(i)))
            return i + 1;
        return replace(i, i + 2, "%");
    }

    // A line "2 w", or "2 w" and one more character, becomes "10 w".
    std::size_t lineWidth(std::size_t i) {
        if (i < copyFrom_ + 2 || b_[i - 1] != ' ' || b_[i - 2] != '2') return i + 1;
        if (!lineStartsAt(static_cast<std::ptrdiff_t>(i) - 2)) return i + 1;
        if (lineEndsAt(i + 1)) return replace(i - 2, i + 1, "10 w");
        if (lineEndsAt(i + 2)) return replace(i - 2, i + 2, "10 w");
        return i + 1;
    }

    std::size_t grayOrShowpage(std::size_t i) {
        if (i >= copyFrom_ + 4 && b_[i - 1] == ' ' && b_[i - 3] == '.' && b_[i - 4] == '0') {
            const char d = b_[i - 2];
            if (d >= '1' && d <= '8' && rules_.colour[d - '0'])
                return replace(i - 4, i + 1, colourReplacement(d));
            return i + 1;
        }
        if (i >= copyFrom_ + 6 && real(static_cast<std::ptrdiff_t>(i) + 1) == 'e' &&
            std::memcmp(b_ + i - 6, "showpag", 7) == 0)
            return replace(i - 6, i + 2, rules_.eps ? "0.0 g" : "0.0 g\r\nshowpage");
        return i + 1;
    }

    // After the last byte: end the last line and tell the tail rule how the body ended.
    BodyEnd finish() {
        const std::ptrdiff_t n = static_cast<std::ptrdiff_t>(avail_);
        if (real(n - 1) < 0) return BodyEnd::NoLines;
        std::ptrdiff_t e = n;
        if (real(e - 1) == '\n' && real(e - 2) == '\r') {
            e -= 2;
        } else if (real(e - 1) == '\r') {
            e -= 1;  // its LF was written by apply()
        } else {
            out_.write("\r\n", 2);
        }
        auto lastLineIs = [&](std::string_view text) {
            const std::ptrdiff_t start = e - static_cast<std::ptrdiff_t>(text.size());
            for (std::size_t k = 0; k < text.size(); ++k)
                if (real(start + static_cast<std::ptrdiff_t>(k)) !=
                    static_cast<unsigned char>(text[k]))
                    return false;
            return lineStartsAt(start);
        };
        const std::string_view eoj(&kEndOfJob, 1);
        if (!rules_.eps) return lastLineIs(eoj) ? BodyEnd::EndOfJob : BodyEnd::Other;
        return lastLineIs("%%EOF") || lastLineIs(eoj) ? BodyEnd::EofMark : BodyEnd::Other;
    }

    InputStream& in_;
    OutputFile& out_;
    const BodyRules& rules_;
    const char mode_;
    const std::uint64_t bodyStart_;
    const char* b_ = nullptr;
    std::uint64_t base_ = 0;
    std::size_t avail_ = 0;
    std::size_t copyFrom_ = 0;
};

}  // namespace

BodyEnd rewriteBody(InputStream& in, OutputFile& out, const BodyRules& rules) {
    return BodyStream(in, out, rules).run();
}

}  // namespace zarn
