// The body scan: on one thread, or for a large body in two halves at once.
#include <atomic>
#include <cstdint>
#include <cstring>
#include <exception>
#include <functional>
#include <optional>
#include <system_error>
#include <thread>

#include "analysis_pass.h"
#include "line_scan.h"

namespace zarn {

namespace {

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

}  // namespace zarn
