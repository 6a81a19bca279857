#include <signal.h>

#include <atomic>
#include <cerrno>

#include "running_children.h"
#include "zarn/child_guard.h"

namespace zarn {

namespace {

std::atomic<pid_t> running[RunningChild::kMaxRunningChildren];
std::atomic<int> requestedStop{0};

constexpr int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT};

void setDefault(int signal) {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
}

// Kills every child that runs and notes the signal; with none running, the signal acts as
// it would have: raised again at its default, it is delivered once the handler returns.
void onStopSignal(int signal) {
    const int savedErrno = errno;  // the interrupted code may be about to read it
    bool any = false;
    for (std::atomic<pid_t>& child : running) {
        const pid_t pid = child.load();
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            any = true;
        }
    }
    if (any) {
        requestedStop.store(signal);
    } else {
        setDefault(signal);
        ::raise(signal);
    }
    errno = savedErrno;
}

}  // namespace

RunningChild::RunningChild(pid_t pid) {
    for (int i = 0; i < kMaxRunningChildren; ++i) {
        pid_t free = 0;
        if (running[i].compare_exchange_strong(free, pid)) {
            slot_ = i;
            break;
        }
    }
}

RunningChild::~RunningChild() {
    if (slot_ >= 0) running[slot_].store(0);
}

int stopSignal() { return requestedStop.load(); }

void endByStopSignal() {
    const int signal = requestedStop.load();
    if (signal == 0) return;
    setDefault(signal);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(signal);
}

void guardChildren() {
    setDefault(SIGCHLD);
    for (const int signal : kStopSignals) {
        struct sigaction old {};
        if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = onStopSignal;
        sigfillset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
    }
}

}  // namespace zarn
