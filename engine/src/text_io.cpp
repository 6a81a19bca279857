#include "text_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>

#include "zarn/conversion_error.h"

namespace zarn {

namespace {

std::string systemReason() { return std::strerror(errno); }

}  // namespace

void InputStream::open(const std::string& path) {
    close();
    path_ = path;
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) throw ConversionError("cannot open " + path + " for reading: " + systemReason(), aboutFile(path));
    if (buf_.size() == 0) buf_.resize(kBufferSize + kPadding);
    pos_ = end_ = 0;
    base_ = 0;
    eof_ = false;
    lines_ = 0;
}

void InputStream::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

std::size_t InputStream::fill(std::size_t want) {
    while (end_ - pos_ < want && !eof_) {
        const std::size_t cap = buf_.size() - kPadding;
        if (pos_ > kKeepBehind && (cap - end_ < want - (end_ - pos_) || pos_ >= cap / 2)) {
            // Keep a few bytes before the read position: the streaming passes look back.
            const std::size_t drop = pos_ - kKeepBehind;
            std::memmove(buf_.data(), buf_.data() + drop, end_ - drop);
            end_ -= drop;
            base_ += drop;
            pos_ = kKeepBehind;
        }
        if (end_ == cap) buf_.resize(cap * 2 + kPadding);  // one line longer than the buffer
        const std::size_t room = buf_.size() - kPadding - end_;
        ssize_t got;
        do {
            got = ::read(fd_, buf_.data() + end_, room);
        } while (got < 0 && errno == EINTR);
        if (got < 0) throw ConversionError("cannot read " + path_ + ": " + systemReason(), aboutFile(path_));
        if (got == 0) eof_ = true;
        end_ += static_cast<std::size_t>(got);
    }
    return end_ - pos_;
}

bool InputStream::exhausted() { return fill(1) == 0; }

void InputStream::readLine(std::string& line) {
    std::string_view view;
    if (!nextLine(view))
        throw ConversionError("the input " + path_ + " ended while a line was expected (after line " +
                                  std::to_string(lines_) + ")",
                              aboutFile(path_));
    line.assign(view.data(), view.size());
}

bool InputStream::nextLine(std::string_view& line) {
    if (pos_ == end_ && fill(1) == 0) return false;
    std::size_t scanned = 0;
    for (;;) {
        const char* start = buf_.data() + pos_;
        const std::size_t avail = end_ - pos_;
        const void* cr = std::memchr(start + scanned, '\r', avail - scanned);
        if (cr != nullptr) {
            const std::size_t len = static_cast<const char*>(cr) - start;
            if (len + 1 == avail && !eof_) {  // is an LF next?
                scanned = len;
                fill(avail + 1);
                continue;
            }
            std::size_t used = len + 1;
            if (used < avail && start[used] == '\n') ++used;
            line = std::string_view(start, len);
            pos_ += used;
            ++lines_;
            return true;
        }
        if (eof_) {
            line = std::string_view(start, avail);
            pos_ = end_;
            ++lines_;
            return true;
        }
        scanned = avail;
        fill(avail + 1);
    }
}

OutputFile::~OutputFile() { closeQuietly(); }

void OutputFile::create(const std::string& path) {
    closeQuietly();
    path_ = path;
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) throw ConversionError("cannot create " + path + ": " + systemReason(), aboutFile(path));
    if (buf_.size() == 0) buf_.resize(kBufferSize);
    used_ = 0;
}

void OutputFile::writeAll(const char* p, std::size_t n) {
    while (n > 0) {
        const ssize_t done = ::write(fd_, p, n);
        if (done < 0) {
            if (errno == EINTR) continue;
            throw ConversionError("cannot write " + path_ + ": " + systemReason(), aboutFile(path_));
        }
        p += done;
        n -= static_cast<std::size_t>(done);
    }
}

void OutputFile::flush() {
    if (used_ > 0) writeAll(buf_.data(), used_);
    used_ = 0;
}

void OutputFile::writeSlow(const char* p, std::size_t n) {
    flush();
    if (n >= kBufferSize) {
        writeAll(p, n);
    } else {
        std::copy(p, p + n, buf_.data());
        used_ = n;
    }
}

void OutputFile::close() {
    if (fd_ < 0) return;
    // The descriptor is closed whatever the flush gave; the first failure is the one told.
    std::exception_ptr failure;
    try {
        flush();
    } catch (...) {
        failure = std::current_exception();
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && !failure)
        throw ConversionError("cannot write " + path_ + ": " + systemReason(), aboutFile(path_));
    if (failure) std::rethrow_exception(failure);
}

void OutputFile::closeQuietly() noexcept {
    try {
        close();
    } catch (...) {
    }
}

}  // namespace zarn
