// The kernel's confinement of a child (Landlock): what it may open, built before the child
// exists and entered by the child between fork and exec.
#pragma once

#include <string>

namespace zarn {

class Confinement {
public:
    // The child may read and run the system's files (programs, libraries, fonts, its own
    // resources, /etc), read the file open as `input` (-1: none) and run `program`, and do
    // anything but run programs inside the folder open as `scratch`; /dev/null it may also
    // write. Nothing else: no other file, no TCP, no signal or socket outside its own domain,
    // as far as the kernel's Landlock version can say so. Without Landlock, it holds no rules.
    Confinement(int scratch, int input, const std::string& program);
    ~Confinement();
    Confinement(const Confinement&) = delete;
    Confinement& operator=(const Confinement&) = delete;

    // False where the kernel offers no Landlock; the child then runs on -dSAFER and the limits.
    bool active() const { return ruleset_ >= 0; }
    // The kernel offers Landlock but refused a rule: the child must not run.
    bool failed() const { return error_ != 0; }
    int error() const { return error_; }
    // The rules, for enterConfinement; -1 when there are none.
    int descriptor() const { return ruleset_; }

private:
    int ruleset_ = -1;
    int error_ = 0;  // why the kernel refused
};

// Enters the confinement whose rules `ruleset` holds (-1: none), and in any case gives up
// gaining privileges. For the child between fork and exec: only system calls. False when the
// kernel refused, which must end the child.
bool enterConfinement(int ruleset) noexcept;

// The Landlock version the kernel offers: 0 for none.
int landlockVersion();

}  // namespace zarn
