// Writing a file on a second thread: the conversion fills the next buffer while the kernel
// copies the last one into the page cache, which for a big output takes as long as the
// rewrite itself.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>

namespace zarn {

class WriteBehind {
public:
    WriteBehind() = default;
    WriteBehind(const WriteBehind&) = delete;
    WriteBehind& operator=(const WriteBehind&) = delete;
    ~WriteBehind();

    // Starts writing the n bytes at p to fd, which stay untouched until the next call, and
    // returns; first waits for the write before. The thread starts with the first write
    // (when none can be started, the write is made before returning). Returns the error
    // number of a write that failed, or 0.
    int write(int fd, const char* p, std::size_t n);
    // Waits until every write is done; the error number of the first that failed, or 0. The
    // error is then forgotten.
    int wait();
    // Whether a write has started the thread.
    bool running() const { return thread_.joinable(); }

private:
    void run();

    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    int fd_ = -1;
    const char* p_ = nullptr;
    std::size_t n_ = 0;  // bytes still to write; 0: idle
    int error_ = 0;
    bool stop_ = false;
};

// Writes all n bytes, again after a signal; the error number, or 0.
int writeAll(int fd, const char* p, std::size_t n);

}  // namespace zarn
