// The input, read through one large buffer: lines end at CR with an optional LF after it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "byte_buffer.h"
#include "file_at.h"
#include "line.h"

namespace zarn {

class InputStream {
public:
    static constexpr std::size_t kBufferSize = 1 << 20;
    static constexpr std::size_t kPadding = 64;    // readable bytes past the data, for wide loads
    static constexpr std::size_t kKeepBehind = 8;  // bytes before the read position kept readable

    InputStream() = default;
    InputStream(const InputStream&) = delete;
    InputStream& operator=(const InputStream&) = delete;
    ~InputStream() { close(); }

    // Opens a regular file, or a link to one, for reading; anything else is refused without
    // waiting for it. Throws ConversionError.
    void open(const FileAt& file);
    // Reads the file that `whole` has open from `offset` on, as if it began there (its lines
    // counted from 0), whatever `whole` does meanwhile; closing this one leaves it open.
    void openPart(const InputStream& whole, std::uint64_t offset);
    // The bytes from `offset` on are not read: the input ends there.
    void endAt(std::uint64_t offset);
    // The bytes up to `offset` and `lines` more lines were read by a part; the input is
    // read whole to there.
    void skipTo(std::uint64_t offset, std::uint64_t lines);
    void close();
    bool isOpen() const { return fd_ >= 0; }
    FileIdentity identity() const;

    // True when no byte is left to read.
    bool exhausted();
    // Reads the next line, without its line end; throws when the input is exhausted. Memory
    // does not grow with the line's length.
    void readLine(Line& line);
    std::uint64_t linesRead() const { return lines_; }
    // Up to `n` bytes from `offset` of the file, whatever the read position; the count read.
    std::size_t readAt(std::uint64_t offset, char* to, std::size_t n) const;

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
    void countLines(std::uint64_t n) { lines_ += n; }
    // Absolute offset of the read position in the file.
    std::uint64_t offset() const { return base_ + pos_; }
    const std::string& path() const { return path_; }
    // Called after each read from the file with the offset read up to; kept across opens.
    void onRead(std::function<void(std::uint64_t)> readTo) { onRead_ = std::move(readTo); }
    const std::function<void(std::uint64_t)>& readCallback() const { return onRead_; }

private:
    void startAt(std::uint64_t offset);
    [[noreturn]] void endedWhileALineWasExpected() const;
    void takeIntoLine(Line& line, const char* p, std::size_t n);

    int fd_ = -1;
    bool ownsFd_ = true;
    std::string path_;
    ByteBuffer buf_;
    std::size_t pos_ = 0, end_ = 0;
    std::uint64_t base_ = 0;  // file offset of buf_[0]
    std::uint64_t limit_ = UINT64_MAX;
    bool eof_ = false;
    std::uint64_t lines_ = 0;
    std::function<void(std::uint64_t)> onRead_;
    // For the message when the input ends early: a file whose lines end in LF alone reads as
    // one line.
    bool lineEndedAtCr_ = false, loneLineFeed_ = false;
};

}  // namespace zarn
