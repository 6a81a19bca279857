// The children running now, for a signal handler to end: the handler may only kill and note.
#pragma once

#include <sys/types.h>

namespace zarn {

// Registers a child for its lifetime. Registering and unregistering are safe against the
// signal handler; at most kMaxRunningChildren run at once, a further one stays unregistered
// (it still dies with the program, but not before it).
class RunningChild {
public:
    static constexpr int kMaxRunningChildren = 64;

    explicit RunningChild(pid_t pid);
    ~RunningChild();
    RunningChild(const RunningChild&) = delete;
    RunningChild& operator=(const RunningChild&) = delete;

private:
    int slot_ = -1;
};

// The signal that asked the program to end while a child ran; 0 when none did.
int stopSignal();

// After a stop signal: ends the program by that signal, as it would have ended without a child.
// Returns when there was none.
void endByStopSignal();

}  // namespace zarn
