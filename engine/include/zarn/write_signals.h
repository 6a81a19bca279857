// A file-size limit or a reader that goes away makes a write fail, to be told like any other
// failure, instead of ending the program without a word.
#pragma once

namespace zarn {

// Ignores SIGPIPE and SIGXFSZ for the whole program; called once at start-up.
void ignoreWriteSignals();

}  // namespace zarn
