// zarn1-ps-convert --watch DIR: a hot folder. Each print file that lands in DIR is converted
// once it is complete, as if dropped on the window, and its set moves into DIR/done or
// DIR/error; files already there are taken too. It runs until SIGTERM or SIGINT, after which
// it takes no new file and finishes the running ones (a second signal abandons them: they are
// redone at the next start); SIGHUP reads the settings again.
#pragma once

#include <iosfwd>

#include "command_line.h"

namespace zarn {

// One line a file on `out` ("done: ..." or "error: ...", or a JSON record with --json), messages
// a line each on `err`. Returns the exit status: 0 when stopped by a signal, 1 when the folder
// cannot be watched.
int runHotFolder(const Options& options, std::ostream& out, std::ostream& err);

}  // namespace zarn
