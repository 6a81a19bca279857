// What a conversion needs of the desktop. The window implements it with Qt, the batch
// converter for a terminal, the tests with a recording fake.
#pragma once

#include <string>

#include "zarn/print_queue.h"

namespace zarn {

enum class MessageIcon { Stop, Information };

// What Ghostscript does for a conversion: check the output's marks, or make its PDF or preview.
enum class ChildTask { Check, Pdf, Preview };

class Platform {
public:
    virtual ~Platform() = default;

    virtual bool isDirectory(const std::string& path) = 0;
    // Modal, OK only, in front of every window. Lines of `text` are separated by a bare CR.
    virtual void showMessage(const std::string& title, MessageIcon icon,
                             const std::string& text) = 0;
    // Opens the log in a text viewer without waiting for it; false when none could be started.
    virtual bool openTextViewer(const std::string& path) = 0;
    // Opens a picture in an image viewer in the same way.
    virtual bool openImageViewer(const std::string& path) = 0;
    virtual void beep() = 0;
    // How far a running conversion is through its two passes, in whole percent from 0 to 100;
    // told when the percent changes, at most once for each buffer of input read.
    virtual void progress(int /*percent*/) {}
    // While Ghostscript works for a conversion, about ten times a second: what it does and how
    // much of the output it has read, in whole percent. False ends it at once, and the
    // conversion with it, without a message (the window is being closed).
    virtual bool working(ChildTask /*task*/, int /*percent*/) { return true; }
    // Hands a finished output to a print queue; the window and the batch converter reach the
    // print system, the tests a fake. Without one, nothing is sent.
    virtual PrintSubmission sendToQueue(const PrintRequest& /*request*/) {
        return {0, "no print system can be reached from here"};
    }
    // Called once after the error exit has shown its message.
    virtual void endProgram() = 0;
};

}  // namespace zarn
