// A byte buffer for the streaming passes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>

namespace zarn {

// A byte buffer that is not cleared when made: the passes fill it before they read it.
class ByteBuffer {
public:
    char* data() { return bytes_.get(); }
    const char* data() const { return bytes_.get(); }
    std::size_t size() const { return size_; }
    char& operator[](std::size_t i) { return bytes_[i]; }
    char operator[](std::size_t i) const { return bytes_[i]; }
    // Keeps the content that fits.
    void resize(std::size_t n) {
        if (n == size_) return;
        std::unique_ptr<char[]> bigger(new char[n]);
        if (size_ > 0) std::memcpy(bigger.get(), bytes_.get(), std::min(size_, n));
        bytes_ = std::move(bigger);
        size_ = n;
    }

private:
    std::unique_ptr<char[]> bytes_;
    std::size_t size_ = 0;
};

}  // namespace zarn
