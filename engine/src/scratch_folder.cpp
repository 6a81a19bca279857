#include "scratch_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "zarn/conversion_error.h"

namespace zarn {

namespace {

// A folder being made carries the dot until it is locked; a run's own folder is named without.
constexpr const char* kPrefix = "zarn1-gs-";
constexpr const char* kMaking = ".zarn1-gs-";
// A folder being made is locked within microseconds; one this old was left by a killed run.
constexpr std::time_t kMakingAge = 60;
// Deeper than any renderer goes; the limit keeps the open folders few.
constexpr int kDeepest = 128;

std::string temporaryFolder() {
    const char* tmp = std::getenv("TMPDIR");
    struct stat st {};
    if (tmp != nullptr && tmp[0] == '/' && ::stat(tmp, &st) == 0 && S_ISDIR(st.st_mode)) return tmp;
    return "/tmp";
}

bool emptyAt(int dir, int depth, dev_t device) {
    DIR* listing = ::fdopendir(dir);
    if (listing == nullptr) {
        ::close(dir);
        return false;
    }
    bool empty = true;
    while (const dirent* entry = ::readdir(listing)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        struct stat st {};
        if (::fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            const int sub = ::openat(dir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            const bool here = st.st_dev == device && depth < kDeepest && sub >= 0;
            if (here) {
                emptyAt(sub, depth + 1, device);
            } else if (sub >= 0) {
                ::close(sub);
            }
            if (!here || ::unlinkat(dir, name, AT_REMOVEDIR) != 0) empty = false;
        } else if (::unlinkat(dir, name, 0) != 0) {
            empty = false;
        }
    }
    ::closedir(listing);
    return empty;
}

// Removes the folder `name` in `parent` when no run holds it, and, for one being made, when
// it is old enough.
void removeIfAbandoned(int parent, const char* name, bool making) {
    struct stat st {};
    if (::fstatat(parent, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode) ||
        st.st_uid != ::geteuid())
        return;
    if (making && std::time(nullptr) - st.st_mtime < kMakingAge) return;
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        emptyFolder(fd);
        ::unlinkat(parent, name, AT_REMOVEDIR);
    }
    ::close(fd);
}

}  // namespace

bool emptyFolder(int dir) {
    struct stat st {};
    if (::fstat(dir, &st) != 0) return false;
    const int own = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (own < 0) return false;
    return emptyAt(own, 0, st.st_dev);
}

ScratchFolder::ScratchFolder() {
    parent_ = temporaryFolder();
    std::string making = parent_ + "/" + kMaking + "XXXXXX";
    if (::mkdtemp(making.data()) == nullptr)
        throw ConversionError("cannot make a scratch folder in " + parent_ + ": " +
                              std::strerror(errno));
    const std::string suffix = making.substr(making.size() - 6);
    fd_ = ::open(making.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    name_ = std::string(kPrefix) + suffix;
    path_ = parent_ + "/" + name_;
    if (fd_ < 0 || ::flock(fd_, LOCK_EX) != 0 || ::rename(making.c_str(), path_.c_str()) != 0) {
        const int error = errno;
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
        ::rmdir(making.c_str());
        throw ConversionError("cannot make a scratch folder in " + parent_ + ": " +
                              std::strerror(error));
    }
}

ScratchFolder::~ScratchFolder() {
    if (fd_ < 0) return;
    emptyFolder(fd_);
    const int parent = ::open(parent_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parent >= 0) {
        // Only the folder this run made: the name may have been taken over meanwhile.
        struct stat mine {
        }, named{};
        if (::fstat(fd_, &mine) == 0 &&
            ::fstatat(parent, name_.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            mine.st_dev == named.st_dev && mine.st_ino == named.st_ino)
            ::unlinkat(parent, name_.c_str(), AT_REMOVEDIR);
        ::close(parent);
    }
    ::close(fd_);
}

void removeAbandonedScratch() {
    const int parent = ::open(temporaryFolder().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parent < 0) return;
    DIR* listing = ::fdopendir(parent);
    if (listing == nullptr) {
        ::close(parent);
        return;
    }
    std::vector<std::string> names;  // removed after the listing: it must not change under it
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        if (name.starts_with(kPrefix) || name.starts_with(kMaking)) names.push_back(name);
    }
    for (const std::string& name : names)
        removeIfAbandoned(parent, name.c_str(), name.starts_with(kMaking));
    ::closedir(listing);
}

}  // namespace zarn
