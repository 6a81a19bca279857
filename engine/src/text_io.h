// Buffered single-byte text files: one large read buffer, one large write buffer, no
// per-line allocation. Input lines end at CR with an optional LF after it.
#pragma once

#include <fcntl.h>
#include <sys/types.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "write_behind.h"
#include "zarn/conversion_error.h"

namespace zarn {

class InputStream;
class OutputFile;

// A file named by an open directory and a name in it; `path` is how messages name it.
struct FileAt {
    FileAt(const std::string& p) : dir(AT_FDCWD), name(p), path(p) {}  // a path as it is
    FileAt(int d, std::string n, std::string p) : dir(d), name(std::move(n)), path(std::move(p)) {}
    int dir;
    std::string name, path;
};

// What tells one state of a file from another: which file, how long, when last written.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t modifiedSec = 0, modifiedNsec = 0;
    bool operator==(const FileIdentity&) const = default;
};

inline ConversionError inputChanged() {
    return ConversionError("the input changed during the conversion");
}

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
    // The same, holding the whole line however long it is: for readers that keep lines.
    void readLine(std::string& line);
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
    // Reads one line as a view into the buffer, valid until the next read; false at the end.
    bool nextLine(std::string_view& line);
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

// Refuses to write through `file` when its name is a symbolic link or anything but a regular
// file (or nothing): such a name is left as it is. `named` says what it is ("the output X").
// Throws ConversionError.
void refuseUnwritableName(const FileAt& file, const std::string& named);

class OutputFile {
public:
    // Two buffers of this size: one fills while the other is written.
    static constexpr std::size_t kBufferSize = 1 << 19;

    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    // Creates the file or empties an existing one. A name that is a symbolic link or anything
    // but a regular file is left as it is, and so is a file that another conversion holds:
    // the file stays locked for this one until it is closed. `role` names it in messages.
    // Throws ConversionError.
    void create(const FileAt& file, const char* role = "output");
    // Empties the file again, as a new creation would; the same file, still locked.
    void restart();
    void flush();                  // throws ConversionError on a write failure
    void close();                  // flushes; throws ConversionError on a write failure
    void closeQuietly() noexcept;  // for the error exit: keeps what can be kept
    bool isOpen() const { return fd_ >= 0; }
    // For a child process that writes the file itself; -1 when it is not open.
    int descriptor() const { return fd_; }
    // A new descriptor that reads this very file, whatever its name leads to now; the caller
    // closes it. Throws ConversionError.
    int openForReading() const;

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
    // Hands the filled buffer to the writing thread and goes on with the other.
    void handOver();
    // Throws the failure of a write, if error is one.
    void check(int error) const;

    int fd_ = -1;
    std::string path_;
    ByteBuffer buf_, spare_;
    std::size_t used_ = 0;
    WriteBehind behind_;
};

}  // namespace zarn
