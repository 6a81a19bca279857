// A finished job handed to a queue of the print system, through the CUPS library: the server
// is the one every CUPS client of this user reaches (CUPS_SERVER, client.conf, the local
// scheduler), and nothing runs a shell or a print command.
#pragma once

#include "zarn/print_queue.h"

namespace zarn::spool {

// Sends the request's document, as it is and from its start, as one PostScript job named after
// the request's title, asking for its page as the medium. Gives the job's number, or why it was
// not sent, as one sentence in printable ASCII. A server that cannot be reached is given up
// after a few seconds, one that stops answering after half a minute; nobody is asked for a
// password. The program ignores SIGPIPE (zarn/write_signals.h), so a server that goes away
// while it reads the job makes a write fail instead of ending the program.
PrintSubmission submitToCups(const PrintRequest& request);

}  // namespace zarn::spool
