// Buffered single-byte text files: one large read buffer, one large write buffer, no
// per-line allocation. Input lines end at CR with an optional LF after it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <algorithm>

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

class InputStream {
public:
    static constexpr std::size_t kBufferSize = 1 << 20;
    static constexpr std::size_t kPadding = 64;  // readable bytes past the data, for wide loads
    static constexpr std::size_t kKeepBehind = 8;  // bytes before the read position kept readable

    InputStream() = default;
    InputStream(const InputStream&) = delete;
    InputStream& operator=(const InputStream&) = delete;
    ~InputStream() { close(); }

    void open(const std::string& path);  // throws ConversionError
    void close();
    bool isOpen() const { return fd_ >= 0; }

    // True when no byte is left to read.
    bool exhausted();
    // Reads one line without its line end into `line`; throws when the input is exhausted.
    void readLine(std::string& line);
    std::uint64_t linesRead() const { return lines_; }

    // Direct buffer access for the streaming passes. Makes at least `want` bytes available
    // from the read position unless the end of the file comes first; returns the count.
    std::size_t fill(std::size_t want);
    const char* data() const { return buf_.data() + pos_; }
    std::size_t available() const { return end_ - pos_; }
    bool atEof() const { return eof_; }
    void consume(std::size_t n) { pos_ += n; }
    // Puts a byte just past the data (in the padding): wide loads then see a defined value,
    // and a scan for `mark` is sure to stop.
    void terminate(char mark = '\0') { buf_[end_] = mark; }
    // Reads one line as a view into the buffer, valid until the next read; false at the end.
    bool nextLine(std::string_view& line);
    void countLines(std::uint64_t n) { lines_ += n; }
    // Absolute offset of the read position in the file.
    std::uint64_t offset() const { return base_ + pos_; }
    const std::string& path() const { return path_; }

private:
    int fd_ = -1;
    std::string path_;
    ByteBuffer buf_;
    std::size_t pos_ = 0, end_ = 0;
    std::uint64_t base_ = 0;  // file offset of buf_[0]
    bool eof_ = false;
    std::uint64_t lines_ = 0;
};

class OutputFile {
public:
    static constexpr std::size_t kBufferSize = 1 << 20;

    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    void create(const std::string& path);  // empties an existing file; throws ConversionError
    void close();                          // flushes; throws ConversionError on a write failure
    void closeQuietly() noexcept;          // for the error exit: keeps what can be kept
    bool isOpen() const { return fd_ >= 0; }

    void write(const char* p, std::size_t n) {
        if (n <= kBufferSize - used_) {
            std::copy(p, p + n, buf_.data() + used_);
            used_ += n;
        } else {
            writeSlow(p, n);
        }
    }
    void write(std::string_view s) { write(s.data(), s.size()); }
    void line(std::string_view s) {
        write(s);
        write("\r\n", 2);
    }

private:
    void writeSlow(const char* p, std::size_t n);
    void flush();
    void writeAll(const char* p, std::size_t n);

    int fd_ = -1;
    std::string path_;
    ByteBuffer buf_;
    std::size_t used_ = 0;
};

}  // namespace zarn
