// A finished print job handed to a queue of the print system (QUEUE, --send-to): what the
// conversion asks for and what it is told.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zarn {

struct PrintRequest {
    std::string queue;
    std::string title;  // the input's name
    int document = -1;  // the output, open for reading; sent as it is
    // The page the output sets up, in PS units, as it lies on the medium.
    std::int32_t pageWidth = 0, pageHeight = 0;
};

struct PrintSubmission {
    int job = 0;          // the print system's job number; 0: not sent
    std::string failure;  // when not sent: why, in one sentence
};

// `word` as a queue's name: printable ASCII without a blank, slash, backslash, quote or hash,
// at most 127 bytes, as the print system takes them. None when it is no such name.
std::optional<std::string> printQueueName(std::string_view word);

}  // namespace zarn
