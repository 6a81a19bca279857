#include "zarn/write_signals.h"

#include <csignal>

namespace zarn {

void ignoreWriteSignals() {
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace zarn
