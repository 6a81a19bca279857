#include "input_stream.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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

void InputStream::open(const FileAt& file) {
    close();
    path_ = file.path;
    auto notRegular = [&] {
        return ConversionError("the input " + path_ + " is not a regular file", aboutFile(path_));
    };
    // Asked before opening: opening a FIFO or a device could wait, or set something going.
    struct stat st {};
    if (::fstatat(file.dir, file.name.c_str(), &st, 0) == 0 && !S_ISREG(st.st_mode))
        throw notRegular();
    fd_ = ::openat(file.dir, file.name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0)
        throw ConversionError("cannot open " + path_ + " for reading: " + systemReason(),
                              aboutFile(path_));
    // The name may have been given to something else in between.
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        close();
        throw notRegular();
    }
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    startAt(0);
}

void InputStream::openPart(const InputStream& whole, std::uint64_t offset) {
    close();
    fd_ = whole.fd_;
    ownsFd_ = false;
    path_ = whole.path_;
    startAt(offset);
}

void InputStream::startAt(std::uint64_t offset) {
    if (buf_.size() == 0) buf_.resize(kBufferSize + kPadding);
    pos_ = end_ = 0;
    base_ = offset;
    limit_ = UINT64_MAX;
    eof_ = false;
    lines_ = 0;
    lineEndedAtCr_ = loneLineFeed_ = false;
}

void InputStream::endAt(std::uint64_t offset) {
    limit_ = offset;
    if (base_ + end_ > offset) end_ = static_cast<std::size_t>(offset - base_);
}

void InputStream::skipTo(std::uint64_t offset, std::uint64_t lines) {
    base_ = offset;
    pos_ = end_ = 0;
    eof_ = true;
    lines_ += lines;
}

FileIdentity InputStream::identity() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        throw ConversionError("cannot read " + path_ + ": " + systemReason(), aboutFile(path_));
    return {st.st_dev, st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

std::size_t InputStream::readAt(std::uint64_t offset, char* to, std::size_t n) const {
    std::size_t done = 0;
    while (done < n) {
        const ssize_t got = ::pread(fd_, to + done, n - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0)
            throw ConversionError("cannot read " + path_ + ": " + systemReason(), aboutFile(path_));
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

void InputStream::close() {
    if (fd_ >= 0 && ownsFd_) ::close(fd_);
    fd_ = -1;
    ownsFd_ = true;
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
        // Read at an offset, not from the descriptor's position, which a part shares.
        const std::uint64_t at = base_ + end_;
        const std::size_t room = static_cast<std::size_t>(
            std::min<std::uint64_t>(buf_.size() - kPadding - end_, limit_ - std::min(limit_, at)));
        ssize_t got = 0;
        while (room > 0 &&
               (got = ::pread(fd_, buf_.data() + end_, room, static_cast<off_t>(at))) < 0 &&
               errno == EINTR) {
        }
        if (got < 0)
            throw ConversionError("cannot read " + path_ + ": " + systemReason(), aboutFile(path_));
        if (got == 0) eof_ = true;
        end_ += static_cast<std::size_t>(got);
        if (got > 0 && onRead_) onRead_(base_ + end_);
    }
    return end_ - pos_;
}

bool InputStream::exhausted() { return fill(1) == 0; }

void InputStream::endedWhileALineWasExpected() const {
    std::string what = "the input " + path_ + " ended while a line was expected (after line " +
                       std::to_string(lines_) + ")";
    if (loneLineFeed_ && !lineEndedAtCr_)
        what += ": its lines end in LF alone, where Zarn1 print files end them with CR LF";
    throw ConversionError(what, aboutFile(path_));
}

void InputStream::takeIntoLine(Line& line, const char* p, std::size_t n) {
    if (line.head_.size() < Line::kHeld)
        line.head_.append(p, std::min(n, Line::kHeld - line.head_.size()));
    line.size_ += n;
    if (!loneLineFeed_ && std::memchr(p, '\n', n) != nullptr) loneLineFeed_ = true;
}

void InputStream::readLine(Line& line) {
    if (pos_ == end_ && fill(1) == 0) endedWhileALineWasExpected();
    line.from_ = this;
    line.start_ = offset();
    line.size_ = 0;
    line.head_.clear();
    // The line passes through the buffer as it is read; only its beginning is kept.
    for (;;) {
        if (pos_ == end_ && fill(kBufferSize / 2) == 0) break;  // ended by the end of the input
        const char* start = buf_.data() + pos_;
        const std::size_t avail = end_ - pos_;
        const char* cr = static_cast<const char*>(std::memchr(start, '\r', avail));
        const std::size_t len = cr != nullptr ? static_cast<std::size_t>(cr - start) : avail;
        takeIntoLine(line, start, len);
        pos_ += len;
        if (cr != nullptr) {
            ++pos_;
            lineEndedAtCr_ = true;
            if ((pos_ < end_ || fill(1) > 0) && buf_[pos_] == '\n') ++pos_;
            break;
        }
    }
    ++lines_;
}

}  // namespace zarn
