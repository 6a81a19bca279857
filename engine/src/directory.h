// The directory that a dropped path leads to, opened once: the input is read from it and the
// output and the log are written into it, whatever happens to the names on the way there.
#pragma once

#include <string>

#include "file_at.h"

namespace zarn {

class Directory {
public:
    Directory() = default;
    Directory(const Directory&) = delete;
    Directory& operator=(const Directory&) = delete;
    ~Directory() { close(); }

    // Opens the directory part of `path` ("/" for a file in the root) as the kernel resolves
    // it, so "link/.." is the parent of the link's target. A path longer than the kernel takes
    // at once is followed a piece at a time. False, with errno set, when it cannot be opened.
    bool openFor(const std::string& path);
    void close();
    // The file of `path` (a path in this directory) as a name in it.
    FileAt file(const std::string& path) const;

private:
    int fd_ = -1;
};

}  // namespace zarn
