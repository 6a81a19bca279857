// A child program that a conversion starts (Ghostscript) ends with the program that started it,
// and what it made goes with it, whatever ends the program.
#pragma once

namespace zarn {

// Called once at start-up, before any conversion. SIGCHLD goes back to its default, so that how
// a child ended is always known. SIGTERM, SIGINT, SIGHUP and SIGQUIT that arrive while a child
// runs end the child, let the conversion remove what it made, and then end the program as they
// would have without a child; at any other time they act at once, as before. A signal that
// the caller ignores (nohup) stays ignored. A child also dies when the program is killed.
void guardChildren();

}  // namespace zarn
