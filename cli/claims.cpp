#include "claims.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <utility>

#include "zarn/conversion.h"
#include "zarn/descriptor.h"

namespace zarn {

namespace {

constexpr const char* kClaimPrefix = "claim-";
constexpr const char* kMakingPrefix = ".new-";  // a claim folder until it is locked
constexpr const char* kJournal = ".publish";    // where a set that is being moved goes
constexpr const char* kPublishLock = ".publish.lock";
constexpr const char* kPart = ".part";  // a copy not yet complete
// A claim folder is locked within microseconds of being made; one this old was left by a crash.
constexpr std::time_t kMakingAge = 60;

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

Descriptor openFolder(const std::string& path) {
    return Descriptor(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

bool isDiskFull(int error) { return error == ENOSPC || error == EDQUOT; }

// The names of the regular files in the folder, its hidden ones left out.
std::vector<std::string> filesIn(int folder) {
    std::vector<std::string> names;
    const int own = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* listing = own >= 0 ? ::fdopendir(own) : nullptr;
    if (listing == nullptr) {
        if (own >= 0) ::close(own);
        fail("cannot read a claim");
    }
    while (const dirent* entry = ::readdir(listing)) {
        struct stat st {};
        if (entry->d_name[0] == '.') continue;
        if (::fstatat(folder, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
            names.emplace_back(entry->d_name);
    }
    ::closedir(listing);
    return names;
}

bool exists(int folder, const std::string& name) {
    struct stat st {};
    return ::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

bool sameBytes(int a, int b) {
    char x[65536], y[65536];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(a, x, sizeof x, at), m = ::pread(b, y, sizeof y, at);
        if (n != m || n < 0) return false;
        if (n == 0) return true;
        if (std::memcmp(x, y, static_cast<std::size_t>(n)) != 0) return false;
        at += n;
    }
}

// Writes `bytes` as the file `name` in `folder`, on the disk before it returns.
void writeDurably(int folder, const std::string& name, const std::string& bytes) {
    const Descriptor fd(::openat(folder, name.c_str(),
                                 O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (fd.get() < 0 ||
        ::write(fd.get(), bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) ||
        ::fsync(fd.get()) != 0) {
        const int error = errno;
        ::unlinkat(folder, name.c_str(), 0);
        errno = error;
        if (isDiskFull(error)) throw DiskFull("the disk is full");
        fail("cannot write " + name);
    }
    ::fsync(folder);
}

// One watcher moves a set at a time, so that two never choose the same free names.
class PublishLock {
public:
    explicit PublishLock(const HotFolder& folder) {
        fd_ = Descriptor(::open((folder.work() + "/" + kPublishLock).c_str(),
                                O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (fd_.get() < 0) fail("cannot lock " + folder.work());
        while (::flock(fd_.get(), LOCK_EX) != 0)
            if (errno != EINTR) fail("cannot lock " + folder.work());
    }

private:
    Descriptor fd_;
};

// The first of base, base/2, base/3, ... (made when needed) where none of `names` is taken.
std::string freeFolder(const std::string& dir, const std::string& base,
                       const std::vector<std::string>& names) {
    for (int k = 1;; ++k) {
        const std::string relative = k == 1 ? base : base + "/" + std::to_string(k);
        const std::string path = dir + "/" + relative;
        if (k > 1 && ::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST)
            fail("cannot make " + path);
        const Descriptor folder = openFolder(path);
        if (folder.get() < 0) continue;  // a file or a link of that name: the next number
        if (std::none_of(names.begin(), names.end(),
                         [&](const std::string& n) { return exists(folder.get(), n); }))
            return relative;
    }
}

// Copies a file to another file system under a temporary name; DiskFull when it does not fit.
void copyPart(int from, int to, const std::string& name) {
    const Descriptor in(::openat(from, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (in.get() < 0 || ::fstat(in.get(), &st) != 0) fail("cannot read " + name);
    const std::string part = "." + name + kPart;
    ::unlinkat(to, part.c_str(), 0);
    const Descriptor out(::openat(to, part.c_str(),
                                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                  st.st_mode & 07777));
    if (out.get() < 0) fail("cannot write " + part);
    char buffer[1 << 16];
    int error = 0;
    for (;;) {
        const ssize_t n = ::read(in.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = errno;
            break;
        }
        if (n == 0) break;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out.get(), buffer + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w < 0) {
                error = errno;
                break;
            }
            done += w;
        }
        if (error != 0) break;
    }
    if (error == 0 && ::fsync(out.get()) != 0) error = errno;
    if (error != 0) {
        ::unlinkat(to, part.c_str(), 0);
        errno = error;
        if (isDiskFull(error)) throw DiskFull("the disk is full");
        fail("cannot write " + part);
    }
}

// Moves the set from the claim into `target`, the input (last in `names`) last. Moving is
// renaming; where the target lies on another file system every file is copied first, so a
// disk that is too small takes nothing of the set. A file already there with the same bytes
// was moved before a crash. Nothing is replaced.
void moveSet(int claim, int target, const std::vector<std::string>& names) {
    bool copying = false;
    for (const std::string& name : names) {
        if (!exists(claim, name)) continue;  // moved before a crash
        if (::renameat2(claim, name.c_str(), target, name.c_str(), RENAME_NOREPLACE) == 0) continue;
        if (errno == EXDEV) {
            copying = true;
            break;
        }
        if (errno == EEXIST) {
            const Descriptor a(::openat(claim, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
            const Descriptor b(::openat(target, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
            if (a.get() >= 0 && b.get() >= 0 && sameBytes(a.get(), b.get())) {
                ::unlinkat(claim, name.c_str(), 0);
                continue;
            }
        }
        fail("cannot move " + name);
    }
    if (!copying) return;
    std::vector<std::string> parts;
    try {
        for (const std::string& name : names) {
            if (!exists(claim, name) || exists(target, name)) continue;
            copyPart(claim, target, name);
            parts.push_back(name);
        }
    } catch (...) {
        for (const std::string& name : parts) ::unlinkat(target, ("." + name + kPart).c_str(), 0);
        throw;
    }
    ::fsync(target);
    for (const std::string& name : parts) {
        const std::string part = "." + name + kPart;
        if (::renameat2(target, part.c_str(), target, name.c_str(), RENAME_NOREPLACE) != 0)
            fail("cannot name " + name);
        ::unlinkat(claim, name.c_str(), 0);
    }
}

// The set of a claim: what was made, then its input.
std::vector<std::string> setOf(int claim, const std::string& input) {
    std::vector<std::string> names = filesIn(claim);
    std::erase(names, input);
    names.push_back(input);
    return names;
}

// A print file's name: what the conversion takes as an input.
bool isInput(const std::string& name) { return outputNamesOf("/" + name, false).has_value(); }

std::string readSmall(int folder, const char* name) {
    const Descriptor fd(::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.get() < 0) return {};
    char text[4096];
    const ssize_t n = ::read(fd.get(), text, sizeof text);
    return n > 0 ? std::string(text, static_cast<std::size_t>(n)) : std::string();
}

// What the conversion wrote is on the disk before any of it is moved, so that after a power
// loss done/ holds whole files; a disk that turns out full only now says so here. The input was
// only moved, and may be one this watcher cannot read.
void syncMade(int claim, const std::string& input) {
    for (const std::string& name : filesIn(claim)) {
        if (name == input) continue;
        const Descriptor fd(::openat(claim, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        if (fd.get() >= 0 && ::fsync(fd.get()) == 0) continue;
        if (isDiskFull(errno)) throw DiskFull("the disk is full");
        fail("cannot write " + name);
    }
}

// Removes an empty folder's own entries it cannot use and the folder.
void removeClaimFolder(const std::string& path, int fd) {
    for (const std::string& name : filesIn(fd)) ::unlinkat(fd, name.c_str(), 0);
    ::unlinkat(fd, kJournal, 0);
    ::rmdir(path.c_str());
}

}  // namespace

void prepareHotFolder(const HotFolder& folder) {
    for (const std::string& path : {folder.work(), folder.dir + "/done", folder.dir + "/error"})
        if (::mkdir(path.c_str(), path == folder.work() ? 0700 : 0777) != 0 && errno != EEXIST)
            fail("cannot make " + path);
}

Claim::Claim(const HotFolder& folder, std::string path, std::string name, int fd)
    : dir_(folder.dir), path_(std::move(path)), name_(std::move(name)), folder_(fd) {}

std::optional<Claim> Claim::take(const HotFolder& folder, const std::string& name) {
    // Locked before it gets the name under which an adopting watcher would look at it.
    std::string making = folder.work() + "/" + kMakingPrefix + "XXXXXX";
    if (::mkdtemp(making.data()) == nullptr) fail("cannot make a claim in " + folder.work());
    Descriptor fd = openFolder(making);
    const std::string path = folder.work() + "/" + kClaimPrefix + making.substr(making.size() - 6);
    if (fd.get() < 0 || ::flock(fd.get(), LOCK_EX) != 0 ||
        ::rename(making.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::rmdir(making.c_str());
        errno = error;
        fail("cannot make a claim in " + folder.work());
    }
    if (::rename((folder.dir + "/" + name).c_str(), (path + "/" + name).c_str()) != 0) {
        const int error = errno;
        ::rmdir(path.c_str());
        if (error == ENOENT) return std::nullopt;  // another watcher was first
        errno = error;
        fail("cannot claim " + name);
    }
    ::fsync(fd.get());
    return Claim(folder, path, name, fd.release());
}

std::vector<Claim> Claim::adopt(const HotFolder& folder, std::vector<Finished>& finished) {
    std::vector<Claim> claims;
    const Descriptor work = openFolder(folder.work());
    DIR* listing = work.get() >= 0 ? ::opendir(folder.work().c_str()) : nullptr;
    if (listing == nullptr) return claims;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(listing)) names.emplace_back(entry->d_name);
    ::closedir(listing);
    for (const std::string& entry : names) {
        const bool making = entry.starts_with(kMakingPrefix);
        if (!making && !entry.starts_with(kClaimPrefix)) continue;
        const std::string path = folder.work() + "/" + entry;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
        if (making && std::time(nullptr) - st.st_mtime < kMakingAge) continue;
        Descriptor fd = openFolder(path);
        if (fd.get() < 0 || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) continue;  // alive
        std::string input;
        for (const std::string& name : filesIn(fd.get()))
            if (isInput(name)) input = name;
        if (input.empty()) {
            removeClaimFolder(path, fd.get());
            continue;
        }
        Claim claim(folder, path, input, fd.release());
        if (const std::string target = readSmall(claim.fd(), kJournal); !target.empty()) {
            // Its set was complete and being moved: it goes on where it stopped.
            const PublishLock lock(folder);
            const Descriptor into = openFolder(folder.dir + "/" + target);
            if (into.get() < 0) fail("cannot open " + target);
            moveSet(claim.fd(), into.get(), setOf(claim.fd(), input));
            removeClaimFolder(path, claim.fd());
            finished.push_back({input, target});
            continue;
        }
        for (const std::string& name : filesIn(claim.fd()))
            if (name != input) ::unlinkat(claim.fd(), name.c_str(), 0);
        claims.push_back(std::move(claim));
    }
    return claims;
}

std::string Claim::publish(bool converted, const std::string& message) {
    if (!converted) {
        // What a failed conversion made stands for nothing: only its log goes with the input.
        for (const std::string& name : filesIn(fd()))
            if (name != name_ && !name.ends_with("_log.TXT")) ::unlinkat(fd(), name.c_str(), 0);
        writeDurably(fd(), name_ + ".error.txt", message + "\n");
    }
    syncMade(fd(), name_);
    const HotFolder folder{dir_};
    const PublishLock lock(folder);
    const std::vector<std::string> set = setOf(fd(), name_);
    const std::string target = freeFolder(dir_, converted ? "done" : "error", set);
    const Descriptor into = openFolder(dir_ + "/" + target);
    if (into.get() < 0) fail("cannot open " + target);
    // Once the journal says where, a crash leaves the set to be moved on, not made again.
    writeDurably(fd(), kJournal, target);
    try {
        moveSet(fd(), into.get(), set);
    } catch (const DiskFull&) {
        ::unlinkat(fd(), kJournal, 0);
        if (!converted) ::unlinkat(fd(), (name_ + ".error.txt").c_str(), 0);
        throw;
    }
    ::fsync(into.get());
    removeClaimFolder(path_, fd());
    return target;
}

bool Claim::giveBack() {
    for (const std::string& name : filesIn(fd()))
        if (name != name_) ::unlinkat(fd(), name.c_str(), 0);
    const Descriptor into = openFolder(dir_);
    if (into.get() < 0 ||
        ::renameat2(fd(), name_.c_str(), into.get(), name_.c_str(), RENAME_NOREPLACE) != 0)
        return false;
    removeClaimFolder(path_, fd());
    return true;
}

}  // namespace zarn
