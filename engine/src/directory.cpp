#include "directory.h"

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>

#include "zarn/path_helpers.h"

namespace zarn {

namespace {

constexpr int kFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

// Walks `dir` from `at` in pieces shorter than PATH_MAX, each cut at a '/', starting in the
// directory `fd` (closed on the way unless it is the working directory).
int openInPieces(int fd, const std::string& dir, std::size_t at) {
    while (at < dir.size()) {
        std::size_t end = dir.size();
        if (end - at >= PATH_MAX) {
            const std::size_t cut = dir.rfind('/', at + PATH_MAX - 1);
            if (cut != std::string::npos && cut > at)
                end = cut;  // else one name is too long, as the kernel will say
        }
        const int next = ::openat(fd, dir.substr(at, end - at).c_str(), kFlags);
        const int error = errno;
        if (fd != AT_FDCWD) ::close(fd);
        errno = error;
        if (next < 0) return -1;
        fd = next;
        at = end + 1;
    }
    return fd;
}

}  // namespace

bool Directory::openFor(const std::string& path) {
    close();
    const std::size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "."
                            : slash == 0               ? "/"
                                                       : path.substr(0, slash);
    if (dir.size() < PATH_MAX) {
        fd_ = ::open(dir.c_str(), kFlags);
    } else if (dir[0] != '/') {
        fd_ = openInPieces(AT_FDCWD, dir, 0);
    } else {
        const int root = ::open("/", kFlags);
        fd_ = root < 0 ? -1 : openInPieces(root, dir, 1);
    }
    return fd_ >= 0;
}

void Directory::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

FileAt Directory::file(const std::string& path) const { return {fd_, FileOnly(path), path}; }

}  // namespace zarn
