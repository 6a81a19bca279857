// Where a file is, and what tells one state of it from another.
#pragma once

#include <fcntl.h>
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <utility>

#include "zarn/conversion_error.h"

namespace zarn {

// A file named by an open directory and a name in it; `path` is how messages name it.
struct FileAt {
    FileAt(const std::string& p) : dir(AT_FDCWD), name(p), path(p) {}  // a path as it is
    FileAt(int d, std::string n, std::string p) : dir(d), name(std::move(n)), path(std::move(p)) {}
    int dir;
    std::string name, path;
};

// What tells one state of a file from another: which file, how long, when last written.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t modifiedSec = 0, modifiedNsec = 0;
    bool operator==(const FileIdentity&) const = default;
};

inline ConversionError inputChanged() {
    return ConversionError("the input changed during the conversion");
}

}  // namespace zarn
