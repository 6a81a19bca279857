#include "write_behind.h"

#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace zarn {

int writeAll(int fd, const char* p, std::size_t n) {
    while (n > 0) {
        const ssize_t done = ::write(fd, p, n);
        if (done < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        p += done;
        n -= static_cast<std::size_t>(done);
    }
    return 0;
}

WriteBehind::~WriteBehind() {
    if (!thread_.joinable()) return;
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

int WriteBehind::write(int fd, const char* p, std::size_t n) {
    const int error = wait();
    if (error != 0 || n == 0) return error;
    {
        const std::lock_guard lock(mutex_);
        fd_ = fd, p_ = p, n_ = n;
    }
    if (thread_.joinable()) {
        changed_.notify_all();
        return 0;
    }
    try {
        thread_ = std::thread(&WriteBehind::run, this);
    } catch (const std::system_error&) {
        // No thread to be had: this write, at least, is made here.
        const std::lock_guard lock(mutex_);
        n_ = 0;
        return writeAll(fd, p, n);
    }
    return 0;
}

int WriteBehind::wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return n_ == 0; });
    const int error = error_;
    error_ = 0;
    return error;
}

void WriteBehind::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return stop_ || n_ > 0; });
        if (n_ == 0) return;  // stopped
        const int fd = fd_;
        const char* p = p_;
        const std::size_t n = n_;
        lock.unlock();
        const int error = writeAll(fd, p, n);
        lock.lock();
        if (error_ == 0) error_ = error;
        n_ = 0;
        changed_.notify_all();
    }
}

}  // namespace zarn
