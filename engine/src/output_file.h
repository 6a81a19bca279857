// A file written through two large buffers, one filling while a thread writes the other.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "byte_buffer.h"
#include "file_at.h"
#include "write_behind.h"

namespace zarn {

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
