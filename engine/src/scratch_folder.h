// A folder of a child's own in the temporary folder, for what it makes on the way: it lives as
// long as the run and goes with everything in it. One left by a run that was killed goes with
// the next run.
#pragma once

#include <string>

namespace zarn {

class ScratchFolder {
public:
    // In $TMPDIR when that names a folder, else /tmp. Throws ConversionError when none can be
    // made.
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return path_; }
    int descriptor() const { return fd_; }

private:
    std::string parent_, name_, path_;
    int fd_ = -1;  // open, and locked while the run lives
};

// Removes the scratch folders of runs that no longer live.
void removeAbandonedScratch();

// Removes everything in the folder open as `dir`, never following a link or leaving its file
// system; what cannot be removed stays. True when the folder is empty afterwards.
bool emptyFolder(int dir);

}  // namespace zarn
