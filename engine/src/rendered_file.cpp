#include "rendered_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "zarn/conversion_error.h"

namespace zarn {

namespace {

constexpr int kNameTries = 100;

std::string randomSuffix() {
    unsigned char bytes[6] = {};
    if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != sizeof bytes) {
        const auto now = static_cast<unsigned long>(::time(nullptr)) ^ ::getpid();
        std::memcpy(bytes, &now, sizeof bytes);
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (const unsigned char b : bytes) {
        text += kHex[b >> 4];
        text += kHex[b & 15];
    }
    return text;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

RenderedFile::RenderedFile(const FileAt& file, const char* role) : file_(file), role_(role) {
    const std::string named = "the " + role_ + " " + file_.path;
    refuseUnwritableName(file_, named);
    const int older =
        ::openat(file_.dir, file_.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (older >= 0) {
        older_ = Descriptor(older);
        struct stat st {};
        if (::fstat(older, &st) != 0 || !S_ISREG(st.st_mode))
            throw ConversionError(named + " is not a regular file; it was left as it was",
                                  aboutFile(file_.path));
        if (::flock(older, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
            throw ConversionError(named + " is being written by another conversion",
                                  aboutFile(file_.path));
    } else if (errno == ELOOP) {
        refuseUnwritableName(file_, named);
    }
    int made = ::openat(file_.dir, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (made < 0) {
        // A file system that cannot make a file without a name: a hidden one.
        for (int i = 0; i < kNameTries && made < 0; ++i) {
            temporary_ = freeName(file_.name);
            made = ::openat(file_.dir, temporary_.c_str(),
                            O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
            if (made < 0 && errno != EEXIST) break;
        }
        if (made < 0) temporary_.clear();
    }
    if (made < 0)
        throw ConversionError("cannot create " + file_.path + ": " + std::strerror(errno),
                              aboutFile(file_.path));
    made_ = Descriptor(made);
}

RenderedFile::~RenderedFile() {
    if (!published_ && !temporary_.empty()) ::unlinkat(file_.dir, temporary_.c_str(), 0);
}

std::string RenderedFile::freeName(const std::string& stem) const {
    return "." + stem + "." + randomSuffix();
}

std::size_t RenderedFile::read(std::uint64_t offset, char* to, std::size_t n) const {
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::pread(made_.get(), to + got, n - got, static_cast<off_t>(offset + got));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        got += static_cast<std::size_t>(r);
    }
    return got;
}

std::uint64_t RenderedFile::size() const {
    struct stat st {};
    return ::fstat(made_.get(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

void RenderedFile::publish() {
    const auto cannot = [&](int error) {
        return ConversionError("cannot write " + file_.path + ": " + std::strerror(error),
                               aboutFile(file_.path));
    };
    std::string name = temporary_;
    if (name.empty()) {
        // Linked under a free hidden name first, for only a rename replaces a file in one step.
        const std::string self = "/proc/self/fd/" + std::to_string(made_.get());
        for (int i = 0; i < kNameTries; ++i) {
            name = freeName(file_.name);
            if (::linkat(AT_FDCWD, self.c_str(), file_.dir, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
                break;
            if (errno != EEXIST || i + 1 == kNameTries) throw cannot(errno);
        }
        temporary_ = name;
    }
    if (::renameat(file_.dir, name.c_str(), file_.dir, file_.name.c_str()) != 0)
        throw cannot(errno);
    published_ = true;
}

void RenderedFile::discardOlder() {
    struct stat older {
    }, named{};
    if (older_.get() >= 0 && ::fstat(older_.get(), &older) == 0 &&
        ::fstatat(file_.dir, file_.name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        sameFile(older, named))
        ::unlinkat(file_.dir, file_.name.c_str(), 0);
}

}  // namespace zarn
