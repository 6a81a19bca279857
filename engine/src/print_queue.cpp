#include "zarn/print_queue.h"

namespace zarn {

std::optional<std::string> printQueueName(std::string_view word) {
    constexpr std::string_view kRefused = "/\\\"'#";
    if (word.empty() || word.size() > 127) return std::nullopt;
    for (const char ch : word)
        if (ch <= ' ' || ch > '~' || kRefused.find(ch) != std::string_view::npos)
            return std::nullopt;
    return std::string(word);
}

}  // namespace zarn
