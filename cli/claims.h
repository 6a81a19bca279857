// The hot folder's work in hand. A print file is claimed by moving it into a folder of the
// claim's own inside DIR/.work, on the same file system; it is converted there, and its set
// (input, output, log, PDF, preview, or the message of a failure) moves into done/ or error/
// when complete, the input last. A claim is locked while its watcher lives: one left by a
// watcher that died is adopted by the next, so no file is lost, half-read or done twice.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "zarn/descriptor.h"

namespace zarn {

// DIR, absolute and without a trailing slash.
struct HotFolder {
    std::string dir;
    std::string work() const { return dir + "/.work"; }
};

// Makes DIR/.work, DIR/done and DIR/error where they are missing. Throws std::runtime_error.
void prepareHotFolder(const HotFolder& folder);

// The file system a set goes to is full: nothing of it was moved.
struct DiskFull : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class Claim {
public:
    // Closing the claim's folder unlocks it. A claim not published or given back stays, for the
    // next watcher to adopt.
    Claim(Claim&& other) noexcept = default;
    Claim& operator=(Claim&& other) noexcept = default;

    // Moves DIR/<name> into a new claim, locked for this watcher; none when it is gone (another
    // watcher took it first). Throws std::runtime_error.
    static std::optional<Claim> take(const HotFolder& folder, const std::string& name);

    // The claims of watchers that are gone, now this watcher's. A claim whose set was being
    // moved is moved to its end, and its input's name and folder go to `finished`; the others
    // keep only their input, to be converted again.
    struct Finished {
        std::string name, folder;
    };
    static std::vector<Claim> adopt(const HotFolder& folder, std::vector<Finished>& finished);

    const std::string& name() const { return name_; }
    // The input's path inside the claim, where the conversion writes beside it.
    std::string input() const { return path_ + "/" + name_; }

    // Moves the set into done/ (converted) or error/ (with NAME.error.txt holding `message`),
    // or into the first numbered folder below it (done/2, done/3, ...) where none of its names
    // is taken; returns that folder relative to DIR. Nothing is ever replaced. Throws DiskFull
    // (the claim stays as it was) or std::runtime_error.
    std::string publish(bool converted, const std::string& message);

    // Puts the input back into DIR and drops what was made from it, to be converted again; false
    // when a new file of its name is there (the claim then stays for a later watcher).
    bool giveBack();

private:
    Claim(const HotFolder& folder, std::string path, std::string name, int fd);

    int fd() const { return folder_.get(); }

    std::string dir_;   // DIR
    std::string path_;  // DIR/.work/claim-XXXXXX
    std::string name_;
    Descriptor folder_;  // the claim's folder, locked while this watcher holds it
};

}  // namespace zarn
