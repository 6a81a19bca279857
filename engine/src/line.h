// The line read last: its length and its first bytes, never more, whatever its length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace zarn {

class InputStream;
class OutputFile;

// The line read last, as the passes look at it: its length, its first bytes, and where it
// lies in the input. A longer line is never held whole: a rule that needs all of it reads
// it again from the file, a piece at a time.
class Line {
public:
    static constexpr std::size_t kHeld = 256;

    std::uint64_t size() const { return size_; }
    // The first kHeld bytes at most; the whole line when it is that short.
    std::string_view head() const { return head_; }
    // `text` is at most kHeld bytes long.
    bool beginsWith(std::string_view text) const {
        return head_.size() >= text.size() && head_.compare(0, text.size(), text) == 0;
    }
    bool operator==(std::string_view text) const { return size_ == text.size() && head_ == text; }
    // `anyCase`: the line's letters A to Z count as a to z; `text` is in lower case.
    bool contains(std::string_view text, bool anyCase = false) const;
    // Hands the line's bytes to `take`, first to last, in pieces; stops when it returns false.
    void forEachPiece(const std::function<bool(std::string_view)>& take) const;
    void copyTo(OutputFile& out) const;
    void clear() { *this = Line(); }

private:
    friend class InputStream;
    const InputStream* from_ = nullptr;
    std::uint64_t start_ = 0;  // offset in the input
    std::uint64_t size_ = 0;
    std::string head_;
};

}  // namespace zarn
