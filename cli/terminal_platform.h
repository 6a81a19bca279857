// What a conversion needs of the desktop, for a terminal.
#pragma once

#include <sys/stat.h>

#include <string>

#include "zarn/platform.h"
#include "zarn/spool/cups_queue.h"

namespace zarn {

// Messages travel back in the result; a terminal has nothing to open, sound or end. A job goes
// to the print system the user's CUPS clients reach.
class TerminalPlatform : public Platform {
public:
    bool isDirectory(const std::string& path) override {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    void showMessage(const std::string&, MessageIcon, const std::string&) override {}
    bool openTextViewer(const std::string&) override { return true; }
    bool openImageViewer(const std::string&) override { return true; }
    void beep() override {}
    PrintSubmission sendToQueue(const PrintRequest& request) override {
        return spool::submitToCups(request);
    }
    void endProgram() override {}
};

}  // namespace zarn
