// A line longer than the input buffer, measured as it streams past.
#pragma once

#include <cstring>

#include "body_extremes.h"
#include "input_stream.h"
#include "zarn/numbers.h"

namespace zarn {

// The letter after the second blank that makes a line count: "l" always, and with the ink box
// also "m", since a track's ink starts at its first point.
template <bool Ink>
inline bool countsAsPoint(char letter) {
    return letter == 'l' || (Ink && letter == 'm');
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

}  // namespace zarn
