#include "line.h"

#include <algorithm>

#include "input_stream.h"
#include "output_file.h"

namespace zarn {

bool Line::contains(std::string_view text, bool anyCase) const {
    if (text.empty()) return true;
    std::string seen;  // the end of the pieces before, then the next piece
    bool found = false;
    forEachPiece([&](std::string_view piece) {
        const std::size_t from = seen.size();
        seen.append(piece);
        if (anyCase)
            for (std::size_t i = from; i < seen.size(); ++i)
                if (seen[i] >= 'A' && seen[i] <= 'Z') seen[i] = static_cast<char>(seen[i] + 32);
        found = seen.find(text) != std::string::npos;
        if (seen.size() >= text.size()) seen.erase(0, seen.size() - (text.size() - 1));
        return !found;
    });
    return found;
}

void Line::forEachPiece(const std::function<bool(std::string_view)>& take) const {
    if (size_ == head_.size()) {
        take(head_);
        return;
    }
    constexpr std::size_t kPiece = 1 << 16;
    const std::unique_ptr<char[]> piece(new char[kPiece]);
    for (std::uint64_t done = 0; done < size_;) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, size_ - done));
        if (from_->readAt(start_ + done, piece.get(), want) != want) throw inputChanged();
        done += want;
        if (!take(std::string_view(piece.get(), want))) return;
    }
}

void Line::copyTo(OutputFile& out) const {
    forEachPiece([&](std::string_view piece) {
        out.write(piece);
        return true;
    });
}

}  // namespace zarn
