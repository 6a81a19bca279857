#include "confinement.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace zarn {

namespace {

// The kernel's interface, written out: the C library has no wrappers, and the installed
// headers may be older than the kernel the program runs on.
#ifndef SYS_landlock_create_ruleset
constexpr long SYS_landlock_create_ruleset = 444;
constexpr long SYS_landlock_add_rule = 445;
constexpr long SYS_landlock_restrict_self = 446;
#endif
constexpr unsigned kCreateRulesetVersion = 1U << 0;
constexpr int kRulePathBeneath = 1;

enum : std::uint64_t {
    kExecute = 1ULL << 0,
    kWriteFile = 1ULL << 1,
    kReadFile = 1ULL << 2,
    kReadDir = 1ULL << 3,
    kRemoveDir = 1ULL << 4,
    kRemoveFile = 1ULL << 5,
    kMakeChar = 1ULL << 6,
    kMakeDir = 1ULL << 7,
    kMakeReg = 1ULL << 8,
    kMakeSock = 1ULL << 9,
    kMakeFifo = 1ULL << 10,
    kMakeBlock = 1ULL << 11,
    kMakeSym = 1ULL << 12,
    kRefer = 1ULL << 13,     // version 2
    kTruncate = 1ULL << 14,  // version 3
    kIoctlDev = 1ULL << 15,  // version 5
};
constexpr std::uint64_t kNetBindTcp = 1ULL << 0, kNetConnectTcp = 1ULL << 1;         // version 4
constexpr std::uint64_t kScopeAbstractSocket = 1ULL << 0, kScopeSignal = 1ULL << 1;  // version 6

struct RulesetAttributes {
    std::uint64_t handledFs;
    std::uint64_t handledNet;
    std::uint64_t scoped;
};

struct __attribute__((packed)) PathBeneath {
    std::uint64_t allowed;
    std::int32_t parent;
};

// What the file-system rights of each version are.
std::uint64_t fsRights(int version) {
    std::uint64_t rights = (1ULL << 13) - 1;
    if (version >= 2) rights |= kRefer;
    if (version >= 3) rights |= kTruncate;
    if (version >= 5) rights |= kIoctlDev;
    return rights;
}

// What only a directory can be given.
constexpr std::uint64_t kFileRights = kExecute | kWriteFile | kReadFile | kTruncate | kIoctlDev;

constexpr std::uint64_t kSystem = kReadFile | kReadDir | kExecute;
constexpr std::uint64_t kScratch =
    kReadFile | kReadDir | kWriteFile | kRemoveFile | kRemoveDir | kMakeReg | kMakeDir | kTruncate;

// The system's files a renderer reads: programs, libraries, fonts, configuration, and the
// interpreter's own resources and font maps.
constexpr const char* kSystemPaths[] = {
    "/usr",
    "/etc",
    "/bin",
    "/sbin",
    "/lib",
    "/lib32",
    "/lib64",
    "/libx32",
    "/var/lib/ghostscript",
    "/var/cache/fontconfig",
};

int addRule(int ruleset, int parent, std::uint64_t allowed) {
    PathBeneath rule{allowed, parent};
    return static_cast<int>(::syscall(SYS_landlock_add_rule, ruleset, kRulePathBeneath, &rule, 0));
}

// A rule for a path that may be missing: a missing one needs none.
bool addPath(int ruleset, const char* path, std::uint64_t allowed, std::uint64_t handled) {
    const int fd = ::open(path, O_PATH | O_CLOEXEC);
    if (fd < 0) return true;
    const bool done =
        addRule(ruleset, fd, allowed & handled) == 0 ||
        (errno == EINVAL && addRule(ruleset, fd, allowed & handled & kFileRights) == 0);
    ::close(fd);
    return done;
}

}  // namespace

int landlockVersion() {
    const long version = ::syscall(SYS_landlock_create_ruleset, nullptr, 0, kCreateRulesetVersion);
    return version > 0 ? static_cast<int>(version) : 0;
}

Confinement::Confinement(int scratch, int input, const std::string& program) {
    const int version = landlockVersion();
    if (version == 0) return;
    const std::uint64_t handled = fsRights(version);
    RulesetAttributes attributes{handled, 0, 0};
    std::size_t size = sizeof attributes.handledFs;
    if (version >= 4) {
        attributes.handledNet = kNetBindTcp | kNetConnectTcp;
        size += sizeof attributes.handledNet;
    }
    if (version >= 6) {
        attributes.scoped = kScopeAbstractSocket | kScopeSignal;
        size += sizeof attributes.scoped;
    }
    const int ruleset =
        static_cast<int>(::syscall(SYS_landlock_create_ruleset, &attributes, size, 0U));
    if (ruleset < 0) {
        error_ = errno;
        return;
    }
    bool ok = true;
    for (const char* path : kSystemPaths) ok = ok && addPath(ruleset, path, kSystem, handled);
    ok = ok && addPath(ruleset, "/dev/null", kReadFile | kWriteFile, handled);
    ok = ok && addPath(ruleset, "/dev/urandom", kReadFile, handled);
    ok = ok && addRule(ruleset, scratch, kScratch & handled) == 0;
    if (input >= 0) ok = ok && addRule(ruleset, input, kReadFile) == 0;
    ok = ok && addPath(ruleset, program.c_str(), kReadFile | kExecute, handled);
    if (!ok) {
        error_ = errno;
        ::close(ruleset);
        return;
    }
    ruleset_ = ruleset;
}

Confinement::~Confinement() {
    if (ruleset_ >= 0) ::close(ruleset_);
}

bool enterConfinement(int ruleset) noexcept {
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return false;
    if (ruleset < 0) return true;
    return ::syscall(SYS_landlock_restrict_self, ruleset, 0U) == 0;
}

}  // namespace zarn
