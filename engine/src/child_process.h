// A program run as a child on a leash: a session of its own, no standard input, none of our
// descriptors but those it is given, a minimal environment, limits on time, memory and what it
// writes, the kernel's confinement where it is offered, and death when we die.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zarn {

class Confinement;

struct ChildLimits {
    std::chrono::milliseconds wall{0};
    std::chrono::seconds cpu{0};
    std::uint64_t memory = 0;   // bytes of address space
    std::uint64_t written = 0;  // bytes it may write, into all files and pipes together
};

struct ChildCommand {
    std::string program;                   // a path, as findProgram gives it
    std::vector<std::string> arguments;    // those after the program's name
    std::vector<std::string> environment;  // all of it, as NAME=value
    std::string folder;                    // its working folder
    int input = -1;                        // an open file the child gets as descriptor 3; -1: none
    int output = -1;  // its standard output; -1: standard output joins the messages
    const Confinement* confinement = nullptr;
    ChildLimits limits;
};

enum class ChildEnd {
    Exited,       // `code` is the exit status
    Signalled,    // `code` is the signal
    NotStarted,   // `code` is the error number
    TimedOut,     // the wall-time limit
    CpuTime,      // the processor-time limit
    Written,      // the limit on what it writes
    Stopped,      // the watcher asked for the end
    Interrupted,  // a stop signal to the program (zarn/child_guard.h)
    Unknown,      // it was reaped elsewhere: how it ended is not known
};

struct ChildRun {
    ChildEnd end = ChildEnd::Unknown;
    int code = 0;
};

struct ChildWatch {
    // Each line of its messages (standard error, and standard output when that is not a
    // file), without the line end, cut at kMessageLineBytes.
    std::function<void(std::string_view line)> onLine;
    // About ten times a second, with how far the child has read the file it got as input;
    // false ends it (Stopped).
    std::function<bool(std::uint64_t inputRead)> onTick;
};

inline constexpr std::size_t kMessageLineBytes = 256;

// Runs the child to its end. The child never outlives the thread that ran it; a child that
// exceeds a limit is killed.
ChildRun runChild(const ChildCommand& command, const ChildWatch& watch);

// The path of `name` on the PATH as a program that can run; a name with a slash is taken as
// it is. None when there is no such program.
std::optional<std::string> findProgram(const std::string& name);

}  // namespace zarn
