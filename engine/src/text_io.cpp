#include "text_io.h"

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

std::string linkRefusal(const std::string& named) {
    return named + " is a symbolic link, which is not followed; it was left as it was";
}

}  // namespace

void refuseUnwritableName(const FileAt& file, const std::string& named) {
    // Asked before opening: a link is not followed, and what is not a regular file is not
    // opened at all.
    struct stat st {};
    if (::fstatat(file.dir, file.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return;
    if (S_ISLNK(st.st_mode)) throw ConversionError(linkRefusal(named), aboutFile(file.path));
    if (!S_ISREG(st.st_mode))
        throw ConversionError(named + " is not a regular file; it was left as it was",
                              aboutFile(file.path));
}

int OutputFile::openForReading() const {
    // Through the descriptor, not the name, which may lead elsewhere by now.
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    const int fd = ::open(self.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat mine {
    }, read{};
    if (fd >= 0 && ::fstat(fd_, &mine) == 0 && ::fstat(fd, &read) == 0 &&
        mine.st_dev == read.st_dev && mine.st_ino == read.st_ino)
        return fd;
    if (fd >= 0) ::close(fd);
    throw ConversionError("cannot open " + path_ + " for reading: " +
                              (fd >= 0 ? std::string("it was replaced") : systemReason()),
                          aboutFile(path_));
}

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

void InputStream::readLine(std::string& line) {
    std::string_view view;
    if (!nextLine(view)) endedWhileALineWasExpected();
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

void OutputFile::create(const FileAt& file, const char* role) {
    closeQuietly();
    path_ = file.path;
    const std::string named = std::string("the ") + role + " " + path_;
    auto refuse = [&](const std::string& description) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
        return ConversionError(description, aboutFile(path_));
    };
    const std::string link = linkRefusal(named);
    const std::string notRegular = named + " is not a regular file; it was left as it was";
    auto cannotCreate = [&] { return "cannot create " + path_ + ": " + systemReason(); };
    refuseUnwritableName(file, named);
    struct stat st {};
    // Not emptied yet: only once it is this conversion's.
    fd_ = ::openat(file.dir, file.name.c_str(),
                   O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        if (errno == ELOOP) throw refuse(link);
        throw refuse(cannotCreate());
    }
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) throw refuse(notRegular);
    // A file system without locks leaves the file unguarded rather than unwritten.
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        throw refuse(named + " is being written by another conversion");
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    if (::ftruncate(fd_, 0) != 0) throw refuse(cannotCreate());
    if (buf_.size() == 0) buf_.resize(kBufferSize);
    used_ = 0;
}

void OutputFile::restart() {
    used_ = 0;
    check(behind_.wait());
    if (::ftruncate(fd_, 0) != 0 || ::lseek(fd_, 0, SEEK_SET) != 0)
        throw ConversionError("cannot create " + path_ + ": " + systemReason(), aboutFile(path_));
}

void OutputFile::check(int error) const {
    if (error != 0)
        throw ConversionError("cannot write " + path_ + ": " + std::strerror(error),
                              aboutFile(path_));
}

void OutputFile::handOver() {
    if (used_ == 0) return;
    if (spare_.size() == 0) spare_.resize(kBufferSize);  // a small file never needs it
    const int error = behind_.write(fd_, buf_.data(), used_);
    std::swap(buf_, spare_);
    used_ = 0;
    check(error);
}

void OutputFile::flush() {
    // A file that never filled a buffer, as a log, is written here without a thread.
    if (!behind_.running()) {
        check(writeAll(fd_, buf_.data(), used_));
        used_ = 0;
        return;
    }
    handOver();
    check(behind_.wait());
}

void OutputFile::writeSlow(const char* p, std::size_t n) {
    handOver();
    if (n >= kBufferSize) {
        check(behind_.wait());
        check(writeAll(fd_, p, n));
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
