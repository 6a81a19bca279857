#include "output_file.h"

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

OutputFile::~OutputFile() { closeQuietly(); }

void OutputFile::create(const FileAt& file, const char* role) {
    closeQuietly();
    path_ = file.path;
    const std::string named = std::string("the ") + role + " " + path_;
    auto refuse = [&](const std::string& description, int error = 0) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
        return ConversionError(description, aboutFile(path_, error));
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
        const int error = errno;
        throw refuse(cannotCreate(), error);
    }
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) throw refuse(notRegular);
    // A file system without locks leaves the file unguarded rather than unwritten.
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        throw refuse(named + " is being written by another conversion");
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    if (::ftruncate(fd_, 0) != 0) {
        const int error = errno;
        throw refuse(cannotCreate(), error);
    }
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
                              aboutFile(path_, error));
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
        throw ConversionError("cannot write " + path_ + ": " + systemReason(),
                              aboutFile(path_, errno));
    if (failure) std::rethrow_exception(failure);
}

void OutputFile::closeQuietly() noexcept {
    try {
        close();
    } catch (...) {
    }
}

}  // namespace zarn
